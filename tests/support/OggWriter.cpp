#include "support/OggWriter.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>

namespace {
bool writePage(FILE* out, const ogg_page& page) {
    return fwrite(page.header, 1, page.header_len, out) == static_cast<size_t>(page.header_len) &&
           fwrite(page.body, 1, page.body_len, out) == static_cast<size_t>(page.body_len);
}
} // namespace

std::vector<int16_t> sineSamples(double seconds, double hertz, int channels, int rate) {
    const long frames = std::lround(seconds * rate);
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[static_cast<size_t>(i * channels + c)] =
                static_cast<int16_t>(16383 * std::sin(2 * M_PI * hertz * i / rate));
    return samples;
}

bool writeOggVorbis(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate,
                    bool appendLink) {
    FILE* out = fopen(path.c_str(), appendLink ? "ab" : "wb");
    if (!out) return false;
    // Links of a chained file need serial numbers of their own: the file's size so far differs for
    // each.
    fseek(out, 0, SEEK_END);
    const long serial = 1 + ftell(out);
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.6f) != 0) {
        vorbis_info_clear(&info);
        fclose(out);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, static_cast<int>(serial));

    bool ok = true;
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) ok = ok && writePage(out, page);

    auto encodeWritten = [&] {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) ok = ok && writePage(out, page);
            }
        }
    };
    const long frames = static_cast<long>(samples.size()) / channels;
    for (long start = 0; start < frames; start += 1024) {
        long count = frames - start < 1024 ? frames - start : 1024;
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
        for (long i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(start + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        encodeWritten();
    }
    // The zero-length write marks the end; without it the tail is never encoded.
    vorbis_analysis_wrote(&dsp, 0);
    encodeWritten();
    while (ogg_stream_flush(&stream, &page)) ok = ok && writePage(out, page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return fclose(out) == 0 && ok;
}
