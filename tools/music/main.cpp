// make_music <path of the ogg>: renders the soundtrack and writes it as Ogg Vorbis.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "music/synth/OggEncoder.h"
#include "music/synth/Song.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_music <output.ogg>\n");
        return 2;
    }
    const std::string path = argv[1];
    // Find out now, not after the render, when the output cannot be written.
    const std::string probe = path + ".partial";
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "make_music: cannot create '%s': %s\n", probe.c_str(), std::strerror(errno));
        return 1;
    }
    std::fclose(file);
    std::remove(probe.c_str());

    auto start = std::chrono::steady_clock::now();
    music::StereoBuffer song = music::renderSong(music::trackSamples());
    double renderSeconds = secondsSince(start);
    std::string bytes, error;
    int passes = 0;
    if (!music::encodeOggVorbis(song.left, song.right, 0.5f, music::dbToGain(music::decodedTruePeakDb), bytes,
                                error, &passes) ||
        !music::writeFileAtomically(path, bytes, error)) {
        std::fprintf(stderr, "make_music: %s\n", error.c_str());
        return 1;
    }
    std::printf("make_music: %.1f s of music to %s in %.2f s (synthesis %.2f s, encoding %.2f s in %d %s)\n",
                music::trackSeconds, path.c_str(), secondsSince(start), renderSeconds,
                secondsSince(start) - renderSeconds, passes, passes == 1 ? "pass" : "passes");
    return 0;
}
