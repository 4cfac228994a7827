#include "music/synth/OggEncoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cmath>

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include "music/synth/Dsp.h"
#include "music/synth/Effects.h"

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

void writePage(std::string& out, const ogg_page& page) {
    out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

// Moves every finished packet into pages and appends them.
void drain(Encoder& enc, std::string& out) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&enc.dsp, &enc.block) == 1) {
        vorbis_analysis(&enc.block, nullptr);
        vorbis_bitrate_addblock(&enc.block);
        while (vorbis_bitrate_flushpacket(&enc.dsp, &packet)) {
            ogg_stream_packetin(&enc.stream, &packet);
            while (ogg_stream_pageout(&enc.stream, &page)) writePage(out, page);
        }
    }
}

bool encode(std::string& out, const std::vector<float>& left, const std::vector<float>& right, float quality,
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
    while (ogg_stream_flush(&enc.stream, &page)) writePage(out, page);

    const size_t frames = left.size();
    for (size_t done = 0; done < frames; done += chunkFrames) {
        int count = static_cast<int>(std::min<size_t>(chunkFrames, frames - done));
        float** buffer = vorbis_analysis_buffer(&enc.dsp, count);
        std::memcpy(buffer[0], left.data() + done, sizeof(float) * static_cast<size_t>(count));
        std::memcpy(buffer[1], right.data() + done, sizeof(float) * static_cast<size_t>(count));
        vorbis_analysis_wrote(&enc.dsp, count);
        drain(enc, out);
    }
    // Without this end-of-stream mark the encoder keeps the last blocks and the track's tail is lost.
    vorbis_analysis_wrote(&enc.dsp, 0);
    drain(enc, out);
    while (ogg_stream_flush(&enc.stream, &page)) writePage(out, page);
    return true;
}

// Reads the encoded bytes back from memory, as a player would decode them.
struct MemoryFile {
    const std::string* bytes;
    size_t at = 0;
};

size_t readMemory(void* into, size_t size, size_t count, void* source) {
    MemoryFile& file = *static_cast<MemoryFile*>(source);
    const size_t wanted = size * count, left = file.bytes->size() - file.at;
    const size_t got = std::min(wanted, left);
    std::memcpy(into, file.bytes->data() + file.at, got);
    file.at += got;
    return size ? got / size : 0;
}

bool decode(const std::string& bytes, std::vector<float>& left, std::vector<float>& right,
            std::string& error) {
    MemoryFile source{&bytes};
    const ov_callbacks callbacks = {readMemory, nullptr, nullptr, nullptr};
    OggVorbis_File file;
    if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) {
        error = "cannot read back the encoded track";
        return false;
    }
    left.clear();
    right.clear();
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long got = ov_read_float(&file, &pcm, chunkFrames, &section);
        if (got == 0) break;
        if (got < 0) {
            ov_clear(&file);
            error = "cannot decode the encoded track back";
            return false;
        }
        left.insert(left.end(), pcm[0], pcm[0] + got);
        right.insert(right.end(), pcm[1], pcm[1] + got);
    }
    ov_clear(&file);
    return true;
}

} // namespace

bool encodeOggVorbis(std::vector<float>& left, std::vector<float>& right, float quality,
                     float truePeakCeiling, std::string& bytes, std::string& error, int* passes) {
    if (left.size() != right.size()) {
        error = "left and right channels differ in length";
        return false;
    }
    // The lossy coding changes the waveform: its peaks land above or below the ones it was given.
    // Each pass lowers the track where the decoded peaks went over, a little more than they did (more
    // on every pass, so the few spots the next coding pushes over again do not keep it going), and
    // encodes it again.
    constexpr int maxPasses = 5;
    constexpr float marginPerPass = 0.9f; // about 0.9 dB
    std::vector<float> decodedLeft, decodedRight;
    for (int pass = 1;; ++pass) {
        bytes.clear();
        if (!encode(bytes, left, right, quality, error)) return false;
        if (!decode(bytes, decodedLeft, decodedRight, error)) return false;
        std::vector<float> allowed = truePeaks(decodedLeft, decodedRight);
        const float margin = std::pow(marginPerPass, static_cast<float>(pass));
        bool over = false;
        for (size_t n = 0; n < allowed.size(); ++n) {
            over = over || allowed[n] > truePeakCeiling;
            allowed[n] = allowed[n] > truePeakCeiling ? margin * truePeakCeiling / allowed[n] : 1.0f;
        }
        if (passes) *passes = pass;
        if (!over) return true;
        if (pass == maxPasses) {
            error =
                "the decoded track still peaks above the ceiling after " + std::to_string(pass) + " passes";
            return false;
        }
        allowed.resize(left.size(), 1.0f);
        // The coding's error spreads over blocks of tens of milliseconds: the track is lowered around
        // each over, not only at it.
        applyGainLimits(left, right, allowed, static_cast<int>(0.025 * sampleRate), 0.2f);
    }
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        error = "cannot create '" + partial + "': " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!written) error = "cannot write '" + partial + "': " + std::strerror(errno);
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
