#include "music/synth/OggEncoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <vorbis/vorbisenc.h>

#include "music/synth/Dsp.h"

namespace music {

namespace {

constexpr int streamSerial = 0x4c756d6f;
constexpr int chunkFrames = 4096;

struct Encoder {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    bool infoReady = false, analysisReady = false, streamReady = false;

    ~Encoder() {
        if (streamReady) ogg_stream_clear(&stream);
        if (analysisReady) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        if (infoReady) {
            vorbis_comment_clear(&comment);
            vorbis_info_clear(&info);
        }
    }
};

bool writePage(std::FILE* file, const ogg_page& page) {
    return std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file) ==
               static_cast<size_t>(page.header_len) &&
           std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file) ==
               static_cast<size_t>(page.body_len);
}

// Moves every finished packet into pages and writes them. False on a write error.
bool drain(Encoder& enc, std::FILE* file) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&enc.dsp, &enc.block) == 1) {
        vorbis_analysis(&enc.block, nullptr);
        vorbis_bitrate_addblock(&enc.block);
        while (vorbis_bitrate_flushpacket(&enc.dsp, &packet)) {
            ogg_stream_packetin(&enc.stream, &packet);
            while (ogg_stream_pageout(&enc.stream, &page)) {
                if (!writePage(file, page)) return false;
            }
        }
    }
    return true;
}

bool encode(std::FILE* file, const std::vector<float>& left, const std::vector<float>& right, float quality,
            std::string& error) {
    Encoder enc;
    vorbis_info_init(&enc.info);
    vorbis_comment_init(&enc.comment);
    enc.infoReady = true;
    if (vorbis_encode_init_vbr(&enc.info, 2, sampleRate, quality) != 0) {
        error = "the Vorbis encoder rejected 44100 Hz stereo at this quality";
        return false;
    }
    vorbis_comment_add_tag(&enc.comment, "TITLE", "noisebiisi");
    vorbis_comment_add_tag(&enc.comment, "ARTIST", "Vorkasta");
    vorbis_analysis_init(&enc.dsp, &enc.info);
    vorbis_block_init(&enc.dsp, &enc.block);
    enc.analysisReady = true;
    ogg_stream_init(&enc.stream, streamSerial);
    enc.streamReady = true;

    ogg_packet header, commentHeader, codebooks;
    vorbis_analysis_headerout(&enc.dsp, &enc.comment, &header, &commentHeader, &codebooks);
    ogg_stream_packetin(&enc.stream, &header);
    ogg_stream_packetin(&enc.stream, &commentHeader);
    ogg_stream_packetin(&enc.stream, &codebooks);
    ogg_page page;
    // The headers end on a page of their own, so audio starts on a fresh page.
    while (ogg_stream_flush(&enc.stream, &page)) {
        if (!writePage(file, page)) return false;
    }

    const size_t frames = left.size();
    for (size_t done = 0; done < frames; done += chunkFrames) {
        int count = static_cast<int>(std::min<size_t>(chunkFrames, frames - done));
        float** buffer = vorbis_analysis_buffer(&enc.dsp, count);
        std::memcpy(buffer[0], left.data() + done, sizeof(float) * static_cast<size_t>(count));
        std::memcpy(buffer[1], right.data() + done, sizeof(float) * static_cast<size_t>(count));
        vorbis_analysis_wrote(&enc.dsp, count);
        if (!drain(enc, file)) return false;
    }
    // Without this end-of-stream mark the encoder keeps the last blocks and the track's tail is lost.
    vorbis_analysis_wrote(&enc.dsp, 0);
    if (!drain(enc, file)) return false;
    while (ogg_stream_flush(&enc.stream, &page)) {
        if (!writePage(file, page)) return false;
    }
    return true;
}

} // namespace

bool writeOggVorbis(const std::string& path, const std::vector<float>& left, const std::vector<float>& right,
                    float quality, std::string& error) {
    if (left.size() != right.size()) {
        error = "left and right channels differ in length";
        return false;
    }
    const std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        error = "cannot create '" + partial + "': " + std::strerror(errno);
        return false;
    }
    bool written = encode(file, left, right, quality, error);
    if (!written && error.empty()) error = "cannot write '" + partial + "': " + std::strerror(errno);
    if (std::fclose(file) != 0 && written) {
        error = "cannot finish '" + partial + "': " + std::strerror(errno);
        written = false;
    }
    if (written && std::rename(partial.c_str(), path.c_str()) != 0) {
        error = "cannot rename '" + partial + "' to '" + path + "': " + std::strerror(errno);
        written = false;
    }
    if (!written) std::remove(partial.c_str());
    return written;
}

} // namespace music
