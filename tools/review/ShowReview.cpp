#include "review/ShowReview.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <vector>

#include "base/BeatGrid.h"
#include "common/JpegFile.h"
#include "demo/Timeline.h"
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

} // namespace

bool makeBlackedOutData(const std::string& dataDir, const std::string& root, std::string& reason) {
    std::error_code error;
    const std::string target = root + "/data";
    fs::create_directories(target, error);
    if (error) {
        reason = "can't make " + target + ": " + error.message();
        return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dataDir, error)) {
        const fs::path link = target + "/" + entry.path().filename().string();
        if (fs::exists(fs::symlink_status(link))) fs::remove(link);
        fs::create_symlink(fs::absolute(entry.path()), link, error);
        if (error) {
            reason = "can't link " + link.string() + ": " + error.message();
            return false;
        }
    }
    if (error) {
        reason = "can't list " + dataDir + ": " + error.message();
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
    long clipped = 0;
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char* row = frame.pixels + static_cast<size_t>(y) * frame.rowBytes;
        for (int x = 0; x < frame.width; ++x) {
            const int l = luma(row + x * frame.channels);
            sum += l;
            clipped += l >= clippedLuma;
        }
    }
    const double pixels = static_cast<double>(frame.width) * frame.height;
    light.meanLuma = sum / pixels;
    light.clippedShare = clipped / pixels;
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
