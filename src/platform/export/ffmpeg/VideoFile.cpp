#include "platform/export/VideoFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/RegularFile.h"

const bool videoExportBuiltIn = true;

namespace {

// Constant quality: 18 is close to transparent for this picture; the encoder spends bits where the
// picture needs them instead of a fixed rate. A faster preset costs a few percent of file size at
// the same quality and leaves the processor to the software renderer, which sets the pace.
const char* const videoQuality = "18";
const char* const videoPreset = "veryfast";
constexpr int64_t soundBitRate = 192000; // bits per second
constexpr int keyFrameSeconds = 2;       // how far a player may have to decode to seek

std::string libraryError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The media libraries see the file only through these calls on a descriptor the program opened
// itself: a name is a path, never a URL, and nothing is opened again by name. Each reader or
// writer keeps its own position on the shared descriptor.
struct FileAccess {
    int fd;
    int64_t position = 0;
};

int readFile(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<FileAccess*>(opaque);
    ssize_t got;
    do got = pread(file->fd, buffer, static_cast<size_t>(size), file->position);
    while (got < 0 && errno == EINTR);
    if (got < 0) return AVERROR(errno);
    if (got == 0) return AVERROR_EOF;
    file->position += got;
    return static_cast<int>(got);
}

int writeFile(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<FileAccess*>(opaque);
    int done = 0;
    while (done < size) {
        ssize_t put = pwrite(file->fd, buffer + done, static_cast<size_t>(size - done), file->position);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return AVERROR(errno);
        if (put == 0) return AVERROR(ENOSPC);
        file->position += put;
        done += static_cast<int>(put);
    }
    return size;
}

int64_t seekFile(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<FileAccess*>(opaque);
    struct stat info;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return fstat(file->fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += file->position;
        break;
    case SEEK_END:
        if (fstat(file->fd, &info) != 0) return AVERROR(errno);
        offset += info.st_size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0) return AVERROR(EINVAL);
    file->position = offset;
    return offset;
}

AVIOContext* openFileAccess(int fd, bool writing) {
    constexpr int bufferBytes = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferBytes));
    auto* file = new (std::nothrow) FileAccess{fd};
    AVIOContext* context = buffer && file ? avio_alloc_context(buffer, bufferBytes, writing ? 1 : 0, file,
                                                               readFile, writing ? writeFile : nullptr, seekFile)
                                          : nullptr;
    if (!context) {
        av_free(buffer);
        delete file;
    }
    return context;
}

void closeFileAccess(AVIOContext** context) {
    if (!*context) return;
    delete static_cast<FileAccess*>((*context)->opaque);
    av_freep(&(*context)->buffer);
    avio_context_free(context);
}

// The muxer reads the file back to move its index to the front: the same descriptor, read afresh.
int reopenForReading(AVFormatContext* container, AVIOContext** context, const char*, int flags,
                     AVDictionary**) {
    if (flags & AVIO_FLAG_WRITE) return AVERROR(EPERM);
    *context = openFileAccess(*static_cast<int*>(container->opaque), false);
    return *context ? 0 : AVERROR(ENOMEM);
}

int closeReopened(AVFormatContext*, AVIOContext* context) {
    closeFileAccess(&context);
    return 0;
}

// The rate the sound is encoded at: the music's own when the encoder takes it, otherwise the
// lowest it takes above it (or its highest), so that a 192 kHz track is resampled rather than
// refused.
int encoderRate(const AVCodec* codec, int musicRate) {
    const int* rates = codec->supported_samplerates;
    if (!rates) return musicRate;
    int above = 0, highest = 0;
    for (; *rates; ++rates) {
        if (*rates == musicRate) return musicRate;
        if (*rates > musicRate && (above == 0 || *rates < above)) above = *rates;
        highest = std::max(highest, *rates);
    }
    return above ? above : highest ? highest : musicRate;
}

// Why the target can't be replaced by the finished file, or empty when it can: it doesn't exist
// yet, or it is a regular file (through a link, the link is what gets replaced).
std::string targetProblem(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT ? "" : strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (!S_ISREG(info.st_mode)) return "it exists and is not a regular file";
    return "";
}

} // namespace

struct VideoFile::State {
    std::string path;
    NewFile file; // unnamed, or PATH.XXXXXX.partial, until it is finished
    int fd = -1;  // the file's descriptor
    VideoFormat format;
    PictureArea area;

    AVFormatContext* container = nullptr;
    AVCodecContext* videoCodec = nullptr;
    AVCodecContext* soundCodec = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* soundStream = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* pending = nullptr; // resampled sound waiting for a whole encoder frame
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    int64_t picturesSent = 0;
    int64_t soundFramesSent = 0;

    ~State() {
        avcodec_free_context(&videoCodec);
        avcodec_free_context(&soundCodec);
        sws_freeContext(scaler);
        swr_free(&resampler);
        if (pending) av_audio_fifo_free(pending);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        if (container) {
            closeFileAccess(&container->pb);
            avformat_free_context(container);
        }
    }

    std::string fail(const std::string& what, int code) const {
        return "Cannot write the video " + path + ": " + what + (code < 0 ? ": " + libraryError(code) : "");
    }

    // Hands everything the encoder has ready to the container. A full disk shows up here.
    bool drain(AVCodecContext* codec, AVStream* stream, std::string& error) {
        for (;;) {
            int status = avcodec_receive_packet(codec, packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) {
                error = fail("encoding failed", status);
                return false;
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            status = av_interleaved_write_frame(container, packet);
            if (status < 0) {
                error = fail("writing failed", status);
                return false;
            }
        }
    }

    bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string& error) {
        int status = avcodec_send_frame(codec, frame);
        if (status < 0) {
            error = fail("encoding failed", status);
            return false;
        }
        return drain(codec, stream, error);
    }

    // Converts `frames` sound frames into the queue; null samples drain what a change of rate
    // still holds back.
    bool convertSound(const int16_t* samples, int frames, std::string& error) {
        const int room = swr_get_out_samples(resampler, frames);
        if (room < 0) {
            error = fail("cannot convert the sound", room);
            return false;
        }
        if (room == 0) return true;
        std::vector<float> left(static_cast<size_t>(room)), right(static_cast<size_t>(room));
        uint8_t* planes[2] = {reinterpret_cast<uint8_t*>(left.data()), reinterpret_cast<uint8_t*>(right.data())};
        const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(samples)};
        const int converted = swr_convert(resampler, planes, room, samples ? input : nullptr, frames);
        if (converted < 0) {
            error = fail("cannot convert the sound", converted);
            return false;
        }
        if (av_audio_fifo_write(pending, reinterpret_cast<void**>(planes), converted) < converted) {
            error = fail("no memory for sound", 0);
            return false;
        }
        return true;
    }

    // Encodes whole sound frames from the queue; with `all`, the short remainder too.
    bool encodePendingSound(bool all, std::string& error) {
        const int size = soundCodec->frame_size;
        while (av_audio_fifo_size(pending) >= size || (all && av_audio_fifo_size(pending) > 0)) {
            const int frames = std::min(size, av_audio_fifo_size(pending));
            av_frame_unref(sound);
            sound->nb_samples = frames;
            sound->format = soundCodec->sample_fmt;
            sound->sample_rate = soundCodec->sample_rate;
            av_channel_layout_copy(&sound->ch_layout, &soundCodec->ch_layout);
            int status = av_frame_get_buffer(sound, 0);
            if (status < 0) {
                error = fail("no memory for sound", status);
                return false;
            }
            av_audio_fifo_read(pending, reinterpret_cast<void**>(sound->data), frames);
            sound->pts = soundFramesSent;
            soundFramesSent += frames;
            if (!encode(soundCodec, soundStream, sound, error)) return false;
        }
        return true;
    }

    // A context for the named encoder, or null with the reason in `error`; `codec` is the encoder.
    AVCodecContext* newEncoder(AVCodecID id, const std::string& name, const AVCodec*& codec,
                               std::string& error) const {
        codec = avcodec_find_encoder(id);
        if (!codec) {
            error = fail("this system's media libraries have no " + name + " encoder", 0);
            return nullptr;
        }
        AVCodecContext* context = avcodec_alloc_context3(codec);
        if (!context) error = fail("no memory for the " + name + " encoder", 0);
        return context;
    }

    bool openVideoEncoder(std::string& error) {
        const AVCodec* codec = nullptr;
        videoCodec = newEncoder(AV_CODEC_ID_H264, "H.264", codec, error);
        if (!videoCodec) return false;
        videoCodec->width = format.width;
        videoCodec->height = format.height;
        videoCodec->pix_fmt = AV_PIX_FMT_YUV420P;
        videoCodec->time_base = AVRational{1, format.framesPerSecond};
        videoCodec->framerate = AVRational{format.framesPerSecond, 1};
        videoCodec->gop_size = keyFrameSeconds * format.framesPerSecond;
        videoCodec->color_range = AVCOL_RANGE_MPEG;
        videoCodec->colorspace = AVCOL_SPC_BT709;
        videoCodec->color_primaries = AVCOL_PRI_BT709;
        videoCodec->color_trc = AVCOL_TRC_IEC61966_2_1;
        if (container->oformat->flags & AVFMT_GLOBALHEADER) videoCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = nullptr;
        int status = 0;
        // An average rate asked for replaces the constant quality: the encoder aims at the rate
        // over the whole file.
        if (format.videoBitRate > 0)
            videoCodec->bit_rate = format.videoBitRate;
        else
            status = av_dict_set(&options, "crf", videoQuality, 0);
        if (status >= 0) status = av_dict_set(&options, "preset", videoPreset, 0);
        if (status >= 0) status = avcodec_open2(videoCodec, codec, &options);
        av_dict_free(&options);
        if (status < 0) {
            error = fail("cannot start the H.264 encoder", status);
            return false;
        }
        videoStream = avformat_new_stream(container, nullptr);
        if (!videoStream) {
            error = fail("no memory for the video stream", 0);
            return false;
        }
        videoStream->time_base = videoCodec->time_base;
        videoStream->avg_frame_rate = videoCodec->framerate;
        status = avcodec_parameters_from_context(videoStream->codecpar, videoCodec);
        if (status < 0) {
            error = fail("cannot describe the video stream", status);
            return false;
        }

        picture = av_frame_alloc();
        if (!picture) {
            error = fail("no memory for pictures", 0);
            return false;
        }
        picture->format = videoCodec->pix_fmt;
        picture->width = format.width;
        picture->height = format.height;
        status = av_frame_get_buffer(picture, 0);
        if (status < 0) {
            error = fail("no memory for pictures", status);
            return false;
        }
        // One resampling from the finished frame to the video's area, with a sharp filter.
        scaler = sws_getContext(format.pictureWidth, format.pictureHeight, AV_PIX_FMT_RGB24, area.width,
                                area.height, AV_PIX_FMT_YUV420P, SWS_LANCZOS | SWS_ACCURATE_RND, nullptr,
                                nullptr, nullptr);
        if (!scaler) {
            error = fail("cannot scale pictures to " + std::to_string(format.width) + "x" +
                             std::to_string(format.height),
                         0);
            return false;
        }
        // Full-range RGB in, limited-range BT.709 out, as tagged above.
        sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
        return true;
    }

    bool openSoundEncoder(std::string& error) {
        const AVCodec* codec = nullptr;
        soundCodec = newEncoder(AV_CODEC_ID_AAC, "AAC", codec, error);
        if (!soundCodec) return false;
        soundCodec->sample_fmt = AV_SAMPLE_FMT_FLTP;
        soundCodec->sample_rate = encoderRate(codec, format.soundRate);
        soundCodec->bit_rate = soundBitRate;
        av_channel_layout_default(&soundCodec->ch_layout, 2);
        soundCodec->time_base = AVRational{1, soundCodec->sample_rate};
        if (container->oformat->flags & AVFMT_GLOBALHEADER) soundCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int status = avcodec_open2(soundCodec, codec, nullptr);
        if (status < 0) {
            error = fail("cannot start the AAC encoder at " + std::to_string(soundCodec->sample_rate) + " Hz",
                         status);
            return false;
        }
        soundStream = avformat_new_stream(container, nullptr);
        if (!soundStream) {
            error = fail("no memory for the sound stream", 0);
            return false;
        }
        soundStream->time_base = soundCodec->time_base;
        status = avcodec_parameters_from_context(soundStream->codecpar, soundCodec);
        if (status < 0) {
            error = fail("cannot describe the sound stream", status);
            return false;
        }

        AVChannelLayout input;
        av_channel_layout_default(&input, format.soundChannels);
        status = swr_alloc_set_opts2(&resampler, &soundCodec->ch_layout, soundCodec->sample_fmt,
                                     soundCodec->sample_rate, &input, AV_SAMPLE_FMT_S16, format.soundRate, 0,
                                     nullptr);
        av_channel_layout_uninit(&input);
        if (status < 0 || swr_init(resampler) < 0) {
            error = fail("cannot convert the sound", status);
            return false;
        }
        pending = av_audio_fifo_alloc(soundCodec->sample_fmt, 2, soundCodec->frame_size * 4);
        sound = av_frame_alloc();
        if (!pending || !sound) {
            error = fail("no memory for sound", 0);
            return false;
        }
        return true;
    }
};

VideoFile::VideoFile() : state(nullptr) {}

VideoFile::~VideoFile() {
    abandon();
}

bool VideoFile::open(const std::string& path, const VideoFormat& format, std::string& error,
                     void (*created)(const char* partialPath)) {
    abandon();
    // The encoders' chatter would break up the progress line; errors still come through.
    av_log_set_level(AV_LOG_ERROR);
    state = new State;
    State& s = *state;
    s.path = path;
    s.format = format;
    s.area = fitPicture(format.width, format.height, format.pictureWidth, format.pictureHeight);
    s.packet = av_packet_alloc();
    // Found now rather than at the rename after the whole export: a FIFO or a device at the path
    // would be replaced by the file, a folder can't be.
    std::string problem = targetProblem(path);
    if (!problem.empty()) {
        error = "Cannot write the video " + path + ": " + problem;
        abandon();
        return false;
    }

    if (!s.file.create(path, problem)) {
        error = "Cannot write the video " + path + ": " + problem;
        abandon();
        return false;
    }
    s.fd = s.file.descriptor();
    if (created && !s.file.partialPath().empty()) created(s.file.partialPath().c_str());
    // The container is named: the file's name has no extension to guess it from. The name is
    // only for the libraries' messages.
    int status = avformat_alloc_output_context2(&s.container, nullptr, "mp4", path.c_str());
    if (status < 0 || !s.packet) {
        error = s.fail("cannot set up an MP4 file", status);
        abandon();
        return false;
    }
    if (!s.openVideoEncoder(error) || !s.openSoundEncoder(error)) {
        abandon();
        return false;
    }
    s.container->pb = openFileAccess(s.fd, true);
    if (!s.container->pb) {
        error = s.fail("no memory for the file", 0);
        abandon();
        return false;
    }
    s.container->flags |= AVFMT_FLAG_CUSTOM_IO;
    s.container->opaque = &s.fd;
    s.container->io_open = reopenForReading;
    s.container->io_close2 = closeReopened;
    // The index goes to the front in a second pass over the file when it is finished.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    status = avformat_write_header(s.container, &options);
    av_dict_free(&options);
    if (status < 0) {
        error = s.fail("cannot write the header", status);
        abandon();
        return false;
    }
    return true;
}

bool VideoFile::writePicture(const unsigned char* rgbBottomUp, std::string& error) {
    State& s = *state;
    int status = av_frame_make_writable(s.picture);
    if (status < 0) {
        error = s.fail("no memory for pictures", status);
        return false;
    }
    // Black bars: Y 16, Cb and Cr 128 in limited range.
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? s.format.height : s.format.height / 2;
        memset(s.picture->data[plane], plane == 0 ? 16 : 128,
               static_cast<size_t>(s.picture->linesize[plane]) * rows);
    }
    // The last row first, walking up: top-down rows for the encoder.
    const int rowBytes = s.format.pictureWidth * 3;
    const uint8_t* source[1] = {rgbBottomUp + static_cast<size_t>(rowBytes) * (s.format.pictureHeight - 1)};
    const int sourceStride[1] = {-rowBytes};
    uint8_t* target[3];
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        target[plane] =
            s.picture->data[plane] + (s.area.y >> shift) * s.picture->linesize[plane] + (s.area.x >> shift);
    }
    sws_scale(s.scaler, source, sourceStride, 0, s.format.pictureHeight, target, s.picture->linesize);
    s.picture->pts = s.picturesSent++;
    return s.encode(s.videoCodec, s.videoStream, s.picture, error);
}

bool VideoFile::writeSound(const int16_t* samples, int frames, std::string& error) {
    State& s = *state;
    return s.convertSound(samples, frames, error) && s.encodePendingSound(false, error);
}

bool VideoFile::finish(std::string& error) {
    State& s = *state;
    bool ok = s.convertSound(nullptr, 0, error) && s.encodePendingSound(true, error) &&
              s.encode(s.soundCodec, s.soundStream, nullptr, error) &&
              s.encode(s.videoCodec, s.videoStream, nullptr, error);
    if (ok) {
        int status = av_write_trailer(s.container);
        if (status < 0) {
            error = s.fail("cannot finish the file", status);
            ok = false;
        }
    }
    if (ok) {
        // Buffered bytes reach the file only now: a full disk may show up here first.
        avio_flush(s.container->pb);
        if (s.container->pb->error < 0) {
            error = s.fail("writing failed", s.container->pb->error);
            ok = false;
        }
    }
    // Whole on the disk before it takes the target's place, and the target still something a
    // file may replace.
    if (ok && fsync(s.fd) != 0) {
        error = s.fail(std::string("writing failed: ") + strerror(errno), 0);
        ok = false;
    }
    if (ok) {
        const std::string problem = targetProblem(s.path);
        if (!problem.empty()) {
            error = "Cannot write the video " + s.path + ": " + problem;
            ok = false;
        }
    }
    if (ok) {
        std::string problem;
        if (!s.file.publish(problem)) {
            error = s.fail("cannot give the finished file its name: " + problem, 0);
            ok = false;
        }
    }
    if (ok) {
        delete state;
        state = nullptr;
        return true;
    }
    abandon();
    return false;
}

void VideoFile::abandon() {
    delete state;
    state = nullptr;
}
