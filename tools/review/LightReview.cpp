#include "review/LightReview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/BeatGrid.h"
#include "demo/Timeline.h"
#include "image/Image.h"
#include "pictures/Sky.h"
#include "review/ShowReview.h"

namespace {

int lumaOf(const unsigned char* rgb) {
    return static_cast<int>(std::lround(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
}

const unsigned char* pixelAt(const Image& image, int x, int y) {
    return image.pixels + static_cast<size_t>(y) * image.rowBytes + static_cast<size_t>(x) * image.channels;
}

// Median of small integer values, 0 to 255.
struct LumaHistogram {
    long count[256] = {};
    long total = 0;
    void add(int luma) {
        ++count[std::clamp(luma, 0, 255)];
        ++total;
    }
    double median() const {
        if (total == 0) return -1;
        long seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += count[v];
            if (2 * seen >= total) return v;
        }
        return 255;
    }
};

// The sequence's rows of the show's end: from the first of the rows that close the show on, every
// tenth of a second.
constexpr int endingFirstRow = 46;

} // namespace

bool inCentralEllipse(int x, int y, int width, int height) {
    // Pixel centres in half-frames from the middle: the ellipse is the circle of radius
    // sqrt(4 share / pi) in those units.
    const double u = (x + 0.5) / width * 2 - 1, v = (y + 0.5) / height * 2 - 1;
    return u * u + v * v < 4 * centralEllipseShare / M_PI;
}

LightLayout measureLightLayout(const Image& blackedOut, const Image& full) {
    LightLayout layout;
    if (blackedOut.width != full.width || blackedOut.height != full.height) return layout;
    LumaHistogram skyOutside;
    double ellipseSum = 0, restSum = 0, subjectSum = 0, skySum = 0, skyOutsideSum = 0;
    long ellipsePixels = 0, subjectPixels = 0;
    for (int y = 0; y < full.height; ++y)
        for (int x = 0; x < full.width; ++x) {
            const int l = lumaOf(pixelAt(full, x, y));
            const bool subject = lumaOf(pixelAt(blackedOut, x, y)) > subjectLuma;
            const bool inside = inCentralEllipse(x, y, full.width, full.height);
            (inside ? ellipseSum : restSum) += l;
            ellipsePixels += inside;
            (subject ? subjectSum : skySum) += l;
            subjectPixels += subject;
            if (!subject && !inside) {
                skyOutside.add(l);
                skyOutsideSum += l;
            }
        }
    const long pixels = static_cast<long>(full.width) * full.height;
    layout.skyOutsideMedian = skyOutside.median();
    if (skyOutside.total > 0) layout.skyOutsideMean = skyOutsideSum / skyOutside.total;
    layout.ellipseMean = ellipsePixels > 0 ? ellipseSum / ellipsePixels : 0;
    layout.restMean = pixels > ellipsePixels ? restSum / (pixels - ellipsePixels) : 0;
    layout.frameMean = pixels > 0 ? (ellipseSum + restSum) / pixels : 0;
    layout.hasSubject = subjectPixels > 0;
    layout.subjectLuma = subjectPixels > 0 ? subjectSum / subjectPixels : 0;
    layout.skyLuma = pixels > subjectPixels ? skySum / (pixels - subjectPixels) : 0;
    return layout;
}

AddedLight measureAddedLight(const Image& before, const Image& after) {
    AddedLight added;
    if (before.width != after.width || before.height != after.height) return added;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x) {
            const int gain = lumaOf(pixelAt(after, x, y)) - lumaOf(pixelAt(before, x, y));
            added.total += gain;
            if (inCentralEllipse(x, y, after.width, after.height)) added.inside += gain;
        }
    return added;
}

double centralShareOfPicture(const Image& picture) {
    double inside = 0, total = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const unsigned char* p = pixelAt(picture, x, y);
            const int l = picture.channels >= 3 ? lumaOf(p) : p[0];
            total += l;
            if (inCentralEllipse(x, y, picture.width, picture.height)) inside += l;
        }
    return total > 0 ? inside / total : 0;
}

double middleMedianLuma(const Image& frame) {
    LumaHistogram middle;
    for (int y = frame.height * 2 / 5; y < frame.height * 3 / 5; ++y)
        for (int x = frame.width * 2 / 5; x < frame.width * 3 / 5; ++x) middle.add(lumaOf(pixelAt(frame, x, y)));
    return middle.median();
}

bool measureSkyDisc(const std::string& dataDir, const std::string& name, const float direction[3],
                    float radius, DiscLight& light, std::string& reason) {
    const Vec3 centre = normalize(Vec3{direction[0], direction[1], direction[2]});
    const double cosDisc = std::cos(radius), cosRingIn = std::cos(1.25 * radius), cosRingOut = std::cos(2 * radius);
    double discSum = 0, ringSum = 0;
    long discTexels = 0, ringTexels = 0;
    for (int face = 0; face < 6; ++face) {
        std::string path;
        for (const char* extension : {".png", ".jpg"}) {
            const std::string candidate = dataDir + "/" + name + "_c0" + std::to_string(face) + extension;
            if (FILE* file = fopen(candidate.c_str(), "rb")) {
                fclose(file);
                path = candidate;
                break;
            }
        }
        Image image = {};
        if (path.empty() || load_image(path.c_str(), &image, false) != 0) {
            reason = "can't read the face " + std::to_string(face) + " of " + name + " in " + dataDir;
            return false;
        }
        if (image.channels < 3 || image.width != image.height) {
            delete[] image.pixels;
            reason = "the face " + path + " is not a square colour picture";
            return false;
        }
        for (int row = 0; row < image.height; ++row)
            for (int column = 0; column < image.width; ++column) {
                const float c = dot(cubeFaceDirection(face, static_cast<float>(column), static_cast<float>(row),
                                                      image.width),
                                    centre);
                if (c < cosRingOut) continue;
                const unsigned char* stored = pixelAt(image, column, row);
                // The sky's shader squares what the faces hold.
                unsigned char shown[3];
                for (int i = 0; i < 3; ++i) shown[i] = static_cast<unsigned char>(std::lround(stored[i] * stored[i] / 255.0));
                const int l = lumaOf(shown);
                if (c >= cosDisc) {
                    discSum += l;
                    ++discTexels;
                } else if (c < cosRingIn) {
                    ringSum += l;
                    ++ringTexels;
                }
            }
        delete[] image.pixels;
    }
    if (discTexels == 0 || ringTexels == 0) {
        reason = "the disc of " + name + " covers no texel";
        return false;
    }
    light.disc = discSum / discTexels;
    light.ring = ringSum / ringTexels;
    return true;
}

bool reviewLight(const std::string& buildDir, const std::string& workDir, int beatStep, LightFigures& figures,
                 std::string& reason, void (*progress)(const char*)) {
    figures = {};
    if (!makeBlackedOutData(buildDir + "/data", workDir + "/blacked-out", reason)) return false;
    std::vector<int> beats;
    std::vector<double> beforeAfter, between;
    for (int k = 1; beatTimeSeconds(k) + betweenBeatsDelay < showEndSeconds; k += std::max(beatStep, 1)) {
        if (beatTimeSeconds(k) < 0.04) continue;
        beats.push_back(k);
        beforeAfter.push_back(beatTimeSeconds(k) - 0.04);
        beforeAfter.push_back(beatTimeSeconds(k) + afterBeatDelay);
        between.push_back(beatTimeSeconds(k) + betweenBeatsDelay);
    }
    std::vector<double> ending;
    for (double t = sequenceStartSeconds + endingFirstRow * sequenceRowSeconds + 0.05; t < showEndSeconds;
         t += 0.1)
        ending.push_back(t);
    if (progress) progress("rendering the frames around each beat, and the ending");
    std::vector<double> fullTimes = between;
    fullTimes.insert(fullTimes.end(), beforeAfter.begin(), beforeAfter.end());
    fullTimes.insert(fullTimes.end(), ending.begin(), ending.end());
    std::vector<double> sorted = fullTimes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    // render_frames takes its times in ascending order; each one's frame is found again by index.
    const std::vector<std::string> full = renderShowFrames(buildDir, buildDir, sorted, workDir + "/light", reason);
    if (full.empty()) return false;
    const auto frameOf = [&](double t) {
        return full[std::lower_bound(sorted.begin(), sorted.end(), t) - sorted.begin()];
    };
    if (progress) progress("rendering the frames between beats with the sky and emblem blacked out");
    const std::vector<std::string> black =
        renderShowFrames(buildDir, workDir + "/blacked-out", between, workDir + "/light-black", reason);
    if (black.empty()) return false;

    std::vector<double> skyOutside, skyOutsideMean, ellipseOverRest, brightness;
    int withSubject = 0, bright = 0;
    double addedInside = 0, addedTotal = 0, sequenceInside = 0, sequenceTotal = 0, sequenceMeanGain = 0;
    int sequenceBeats = 0;
    for (size_t i = 0; i < beats.size(); ++i) {
        Image frame, mask, before, after;
        if (!readFrame(frameOf(between[i]), frame)) {
            reason = "can't read " + frameOf(between[i]);
            return false;
        }
        if (!readFrame(black[i], mask)) {
            delete[] frame.pixels;
            reason = "can't read " + black[i];
            return false;
        }
        const LightLayout layout = measureLightLayout(mask, frame);
        delete[] frame.pixels;
        delete[] mask.pixels;
        if (layout.skyOutsideMedian >= 0) {
            skyOutside.push_back(layout.skyOutsideMedian);
            skyOutsideMean.push_back(layout.skyOutsideMean);
        }
        ellipseOverRest.push_back(layout.ellipseOverRest());
        brightness.push_back(layout.frameMean / 255);
        if (layout.hasSubject) {
            ++withSubject;
            bright += layout.subjectOverSky() >= 1.5;
        }
        const std::string beforePath = frameOf(beforeAfter[2 * i]), afterPath = frameOf(beforeAfter[2 * i + 1]);
        if (!readFrame(beforePath, before)) {
            reason = "can't read " + beforePath;
            return false;
        }
        if (!readFrame(afterPath, after)) {
            delete[] before.pixels;
            reason = "can't read " + afterPath;
            return false;
        }
        const AddedLight added = measureAddedLight(before, after);
        const double pixels = static_cast<double>(after.width) * after.height;
        delete[] before.pixels;
        delete[] after.pixels;
        addedInside += added.inside;
        addedTotal += added.total;
        if (sceneAt(static_cast<float>(beforeAfter[2 * i])) == Scene::sequence) {
            sequenceInside += added.inside;
            sequenceTotal += added.total;
            sequenceMeanGain += added.total / pixels;
            ++sequenceBeats;
        }
    }
    figures.beats = static_cast<int>(beats.size());
    figures.skyOutsideMedian = medianOf(skyOutside);
    figures.skyOutsideMean = medianOf(skyOutsideMean);
    figures.ellipseOverRestMedian = medianOf(ellipseOverRest);
    figures.brightnessMedian = medianOf(brightness);
    figures.subjectOverSkyShare = withSubject > 0 ? static_cast<double>(bright) / withSubject : 0;
    figures.beatAddedInsideShare = addedTotal > 0 ? addedInside / addedTotal : 0;
    figures.sequenceAddedInsideShare = sequenceTotal > 0 ? sequenceInside / sequenceTotal : 0;
    figures.beatAddedMean = sequenceBeats > 0 ? sequenceMeanGain / sequenceBeats : 0;

    std::vector<double> middle;
    figures.endingMiddleLowest = 256;
    for (double t : ending) {
        Image frame;
        if (!readFrame(frameOf(t), frame)) {
            reason = "can't read " + frameOf(t);
            return false;
        }
        const double m = middleMedianLuma(frame);
        delete[] frame.pixels;
        middle.push_back(m);
        if (m < figures.endingMiddleLowest) {
            figures.endingMiddleLowest = m;
            figures.endingMiddleLowestTime = t;
        }
    }
    figures.endingFrames = static_cast<int>(ending.size());
    figures.endingMiddleMedian = medianOf(middle);

    const std::string dataDir = buildDir + "/data";
    Image emblem = {};
    const std::string emblemPath = dataDir + "/nyrkki.png";
    if (load_image(emblemPath.c_str(), &emblem, false) != 0) {
        reason = "can't read " + emblemPath;
        return false;
    }
    figures.emblemInsideShare = centralShareOfPicture(emblem);
    delete[] emblem.pixels;
    const float sun[3] = {kSunDirection.x, kSunDirection.y, kSunDirection.z};
    const float moon[3] = {kMoonDirection.x, kMoonDirection.y, kMoonDirection.z};
    return measureSkyDisc(dataDir, "kivikko", sun, kSunRadius, figures.sun, reason) &&
           measureSkyDisc(dataDir, "kivikko", moon, kMoonRadius, figures.moon, reason);
}

void printLightFigures(const LightFigures& f) {
    printf("\nwhere the light falls, central ellipse %.0f %% of the frame; %d beats\n", 100 * centralEllipseShare,
           f.beats);
    printf("  %.2f s after a beat: sky outside the ellipse, median luma %.1f (mean %.1f); ellipse over the rest "
           "(mean luma) %.2f; frame brightness %.3f; subject at least 1.5 x the sky in %.1f %% of the frames\n",
           betweenBeatsDelay, f.skyOutsideMedian, f.skyOutsideMean, f.ellipseOverRestMedian, f.brightnessMedian,
           100 * f.subjectOverSkyShare);
    printf("  light a beat adds (%.2f s after against 0.04 s before) inside the ellipse: %.1f %% over the show, "
           "%.1f %% in the sequence (where a beat adds %.1f levels to the frame's mean)\n",
           afterBeatDelay, 100 * f.beatAddedInsideShare, 100 * f.sequenceAddedInsideShare, f.beatAddedMean);
    printf("  the emblem's own light inside the ellipse: %.1f %%\n", 100 * f.emblemInsideShare);
    printf("  sun disc over its ring: %.2f (%.1f / %.1f); moon: %.2f (%.1f / %.1f)\n",
           f.sun.disc / std::max(f.sun.ring, 0.5), f.sun.disc, f.sun.ring, f.moon.disc / std::max(f.moon.ring, 0.5),
           f.moon.disc, f.moon.ring);
    printf("  the ending (%d frames from %.2f s): middle fifth's median luma %.1f, lowest %.1f at %.2f s\n",
           f.endingFrames, sequenceStartSeconds + endingFirstRow * sequenceRowSeconds, f.endingMiddleMedian,
           f.endingMiddleLowest, f.endingMiddleLowestTime);
}
