#include "review/LookReview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "demo/Content.h"
#include "image/Image.h"

namespace fs = std::filesystem;

namespace {

int lumaOf(const unsigned char* rgb) {
    return static_cast<int>(std::lround(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
}

const unsigned char* pixelAt(const Image& image, int x, int y) {
    return image.pixels + static_cast<size_t>(y) * image.rowBytes + static_cast<size_t>(x) * image.channels;
}

bool isSubject(const Image& blackedOut, int x, int y) {
    return lumaOf(pixelAt(blackedOut, x, y)) > subjectLuma;
}

enum class Look { other, marble, chrome, cel, hologram, xray };

// Which look a material has, by the file it is loaded from (one file may be loaded under two names).
Look lookOf(const std::string& material) {
    for (const MaterialLoad& load : materialLoads) {
        if (material != load.name) continue;
        const std::string file = fs::path(load.file).stem().string();
        if (file == "marble") return Look::marble;
        if (file == "foo3") return Look::chrome;
        if (file == "foo1") return Look::cel;
        if (file == "foo4") return Look::hologram;
        if (file == "foo5") return Look::xray;
    }
    return Look::other;
}

} // namespace

int isolatedSpeckles(const Image& blackedOut, const Image& full) {
    if (blackedOut.width != full.width || blackedOut.height != full.height) return 0;
    int speckles = 0;
    for (int y = 1; y + 1 < full.height; ++y)
        for (int x = 1; x + 1 < full.width; ++x) {
            if (!isSubject(blackedOut, x, y)) continue;
            const int centre = lumaOf(pixelAt(full, x, y));
            int darkest = 255, brightest = 0;
            bool inside = true;
            for (int dy = -1; dy <= 1 && inside; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx == 0 && dy == 0) continue;
                    if (!isSubject(blackedOut, x + dx, y + dy)) {
                        inside = false;
                        break;
                    }
                    const int l = lumaOf(pixelAt(full, x + dx, y + dy));
                    darkest = std::min(darkest, l);
                    brightest = std::max(brightest, l);
                }
            if (inside && (centre + speckleLevels < darkest || centre > brightest + speckleLevels)) ++speckles;
        }
    return speckles;
}

SubjectLook measureSubjectLook(const Image& blackedOut, const Image& full) {
    SubjectLook look;
    if (blackedOut.width != full.width || blackedOut.height != full.height) return look;
    std::vector<double> saturation;
    double sum = 0, sumSquares = 0;
    for (int y = 0; y < full.height; ++y)
        for (int x = 0; x < full.width; ++x) {
            if (!isSubject(blackedOut, x, y)) continue;
            const unsigned char* rgb = pixelAt(full, x, y);
            const int l = lumaOf(rgb);
            sum += l;
            sumSquares += static_cast<double>(l) * l;
            const int most = std::max({rgb[0], rgb[1], rgb[2]}), least = std::min({rgb[0], rgb[1], rgb[2]});
            saturation.push_back(most > 0 ? static_cast<double>(most - least) / most : 0.0);
        }
    look.pixels = static_cast<int>(saturation.size());
    if (look.pixels == 0) return look;
    look.meanLuma = sum / look.pixels;
    const double variance = std::max(sumSquares / look.pixels - look.meanLuma * look.meanLuma, 0.0);
    look.lumaSpread = look.meanLuma > 0 ? std::sqrt(variance) / look.meanLuma : 0;
    look.medianSaturation = medianOf(saturation);
    look.speckles = isolatedSpeckles(blackedOut, full);
    return look;
}

bool reviewLooks(const std::vector<ShowSample>& samples, const std::string& workDir, LookFigures& f,
                 std::string& reason) {
    f = LookFigures();
    std::vector<double> marbleLuma, marbleSaturation, chromeSpread, celWhite, celSpeckles, hologramSpread,
        xraySpread, metaballCoverage;
    int tiny = 0, sequenceTiny = 0;
    size_t black = 0; // sampleShow renders a blacked-out frame for each measured sample, in order
    for (size_t i = 0; i < samples.size(); ++i) {
        const ShowSample& s = samples[i];
        const Look look = lookOf(s.material);
        if (s.beatPeak && look == Look::cel) celWhite.push_back(s.light.nearWhiteShare);
        if (!s.measuredSubject) continue;
        const size_t blackIndex = black++;
        if (!s.betweenBeats) continue;
        ++f.betweenBeatFrames;
        tiny += s.subject.coverage < tinySubjectCoverage;
        if (s.scene == 3) {
            ++f.sequenceBetweenBeatFrames;
            sequenceTiny += s.subject.coverage < tinySubjectCoverage;
        }
        if (s.scene == 2) metaballCoverage.push_back(s.subject.coverage);
        if (look == Look::other) continue;
        char name[32];
        snprintf(name, sizeof name, "frame%04zu.png", i);
        const std::string fullPath = workDir + "/full/" + name;
        snprintf(name, sizeof name, "frame%04zu.png", blackIndex);
        const std::string blackPath = workDir + "/black/" + name;
        Image frame, mask;
        if (!readFrame(fullPath, frame)) {
            reason = "can't read " + fullPath;
            return false;
        }
        if (!readFrame(blackPath, mask)) {
            delete[] frame.pixels;
            reason = "can't read " + blackPath;
            return false;
        }
        const SubjectLook subject = measureSubjectLook(mask, frame);
        delete[] frame.pixels;
        delete[] mask.pixels;
        if (subject.pixels == 0) continue;
        switch (look) {
        case Look::marble:
            marbleLuma.push_back(subject.meanLuma);
            marbleSaturation.push_back(subject.medianSaturation);
            break;
        case Look::chrome: chromeSpread.push_back(subject.lumaSpread); break;
        case Look::cel: celSpeckles.push_back(subject.speckles); break;
        case Look::hologram: hologramSpread.push_back(subject.lumaSpread); break;
        case Look::xray: xraySpread.push_back(subject.lumaSpread); break;
        case Look::other: break;
        }
    }
    f.marbleFrames = static_cast<int>(marbleLuma.size());
    f.marbleLuma = medianOf(marbleLuma);
    f.marbleSaturation = medianOf(marbleSaturation);
    f.chromeFrames = static_cast<int>(chromeSpread.size());
    f.chromeSpread = medianOf(chromeSpread);
    f.celBeatFrames = static_cast<int>(celWhite.size());
    f.celBeatNearWhiteMedian = medianOf(celWhite);
    f.celBeatNearWhiteMost = celWhite.empty() ? 0 : *std::max_element(celWhite.begin(), celWhite.end());
    f.celFrames = static_cast<int>(celSpeckles.size());
    f.celSpecklesMedian = medianOf(celSpeckles);
    f.celSpecklesMost =
        celSpeckles.empty() ? 0 : static_cast<int>(*std::max_element(celSpeckles.begin(), celSpeckles.end()));
    f.hologramFrames = static_cast<int>(hologramSpread.size());
    f.hologramSpread = medianOf(hologramSpread);
    f.xrayFrames = static_cast<int>(xraySpread.size());
    f.xraySpread = medianOf(xraySpread);
    const auto share = [](int count, int of) { return of > 0 ? static_cast<double>(count) / of : 0.0; };
    f.tinySubjectShare = share(tiny, f.betweenBeatFrames);
    f.sequenceTinySubjectShare = share(sequenceTiny, f.sequenceBetweenBeatFrames);
    f.metaballCoverage = medianOf(metaballCoverage);
    const ShowFigures show = showFigures(samples);
    for (double coverage : show.rowCoverage) f.rowsUnderSmall += coverage >= 0 && coverage < smallSubjectCoverage;
    return true;
}

void printLooks(const LookFigures& f) {
    printf("\nmaterials, between beats (medians over frames)\n");
    printf("  marble (%d frames): subject luma %.1f, median saturation %.2f\n", f.marbleFrames, f.marbleLuma,
           f.marbleSaturation);
    printf("  chrome (%d frames): luma spread (std / mean) %.2f\n", f.chromeFrames, f.chromeSpread);
    printf("  hologram (%d frames), x-ray (%d frames): luma spread %.2f, %.2f\n", f.hologramFrames,
           f.xrayFrames, f.hologramSpread, f.xraySpread);
    printf("  cel: near-white pixels in its %d beat frames %.1f %% (median), %.1f %% (most); isolated "
           "speckles in its %d frames %.1f a frame (median), %d (most)\n",
           f.celBeatFrames, 100 * f.celBeatNearWhiteMedian, 100 * f.celBeatNearWhiteMost, f.celFrames,
           f.celSpecklesMedian, f.celSpecklesMost);
    printf("subject size between beats (%d frames)\n", f.betweenBeatFrames);
    printf("  subject under %.0f %% of the frame: %.1f %% of the frames, %.1f %% of the sequence's %d\n",
           100 * tinySubjectCoverage, 100 * f.tinySubjectShare, 100 * f.sequenceTinySubjectShare,
           f.sequenceBetweenBeatFrames);
    printf("  metaballs: median coverage %.2f %%\n", 100 * f.metaballCoverage);
    printf("  sequence rows with a median coverage under %.0f %%: %d\n", 100 * smallSubjectCoverage,
           f.rowsUnderSmall);
}
