// make_pictures <datadir>: writes every picture the show loads into the run-time data directory.
// The output depends on nothing but this code, so every run writes the same bytes.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pictures/Lettering.h"
#include "pictures/Sky.h"
#include "pictures/Textures.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_pictures <datadir>\n");
        return 2;
    }
    std::string dataDir = argv[1];
    struct Step {
        const char* what;
        std::function<std::vector<std::string>()> run;
    };
    const Step steps[] = {
        {"sky cube map", [&] { return writeKivikko(dataDir, kKivikkoBaseSize); }},
        // Read in its place by pictures larger than 800 x 600, which would enlarge the 512 faces.
        {"large sky cube map", [&] { return writeKivikko(dataDir, 2 * kKivikkoBaseSize, "kivikko_large"); }},
        {"environment maps", [&] { return writeEnvironmentMaps(dataDir, 512); }},
        {"material textures", [&] { return writeMaterialTextures(dataDir); }},
        {"loading screen", [&] { return std::vector<std::string>{writeLoading(dataDir)}; }},
        {"overlay", [&] { return std::vector<std::string>{writeOverlay(dataDir)}; }},
        {"beat flash", [&] { return std::vector<std::string>{writeNyrkki(dataDir)}; }},
    };
    Clock::time_point start = Clock::now();
    for (const Step& step : steps) {
        Clock::time_point stepStart = Clock::now();
        std::vector<std::string> paths = step.run();
        printf("make_pictures: %s, %.2f s\n", step.what, secondsSince(stepStart));
        for (const std::string& path : paths) printf("  wrote %s\n", path.c_str());
    }
    printf("make_pictures: done in %.2f s\n", secondsSince(start));
    return 0;
}
