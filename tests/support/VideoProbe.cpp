#include "support/VideoProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

namespace {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Order of the top-level boxes "moov" and "mdat".
bool moovBeforeMdat(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[16];
    while (in.read(reinterpret_cast<char*>(header), 8)) {
        uint64_t size = (uint64_t(header[0]) << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        const std::string type(reinterpret_cast<char*>(header) + 4, 4);
        if (type == "moov") return true;
        if (type == "mdat") return false;
        uint64_t headerBytes = 8;
        if (size == 1) {
            if (!in.read(reinterpret_cast<char*>(header + 8), 8)) return false;
            size = 0;
            for (int i = 8; i < 16; ++i) size = size << 8 | header[i];
            headerBytes = 16;
        }
        if (size < headerBytes) return false;
        in.seekg(static_cast<std::streamoff>(size - headerBytes), std::ios::cur);
    }
    return false;
}

struct Decoder {
    AVCodecContext* codec = nullptr;
    ~Decoder() { avcodec_free_context(&codec); }
};

} // namespace

ProbedVideo probeVideo(const std::string& path, bool keepEveryFrame) {
    ProbedVideo v;
    v.indexAtFront = moovBeforeMdat(path);
    AVFormatContext* container = nullptr;
    int status = avformat_open_input(&container, path.c_str(), nullptr, nullptr);
    if (status < 0) {
        v.error = "cannot open " + path + ": " + errorText(status);
        return v;
    }
    status = avformat_find_stream_info(container, nullptr);
    if (status < 0) {
        v.error = "cannot read the streams of " + path + ": " + errorText(status);
        avformat_close_input(&container);
        return v;
    }
    int videoIndex = -1, soundIndex = -1;
    Decoder video, sound;
    for (unsigned i = 0; i < container->nb_streams; ++i) {
        const AVCodecParameters* parameters = container->streams[i]->codecpar;
        Decoder* decoder = nullptr;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++v.videoStreams;
            v.videoCodec = avcodec_get_name(parameters->codec_id);
            v.width = parameters->width;
            v.height = parameters->height;
            const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters->format));
            v.pixelFormat = format ? format : "";
            if (videoIndex < 0) {
                videoIndex = static_cast<int>(i);
                decoder = &video;
            }
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++v.soundStreams;
            v.soundCodec = avcodec_get_name(parameters->codec_id);
            v.soundRate = parameters->sample_rate;
            v.soundChannels = parameters->ch_layout.nb_channels;
            if (soundIndex < 0) {
                soundIndex = static_cast<int>(i);
                decoder = &sound;
            }
        }
        if (!decoder) continue;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        decoder->codec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder->codec, parameters);
        decoder->codec->pkt_timebase = container->streams[i]->time_base;
        if (!codec || avcodec_open2(decoder->codec, codec, nullptr) < 0) {
            v.error = "no decoder for stream " + std::to_string(i);
            avformat_close_input(&container);
            return v;
        }
    }

    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto take = [&](Decoder& decoder, int index) {
        while (avcodec_receive_frame(decoder.codec, frame) >= 0) {
            const double seconds =
                frame->best_effort_timestamp * av_q2d(container->streams[index]->time_base);
            if (index == videoIndex) {
                double sum = 0;
                for (int y = 0; y < frame->height; ++y)
                    for (int x = 0; x < frame->width; ++x) sum += frame->data[0][y * frame->linesize[0] + x];
                if (v.frameSeconds.empty() || keepEveryFrame) {
                    std::vector<unsigned char> luma;
                    for (int y = 0; y < frame->height; ++y)
                        luma.insert(luma.end(), frame->data[0] + y * frame->linesize[0],
                                    frame->data[0] + y * frame->linesize[0] + frame->width);
                    if (v.frameSeconds.empty()) v.firstFrameLuma = luma;
                    if (keepEveryFrame) v.everyFrameLuma.push_back(std::move(luma));
                }
                v.frameSeconds.push_back(seconds);
                v.frameLuma.push_back(sum / (static_cast<double>(frame->width) * frame->height));
            } else if (frame->format == AV_SAMPLE_FMT_FLTP) {
                // The sound's first sample sits at its time; anything before 0 s was the encoder's lead-in.
                const long first = std::lround(seconds * frame->sample_rate);
                if (first >= 0 && static_cast<size_t>(first) > v.sound.size()) v.sound.resize(first, 0.0f);
                const int channels = frame->ch_layout.nb_channels;
                for (int n = 0; n < frame->nb_samples; ++n) {
                    if (first + n < 0) continue;
                    float mix = 0;
                    for (int c = 0; c < channels; ++c) mix += reinterpret_cast<float*>(frame->data[c])[n];
                    v.sound.push_back(mix / channels);
                }
            } else if (v.error.empty()) {
                v.error = "unexpected sound sample format";
            }
            av_frame_unref(frame);
        }
    };
    while ((status = av_read_frame(container, packet)) >= 0) {
        Decoder* decoder = packet->stream_index == videoIndex   ? &video
                           : packet->stream_index == soundIndex ? &sound
                                                                : nullptr;
        if (decoder && avcodec_send_packet(decoder->codec, packet) >= 0)
            take(*decoder, packet->stream_index);
        else if (decoder && v.error.empty())
            v.error = "a damaged packet in stream " + std::to_string(packet->stream_index);
        av_packet_unref(packet);
    }
    if (status != AVERROR_EOF && v.error.empty()) v.error = "reading stopped early: " + errorText(status);
    for (auto [decoder, index] : {std::pair{&video, videoIndex}, std::pair{&sound, soundIndex}}) {
        if (index < 0) continue;
        avcodec_send_packet(decoder->codec, nullptr);
        take(*decoder, index);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&container);
    return v;
}
