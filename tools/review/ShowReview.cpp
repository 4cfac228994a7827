#include "review/ShowReview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <vector>

#include "base/BeatGrid.h"
#include "demo/Content.h"
#include "common/JpegFile.h"
#include "demo/Timeline.h"
#include "geometry/ModelManager.h"
#include "image/Image.h"

namespace fs = std::filesystem;

std::vector<int> sequenceRowBeats(int row) {
    const double rowStart = sequenceStartSeconds + row * sequenceRowSeconds;
    const double rowEnd = std::fmin(rowStart + sequenceRowSeconds, showEndSeconds);
    int k = 1;
    while (beatTimeSeconds(k) < rowStart) ++k;
    // Rows start 0.14 s after a beat, so seven of a row's beats are followed by 0.35 s of the row
    // (the last row only four: the show ends at 206 s).
    std::vector<int> beats;
    for (; beatTimeSeconds(k) + betweenBeatsDelay < rowEnd && beats.size() < 7; ++k) beats.push_back(k);
    return beats;
}

namespace {

int luma(const unsigned char* rgb) {
    return static_cast<int>(std::lround(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
}

std::string existingPicture(const std::string& dataDir, const std::string& name) {
    for (const char* extension : {".png", ".jpg"})
        if (fs::exists(dataDir + "/" + name + extension)) return dataDir + "/" + name + extension;
    return "";
}

// Overwrites `path` (a link into the real data) with a black picture of the original's size.
bool writeBlackLike(const std::string& original, const std::string& path, std::string& reason) {
    Image image = {};
    if (load_image(original.c_str(), &image, false) != 0) {
        reason = "can't read " + original;
        return false;
    }
    const int channels = image.channels == 1 ? 1 : 3;
    std::vector<unsigned char> black(static_cast<size_t>(image.width) * image.height * channels, 0);
    const int width = image.width, height = image.height;
    delete[] image.pixels;
    fs::remove(path);
    const bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
    if (png) {
        Image out = {width, height, channels, channels, width * channels, black.data()};
        write_png(path.c_str(), out);
    } else if (!writeJpegFile(path, width, height, channels, black.data(), 90)) {
        reason = "can't write " + path;
        return false;
    }
    if (!fs::exists(path)) {
        reason = "can't write " + path;
        return false;
    }
    return true;
}

// Makes `target` and links into it every entry of `folder`, replacing links left by an earlier run.
bool linkFolderFiles(const std::string& folder, const std::string& target, std::string& reason) {
    std::error_code error;
    fs::create_directories(target, error);
    if (error) {
        reason = "can't make " + target + ": " + error.message();
        return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const fs::path link = target + "/" + entry.path().filename().string();
        if (fs::exists(fs::symlink_status(link))) fs::remove_all(link);
        fs::create_symlink(fs::absolute(entry.path()), link, error);
        if (error) {
            reason = "can't link " + link.string() + ": " + error.message();
            return false;
        }
    }
    if (error) {
        reason = "can't list " + folder + ": " + error.message();
        return false;
    }
    return true;
}

const char* const skyMaterialFile = "skybox.mat";
const char* const blackSkyMaterial = "%VERTEX_SHADER\n#version 110\nvoid main() {\n    gl_Position = ftransform();\n}\n"
                                     "%FRAGMENT_SHADER\n#version 110\nvoid main() {\n    gl_FragColor = vec4(0.0, 0.0, "
                                     "0.0, 1.0);\n}\n";

} // namespace

bool makeBlackedOutData(const std::string& dataDir, const std::string& root, std::string& reason) {
    const std::string target = root + "/data";
    if (!linkFolderFiles(dataDir, target, reason)) return false;
    // The sky's shader adds a light of its own behind the subject, which black faces would not
    // take away: the blacked-out sky is drawn by a material that draws black.
    const std::string materials = target + "/materials";
    std::error_code error;
    fs::remove_all(materials, error);
    if (!linkFolderFiles(dataDir + "/materials", materials, reason)) return false;
    const std::string blackSky = materials + "/" + skyMaterialFile;
    fs::remove(blackSky, error);
    FILE* file = fopen(blackSky.c_str(), "wb");
    const bool written = file && fputs(blackSkyMaterial, file) >= 0;
    if ((file && fclose(file) != 0) || !written) {
        reason = "can't write " + blackSky;
        return false;
    }
    std::vector<std::string> names = {"nyrkki"};
    for (int face = 0; face < 6; ++face) names.push_back("kivikko_c0" + std::to_string(face));
    for (const std::string& name : names) {
        const std::string original = existingPicture(dataDir, name);
        if (original.empty()) {
            reason = "no picture " + name + " in " + dataDir;
            return false;
        }
        if (!writeBlackLike(original, target + "/" + fs::path(original).filename().string(), reason))
            return false;
    }
    return true;
}

std::vector<std::string> renderShowFrames(const std::string& buildDir, const std::string& workDir,
                                          const std::vector<double>& times, const std::string& outDir,
                                          std::string& reason) {
    std::string command = "cd '" + workDir + "' && '" + buildDir + "/render_frames' --out '" + outDir + "'";
    for (double t : times) {
        char text[32];
        snprintf(text, sizeof text, " %.4f", t);
        command += text;
    }
    const std::string log = outDir + ".log";
    command += " > '" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        reason = "render_frames failed (see " + log + ")";
        return {};
    }
    std::vector<std::string> paths;
    for (size_t i = 0; i < times.size(); ++i) {
        char name[32];
        snprintf(name, sizeof name, "/frame%04zu.png", i);
        paths.push_back(outDir + name);
    }
    return paths;
}

bool readFrame(const std::string& path, Image& image) {
    image = {};
    if (read_png(path.c_str(), &image, false) != 0) return false;
    if (image.channels < 3 || image.rowBytes < image.width * image.channels) {
        delete[] image.pixels;
        image = {};
        return false;
    }
    return true;
}

FrameLight measureFrameLight(const Image& frame) {
    FrameLight light;
    double sum = 0;
    long clipped = 0, nearWhite = 0;
    std::vector<double> rowLuma(frame.height, 0.0);
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char* row = frame.pixels + static_cast<size_t>(y) * frame.rowBytes;
        for (int x = 0; x < frame.width; ++x) {
            const unsigned char* rgb = row + x * frame.channels;
            const int l = luma(rgb);
            rowLuma[y] += l;
            clipped += l >= clippedLuma;
            nearWhite += rgb[0] > nearWhiteLevel && rgb[1] > nearWhiteLevel && rgb[2] > nearWhiteLevel;
        }
        sum += rowLuma[y];
    }
    const double pixels = static_cast<double>(frame.width) * frame.height;
    light.meanLuma = sum / pixels;
    light.clippedShare = clipped / pixels;
    light.nearWhiteShare = nearWhite / pixels;
    // Frames are read top row first: the bottom edge is the last rows.
    if (frame.height >= 2 * edgeRows && frame.width > 0) {
        double bottom = 0, above = 0;
        for (int i = 0; i < edgeRows; ++i) {
            bottom += rowLuma[frame.height - 1 - i];
            above += rowLuma[frame.height - 1 - edgeRows - i];
        }
        light.bottomSeam = (bottom - above) / (static_cast<double>(edgeRows) * frame.width);
    }
    return light;
}

SubjectFigures measureSubject(const Image& blackedOut, const Image& full) {
    SubjectFigures figures;
    if (blackedOut.width != full.width || blackedOut.height != full.height) return figures;
    long subjectPixels = 0;
    double subjectSum = 0, skySum = 0;
    int top = -1, bottom = -1;
    for (int y = 0; y < full.height; ++y) {
        const unsigned char* mask = blackedOut.pixels + static_cast<size_t>(y) * blackedOut.rowBytes;
        const unsigned char* row = full.pixels + static_cast<size_t>(y) * full.rowBytes;
        int inRow = 0;
        for (int x = 0; x < full.width; ++x) {
            const int l = luma(row + x * full.channels);
            if (luma(mask + x * blackedOut.channels) > subjectLuma) {
                ++inRow;
                subjectSum += l;
            } else {
                skySum += l;
            }
        }
        subjectPixels += inRow;
        // A row with a single stray pixel does not make the subject taller.
        if (inRow >= 2) {
            if (top < 0) top = y;
            bottom = y;
        }
    }
    const long pixels = static_cast<long>(full.width) * full.height;
    figures.heightShare = top < 0 ? 0 : static_cast<double>(bottom - top + 1) / full.height;
    figures.coverage = static_cast<double>(subjectPixels) / pixels;
    figures.subjectLuma = subjectPixels > 0 ? subjectSum / subjectPixels : 0;
    figures.skyLuma = pixels > subjectPixels ? skySum / (pixels - subjectPixels) : 0;
    return figures;
}

std::vector<double> showSampleTimes(double stepSeconds, bool beatPeaks, int beatStep) {
    std::vector<double> times;
    for (long i = 0; i * stepSeconds < showEndSeconds; ++i) times.push_back(i * stepSeconds);
    if (beatPeaks)
        for (int k = 1; beatTimeSeconds(k) + afterBeatDelay < showEndSeconds; k += std::max(beatStep, 1))
            times.push_back(beatTimeSeconds(k) + afterBeatDelay);
    std::sort(times.begin(), times.end());
    // A peak that falls on a step (none does at 0.25 s) is kept once.
    times.erase(
        std::unique(times.begin(), times.end(), [](double a, double b) { return std::fabs(a - b) < 1e-6; }),
        times.end());
    return times;
}

double secondsSinceBeat(double timeSeconds) {
    if (timeSeconds < beatTimeSeconds(1)) return 1e9;
    const int k = static_cast<int>(std::floor((timeSeconds + beatOffsetSeconds) / beatSeconds));
    return timeSeconds - beatTimeSeconds(k);
}

bool isBeatPeak(double timeSeconds) {
    return std::fabs(secondsSinceBeat(timeSeconds) - afterBeatDelay) < 1e-6;
}

bool isDarkViolet(const unsigned char* rgb) {
    const int r = rgb[0], g = rgb[1], b = rgb[2];
    // Dark: no channel above 40 % of full scale; violet: blue leads, red over green, and enough
    // colour that it is not a grey.
    return b <= 102 && b >= r && r >= g && b - g >= 8;
}

double darkVioletShare(const Image& frame) {
    long violet = 0;
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char* row = frame.pixels + static_cast<size_t>(y) * frame.rowBytes;
        for (int x = 0; x < frame.width; ++x) violet += isDarkViolet(row + x * frame.channels);
    }
    return static_cast<double>(violet) / (static_cast<double>(frame.width) * frame.height);
}

bool sampleShow(const std::string& buildDir, const std::string& workDir, const std::vector<double>& times,
                std::vector<ShowSample>& samples, std::string& reason, void (*progress)(const char*)) {
    if (!makeBlackedOutData(buildDir + "/data", workDir + "/blacked-out", reason)) return false;
    samples.clear();
    std::vector<double> blackTimes;
    for (double t : times) {
        ShowSample s;
        s.timeSeconds = t;
        const Scene scene = sceneAt(static_cast<float>(t));
        s.scene = scene == Scene::figure ? 1 : scene == Scene::metaballs ? 2 : 3;
        if (scene == Scene::sequence) s.row = sequenceRow(static_cast<float>(t));
        s.material = scene == Scene::sequence ? objectSequence[s.row].material : "marble";
        s.beatPeak = isBeatPeak(t);
        s.betweenBeats = secondsSinceBeat(t) >= pulseOverSeconds;
        s.measuredSubject = !s.beatPeak;
        if (s.measuredSubject) blackTimes.push_back(t);
        samples.push_back(s);
    }
    if (progress) progress("rendering the frames from the show's data");
    const std::vector<std::string> full =
        renderShowFrames(buildDir, buildDir, times, workDir + "/full", reason);
    if (full.empty()) return false;
    if (progress) progress("rendering the frames with the sky and emblem blacked out");
    const std::vector<std::string> black =
        renderShowFrames(buildDir, workDir + "/blacked-out", blackTimes, workDir + "/black", reason);
    if (black.empty()) return false;
    size_t next = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        ShowSample& s = samples[i];
        Image frame, mask;
        if (!readFrame(full[i], frame)) {
            reason = "can't read " + full[i];
            return false;
        }
        s.light = measureFrameLight(frame);
        s.violetShare = darkVioletShare(frame);
        if (s.measuredSubject) {
            if (!readFrame(black[next], mask)) {
                delete[] frame.pixels;
                reason = "can't read " + black[next];
                return false;
            }
            ++next;
            s.subject = measureSubject(mask, frame);
            delete[] mask.pixels;
        }
        delete[] frame.pixels;
    }
    return true;
}

double medianOf(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

ShowFigures showFigures(const std::vector<ShowSample>& samples) {
    ShowFigures f;
    int whiteouts = 0, peakWhiteouts = 0, peakWhite = 0, peakSeams = 0, insideOrEmpty = 0, small = 0;
    int violet = 0, lowContrast = 0;
    std::vector<double> peakLuma, brightness, contrast, height, coverage;
    std::vector<std::vector<double>> rows(reviewedSequenceRows);
    for (const ShowSample& s : samples) {
        if (s.light.meanLuma > f.brightestLuma) {
            f.brightestLuma = s.light.meanLuma;
            f.brightestTime = s.timeSeconds;
        }
        if (s.light.bottomSeam > f.worstSeam) {
            f.worstSeam = s.light.bottomSeam;
            f.worstSeamTime = s.timeSeconds;
        }
        if (s.beatPeak) {
            ++f.beatPeaks;
            peakLuma.push_back(s.light.meanLuma);
            peakWhiteouts += s.light.meanLuma > whiteoutLuma;
            peakWhite += s.light.nearWhiteShare > beatWhiteShare;
            peakSeams += s.light.bottomSeam > seamLevels;
            if (s.light.meanLuma > f.beatPeakBrightestLuma) {
                f.beatPeakBrightestLuma = s.light.meanLuma;
                f.beatPeakBrightestTime = s.timeSeconds;
            }
            continue;
        }
        ++f.frames;
        whiteouts += s.light.meanLuma > whiteoutLuma;
        if (s.row >= 0) {
            ++f.sequenceFrames;
            insideOrEmpty += s.insideOrEmpty();
            if (s.row < reviewedSequenceRows) rows[s.row].push_back(s.subject.coverage);
            height.push_back(s.subject.heightShare);
            coverage.push_back(s.subject.coverage);
            small += s.subject.coverage < smallSubjectCoverage;
        }
        if (s.betweenBeats) {
            ++f.betweenBeatFrames;
            violet += s.violetShare > violetDominance;
            brightness.push_back(s.light.meanLuma / 255);
            contrast.push_back(s.subject.contrast());
            lowContrast += s.subject.contrast() < 1.5;
        }
    }
    const auto share = [](int count, int of) { return of > 0 ? static_cast<double>(count) / of : 0.0; };
    f.whiteoutShare = share(whiteouts, f.frames);
    f.beatPeakMedianLuma = medianOf(peakLuma);
    f.beatPeakWhiteoutShare = share(peakWhiteouts, f.beatPeaks);
    f.beatWhiteFrameShare = share(peakWhite, f.beatPeaks);
    f.beatSeamShare = share(peakSeams, f.beatPeaks);
    f.insideOrEmptyShare = share(insideOrEmpty, f.sequenceFrames);
    f.subjectHeightMedian = medianOf(height);
    f.subjectCoverageMedian = medianOf(coverage);
    f.smallSubjectShare = share(small, f.sequenceFrames);
    f.violetDominatedShare = share(violet, f.betweenBeatFrames);
    f.betweenBeatsBrightness = medianOf(brightness);
    f.betweenBeatsContrast = medianOf(contrast);
    f.lowContrastShare = share(lowContrast, f.betweenBeatFrames);
    for (const std::vector<double>& row : rows) f.rowCoverage.push_back(row.empty() ? -1 : medianOf(row));
    return f;
}

namespace {

// The show's figures, read as the program reads them, from data/ in the working directory.
bool loadFigures(const std::string& buildDir, rovena::ModelManager& models, std::string& reason) {
    std::error_code error;
    const fs::path before = fs::current_path(error);
    fs::current_path(buildDir, error);
    if (error) {
        reason = "can't enter " + buildDir + ": " + error.message();
        return false;
    }
    models.load("ninja");
    for (int row = 0; row < objectSequenceRows; ++row)
        if (!models.has(objectSequence[row].model)) models.load(objectSequence[row].model);
    fs::current_path(before, error);
    return true;
}

// Whether the eye stands more than `clearance` eye units outside the figure drawn `size` times its
// model's size. The figure is turned a quarter about X so that its +Z is up: the eye's height is the
// model's Z and the eye's depth the model's -Y.
bool eyeClearOf(const rovena::Model& figure, const Vec3& eye, float size, float clearance) {
    const float inModel[3] = {eye.x / size, -eye.z / size, eye.y / size};
    return figure.clearOutside(inModel, clearance / size);
}

// The sequence's eye at a time of `row`.
Vec3 rowEye(int row, double timeSeconds) {
    return sceneEye(Scene::sequence, static_cast<float>(timeSeconds), 0, objectSequence[row].scale);
}

double rowStartSeconds(int row) {
    return sequenceStartSeconds + row * sequenceRowSeconds;
}

} // namespace

std::vector<double> closePassTimes(const std::string& buildDir, double rate, float clearance,
                                   std::string& reason) {
    rovena::ModelManager models;
    if (!loadFigures(buildDir, models, reason)) return {};
    std::vector<double> times;
    for (long frame = 0; frame / rate < showEndSeconds; ++frame) {
        const double t = frame / rate;
        const Scene scene = sceneAt(static_cast<float>(t));
        if (scene == Scene::figure) {
            if (!eyeClearOf(models.get("ninja"), sceneEye(scene, static_cast<float>(t), 0, 1), 1, clearance))
                times.push_back(t);
        } else if (scene == Scene::sequence) {
            const int row = sequenceRow(static_cast<float>(t));
            const Vec3 eye = rowEye(row, t);
            if (!eyeClearOf(models.get(objectSequence[row].model), eye, sequenceFigureScale(row, eye), clearance))
                times.push_back(t);
        }
    }
    return times;
}

double figureCoverage(const std::vector<FigureTriangle>& triangles, const Vec3& eye, float size) {
    constexpr int width = 160, height = 120;
    const Vec3d from = {eye.x, eye.y, eye.z};
    const Vec3d forward = from * (-1.0 / length(from));
    const Vec3d right = cross(forward, Vec3d{0, 1, 0});
    if (length(right) < 1e-6) return 0;
    const Vec3d across = right * (1 / length(right)), up = cross(across, forward);
    std::vector<unsigned char> mask(width * height);
    for (const FigureTriangle& triangle : triangles) {
        double x[3], y[3];
        bool inFront = true;
        for (int c = 0; c < 3 && inFront; ++c) {
            // The model's +Z is the world's up, its -Y the world's depth.
            const Vec3d p = triangle[c];
            const Vec3d relative = Vec3d{p.x, p.z, -p.y} * size - from;
            const double depth = dot(relative, forward);
            inFront = depth > 0.1;
            x[c] = (dot(relative, across) / (depth * 4 / 3) + 1) * 0.5 * width;
            y[c] = (1 - dot(relative, up) / depth) * 0.5 * height;
        }
        if (!inFront) continue;
        const double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
        if (area == 0) continue;
        const int left = std::max(0, static_cast<int>(std::floor(std::min({x[0], x[1], x[2]}))));
        const int rightmost = std::min(width - 1, static_cast<int>(std::ceil(std::max({x[0], x[1], x[2]}))));
        const int top = std::max(0, static_cast<int>(std::floor(std::min({y[0], y[1], y[2]}))));
        const int bottom = std::min(height - 1, static_cast<int>(std::ceil(std::max({y[0], y[1], y[2]}))));
        for (int py = top; py <= bottom; ++py)
            for (int px = left; px <= rightmost; ++px) {
                const double cx = px + 0.5, cy = py + 0.5;
                bool inside = true;
                for (int e = 0; e < 3 && inside; ++e) {
                    const int f = (e + 1) % 3;
                    inside = ((x[f] - x[e]) * (cy - y[e]) - (cx - x[e]) * (y[f] - y[e])) * area >= 0;
                }
                if (inside) mask[py * width + px] = 1;
            }
    }
    return std::count(mask.begin(), mask.end(), 1) / static_cast<double>(width * height);
}

namespace {

std::vector<FigureTriangle> trianglesOf(const rovena::Model& model) {
    std::vector<FigureTriangle> triangles;
    for (const Mesh& mesh : model) {
        if (mesh.slotByType[0] < 0) continue;
        const int offset = mesh.attributeOffset(mesh.slotByType[0]);
        for (int t = 0; t < mesh.triangleCount; ++t) {
            FigureTriangle triangle;
            for (int c = 0; c < 3; ++c) {
                float xyz[3];
                std::memcpy(
                    xyz, mesh.vertices + static_cast<size_t>(mesh.indices[3 * t + c]) * mesh.stride + offset,
                    sizeof xyz);
                triangle[c] = {xyz[0], xyz[1], xyz[2]};
            }
            triangles.push_back(triangle);
        }
    }
    return triangles;
}

// Whether every frame of the row that draws its figure larger than its model, at `size` grown as the
// show grows it, keeps the eye clear of it. A frame at the model's own size passes as it always has.
bool rowClearAt(const rovena::Model& figure, int row, float size, double rate, float clearance) {
    const long first = static_cast<long>(std::ceil(rowStartSeconds(row) * rate));
    const long end = static_cast<long>(std::ceil(rowStartSeconds(row + 1) * rate));
    for (long frame = first; frame < end; ++frame) {
        const Vec3 eye = rowEye(row, frame / rate);
        const float drawn = grownFigureSize(size, eye);
        if (drawn != 1 && !eyeClearOf(figure, eye, drawn, clearance)) return false;
    }
    return true;
}

} // namespace

std::vector<float> fitFigureSizes(const std::string& buildDir, double rate, float clearance,
                                  std::string& reason) {
    rovena::ModelManager models;
    if (!loadFigures(buildDir, models, reason)) return {};
    std::vector<float> sizes;
    for (int row = 0; row < objectSequenceRows; ++row) {
        const ContentRow& content = objectSequence[row];
        const rovena::Model& figure = models.get(content.model);
        const std::vector<FigureTriangle> triangles = trianglesOf(figure);
        std::vector<Vec3> eyes;
        for (int beat : sequenceRowBeats(row)) eyes.push_back(rowEye(row, beatTimeSeconds(beat) + betweenBeatsDelay));
        // In twentieths of the model's size, up from it: the first size that covers enough, or the
        // last before the orbit comes too near.
        float size = 1;
        for (int twentieths = 20; !eyes.empty() && twentieths <= 20 * largestFigureSize; ++twentieths) {
            const float candidate = twentieths / 20.0f;
            if (!rowClearAt(figure, row, candidate, rate, clearance)) break;
            size = candidate;
            std::vector<double> coverage;
            for (const Vec3& eye : eyes)
                coverage.push_back(figureCoverage(triangles, eye, grownFigureSize(candidate, eye)));
            if (medianOf(coverage) >= fittedFigureCoverage) break;
        }
        sizes.push_back(size);
    }
    return sizes;
}
