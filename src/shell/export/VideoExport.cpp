#include "shell/export/VideoExport.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/export/MusicFile.h"
#include "platform/export/VideoFile.h"
#include "platform/Window.h"
#include "shell/export/ExportProgress.h"
#include "shell/export/FrameQueue.h"
#include "shell/export/FrameReadback.h"
#include "shell/OfflineClock.h"
#include "shell/Shell.h"

namespace {

const char* const dataFolder = "data";
constexpr int soundChunkFrames = 4096;

volatile std::sig_atomic_t gStopSignal = 0;

// Frames on their way to the encoder: the one it encodes and two drawn meanwhile.
constexpr int encoderQueueFrames = 3;

// The file being written, and the queue whose thread writes it. A fatal error ends the process
// through exit(), which unwinds no stack, so the unfinished file is removed from an exit handler
// instead of the VideoFile's destructor, once the encoder thread has let go of it.
VideoFile* gUnfinished = nullptr;
FrameQueue* gEncoder = nullptr;

void removeUnfinished() {
    if (gEncoder) gEncoder->stop();
    if (gUnfinished) gUnfinished->abandon();
}

class UnfinishedWhileInScope {
public:
    explicit UnfinishedWhileInScope(VideoFile& video) {
        static const bool registered = std::atexit(removeUnfinished) == 0;
        (void)registered;
        gUnfinished = &video;
    }
    ~UnfinishedWhileInScope() { gUnfinished = nullptr; }
};

// The unfinished file's path while there is one, for the handler below: a copy that outlives the
// VideoFile's own, up to the end of the export.
std::string gUnfinishedCopy;
std::atomic<const char*> gUnfinishedPath{nullptr};

void noteUnfinished(const char* partialPath) {
    gUnfinishedCopy = partialPath;
    gUnfinishedPath = gUnfinishedCopy.c_str();
}

// The first signal asks the export to finish what it has. A second one ends it at once, as the
// signal would, and takes the unfinished file with it (once the file is finished, it is gone from
// that path already).
void stopRequested(int number) {
    if (gStopSignal == 0) {
        gStopSignal = number;
        return;
    }
    if (const char* partial = gUnfinishedPath) unlink(partial);
    std::signal(number, SIG_DFL);
    std::raise(number);
}

// Whether `path` is, by whatever name, a file the show reads: the program itself, its music or any
// regular file in its data folder (after links, at any depth).
bool readByTheShow(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored)) return false;
    const auto isIt = [&](const fs::path& input) { return fs::equivalent(input, path, ignored); };
    if (isIt("/proc/self/exe") || isIt(showMusicPath)) return true;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(dataFolder, error), end; !error && entry != end;
         entry.increment(error))
        if (entry->is_regular_file(ignored) && isIt(entry->path())) return true;
    return false;
}

// Why the video must not go to `path`, or empty when it may: the files the show reads are never
// replaced, and its data folder, which the next run reads, takes nothing new.
std::string inputProblem(const std::string& path) {
    if (readByTheShow(path)) return "it is the program itself or a file the show reads";
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path data = fs::canonical(dataFolder, error);
    if (error) return "";
    const fs::path folder = fs::path(path).parent_path();
    const fs::path where = fs::weakly_canonical(folder.empty() ? fs::path(".") : folder, error);
    if (error) return "";
    if (std::mismatch(data.begin(), data.end(), where.begin(), where.end()).first == data.end())
        return "it is in the show's data folder, " + data.string();
    return "";
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Feeds the soundtrack into the video as far as the pictures go.
class Soundtrack {
public:
    Soundtrack(MusicFile& music, VideoFile& video) : music(music), video(video) {
        samples.resize(static_cast<size_t>(soundChunkFrames) * music.channels());
    }

    bool writeUpTo(int64_t targetFrames, std::string& error) {
        while (written < targetFrames) {
            const int wanted = static_cast<int>(std::min<int64_t>(soundChunkFrames, targetFrames - written));
            int got = ended ? 0 : music.read(samples.data(), wanted);
            if (got < 0) {
                error = std::string("Cannot read the music ") + showMusicPath + ": the file is damaged";
                return false;
            }
            // Past the end of the track the sound goes on in silence: the video always has its
            // sound, also from a track that ends before the start or has no samples at all.
            if (got == 0) {
                ended = true;
                std::fill(samples.begin(), samples.end(), int16_t{0});
                got = wanted;
            }
            if (!video.writeSound(samples.data(), got, error)) return false;
            written += got;
        }
        return true;
    }

private:
    MusicFile& music;
    VideoFile& video;
    std::vector<int16_t> samples;
    int64_t written = 0; // sound frames since the first picture
    bool ended = false;
};

} // namespace

int exportVideo(const ExportSettings& settings) {
    const auto started = std::chrono::steady_clock::now();
    if (!videoExportBuiltIn) {
        fprintf(stderr, "lumorakka: this build has no video export (it was configured with "
                        "LUMORAKKA_VIDEO_EXPORT=OFF); rebuild with FFmpeg's libraries to export.\n");
        return 1;
    }
    std::string error;
    MusicFile music;
    if (!music.open(showMusicPath, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!music.seek(std::llround(settings.startSeconds * music.rate()))) {
        fprintf(stderr, "Cannot read the music %s: it cannot be wound to %.3f s\n", showMusicPath,
                settings.startSeconds);
        return 1;
    }

    // The picture is drawn at its size in the video, and the video adds the bars: no scaling.
    const PictureArea area = fitPicture(settings.width, settings.height, 800, 600);
    VideoFormat format;
    format.width = settings.width;
    format.height = settings.height;
    format.framesPerSecond = settings.framesPerSecond;
    format.videoBitRate = settings.videoMbits * int64_t{1000000};
    format.pictureWidth = area.width;
    format.pictureHeight = area.height;
    format.soundRate = music.rate();
    format.soundChannels = music.channels();
    VideoFile video;
    // Checked and opened before the long start-up, so a path that can't be written fails at once.
    const std::string problem = inputProblem(settings.path);
    if (!problem.empty()) {
        fprintf(stderr, "Cannot write the video %s: %s\n", settings.path.c_str(), problem.c_str());
        return 1;
    }
    // Installed before the unfinished file exists, so that no signal ends the export with the file
    // left behind, and before the window system starts, which then leaves these signals to us. A
    // closed terminal (SIGHUP) finishes the file as a polite kill does. A reader of standard output
    // or error that has gone away must not end the export: writes there just fail (the metaball
    // set-up's lines on standard output are only flushed at exit).
    std::signal(SIGINT, stopRequested);
    std::signal(SIGTERM, stopRequested);
#if !defined(_WIN32)
    std::signal(SIGHUP, stopRequested);
    std::signal(SIGPIPE, SIG_IGN);
#endif
    if (!video.open(settings.path, format, error, noteUnfinished)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const UnfinishedWhileInScope unfinished(video);

    long total = exportFrameCount(settings);
    const double fps = settings.framesPerSecond;
    fprintf(stderr, "Exporting %s: %ld frames (%.3f to %.3f s at %d fps), %dx%d, H.264 and AAC\n",
            settings.path.c_str(), total, settings.startSeconds, settings.endSeconds,
            settings.framesPerSecond, settings.width, settings.height);
    ShowOptions options = ShowOptions::headless("Lumorakka by Vorkasta");
    options.width = area.width;
    options.height = area.height;
    options.pictureFillsSurface = true;
    const FrameView view = startShow(options);

    OfflineClock clock(fps);
    clock.jumpTo(settings.startSeconds);
    Soundtrack soundtrack(music, video);
    // The encoder's thread takes each frame with its stretch of sound, in order, while the next
    // frames are drawn; the file sees the same calls in the same order as when one thread did it all.
    FrameQueue encoder(
        static_cast<size_t>(area.width) * area.height * 3, encoderQueueFrames,
        [&](long frame, const unsigned char* pixels, std::string& writeError) {
            const int64_t soundEnd = std::llround((frame + 1) * static_cast<double>(music.rate()) / fps);
            return video.writePicture(pixels, writeError) && soundtrack.writeUpTo(soundEnd, writeError);
        });
    gEncoder = &encoder;
    FrameReadback readback(area.width, area.height);
    // The oldest frame read back goes to the encoder; false once the encoder has failed.
    const auto handOver = [&] {
        unsigned char* buffer = encoder.nextBuffer();
        if (!buffer) return false;
        readback.collect(buffer);
        encoder.push();
        return true;
    };
    ProgressReport progress(stderr, total, isatty(STDERR_FILENO) != 0);
    const auto framesStarted = std::chrono::steady_clock::now();
    long drawn = 0;
    while (drawn < total && !gStopSignal && !encoder.failed()) {
        // Every frame of the range lies before the end of the show; should one not, the video ends
        // with the frame before it, whole.
        clock.advanceTo(settings.startSeconds + drawn / fps);
        if (renderFrame(clock, view)) {
            total = drawn;
            break;
        }
        readback.start();
        swapWindow();
        ++drawn;
        // Each frame is collected once the next one is drawn.
        if (readback.pending() == 2 && !handOver()) break;
        progress.update(drawn, secondsSince(framesStarted));
    }
    // Frames drawn before a stop are in the video too.
    while (readback.pending() > 0 && handOver()) {
    }
    const bool encoded = encoder.finish(error);
    gEncoder = nullptr;
    const long done = encoder.written();
    progress.close();
    if (!encoded) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    const int stopSignal = gStopSignal;
    if (done == 0) {
        video.abandon();
        gUnfinishedPath = nullptr;
        if (stopSignal == 0) {
            fprintf(stderr, "No frame of the show lies from %.3f s on: no video written.\n", settings.startSeconds);
            return 1;
        }
        fprintf(stderr, "Interrupted before the first frame: no video written.\n");
        return 128 + stopSignal;
    }
    // Anything the show has read since the start may not be replaced either.
    const std::string lateProblem = inputProblem(settings.path);
    if (!lateProblem.empty()) {
        video.abandon();
        fprintf(stderr, "Cannot write the video %s: %s\n", settings.path.c_str(), lateProblem.c_str());
        return 1;
    }
    const bool finished = video.finish(error);
    gUnfinishedPath = nullptr;
    if (!finished) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    const double seconds = secondsSince(started);
    const double showSeconds = done / fps;
    std::error_code sizeError;
    const auto bytes = std::filesystem::file_size(settings.path, sizeError);
    const std::string size = sizeError ? "size unknown" : sizeText(static_cast<long long>(bytes));
    if (done < total) {
        fprintf(stderr, "Interrupted: %s holds the first %ld of %ld frames (%.3f s of the show), %s.\n",
                settings.path.c_str(), done, total, showSeconds, size.c_str());
        return 128 + stopSignal;
    }
    fprintf(stderr, "Exported %s: %ld frames, %.3f s of the show in %s (%.2fx real time), %s.\n",
            settings.path.c_str(), done, showSeconds, durationText(seconds).c_str(), showSeconds / seconds,
            size.c_str());
    return 0;
}
