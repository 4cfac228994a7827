// Ogg Vorbis files as the music is read: for playback, converted to the device's format, and for
// the export, at the file's own rate; each read to its end, then again from a seek into the middle.
// Chained files whose links differ in rate and channel count, cut and damaged files among them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "InputFile.h"
#include "base/RegularFile.h"
#include "platform/MusicDecoder.h"
#include "platform/export/MusicFile.h"

namespace {

// Reads until the decoder has no more, as the device callback and the export do.
void readToEnd(MusicDecoder& decoder) {
    std::vector<int16_t> samples(static_cast<size_t>(1024) * decoder.outputChannels());
    while (decoder.read(samples.data(), 1024) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = inputFile(data, size);

    std::string reason;
    if (FILE* file = openRegularFile(path.c_str())) {
        if (const std::unique_ptr<MusicDecoder> playback = openMusicDecoder(file, 44100, 2, reason)) {
            readToEnd(*playback);
            playback->seek(playback->length(1000) / 2, 1000);
            readToEnd(*playback);
        }
    }

    MusicFile music;
    if (music.open(path, reason)) {
        std::vector<int16_t> samples(static_cast<size_t>(1024) * music.channels());
        while (music.read(samples.data(), 1024) > 0) {
        }
        music.seek(1);
        music.read(samples.data(), 1024);
    }
    return 0;
}
