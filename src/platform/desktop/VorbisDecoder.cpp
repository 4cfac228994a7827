// Ogg Vorbis music through libvorbisfile, each link converted with SDL's audio converter.
#include "platform/MusicDecoder.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Rates a link may have. Below the lower one, one decoded packet would grow by more than 40 times
// in the converter; nothing real is recorded there or above the upper one.
constexpr long lowestRate = 1000;
constexpr long highestRate = 384000;
constexpr int mostChannels = 8; // what SDL's converter takes

struct LinkFormat {
    int rate = 0;     // frames per second
    int channels = 0; // samples per frame
    bool operator==(const LinkFormat& other) const {
        return rate == other.rate && channels == other.channels;
    }
};

// A link's format when the converter can take it.
bool playableFormat(const vorbis_info* info, LinkFormat& format) {
    if (!info || info->rate < lowestRate || info->rate > highestRate || info->channels < 1 ||
        info->channels > mostChannels)
        return false;
    format = {static_cast<int>(info->rate), info->channels};
    return true;
}

// The most a file may hold after its last Ogg page (a tag, or the zeros of a copy cut off) and
// still be played, bytes. The search for that page reads each byte of the tail once.
constexpr int64_t longestTail = 16 << 20;
constexpr long longestPage = 27 + 255 + 255 * 255; // header, segment table, the most data

// 64-bit positions in a file.
int seekIn(FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, offset, whence);
#else
    return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

int64_t positionIn(FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

// The file as the decoder sees it: up to the end of its last whole Ogg page. The library finds that
// page itself by stepping back from the end of the file and reading on to the end again at every
// step, which over a long tail of anything else took minutes; the tail is left out instead.
struct OggSource {
    FILE* file = nullptr; // closed by the library once it has opened it, else by the decoder
    int64_t end = 0;      // bytes the decoder sees
};

size_t readSource(void* buffer, size_t size, size_t count, void* source) {
    auto* s = static_cast<OggSource*>(source);
    const int64_t at = positionIn(s->file);
    if (at < 0 || size == 0) return 0;
    const int64_t room = std::max<int64_t>(s->end - at, 0) / static_cast<int64_t>(size);
    return fread(buffer, size, static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), room)), s->file);
}

int seekSource(void* source, ogg_int64_t offset, int whence) {
    auto* s = static_cast<OggSource*>(source);
    if (whence == SEEK_END) {
        offset += s->end;
        whence = SEEK_SET;
    }
    return seekIn(s->file, offset, whence);
}

long tellSource(void* source) {
    return static_cast<long>(positionIn(static_cast<OggSource*>(source)->file));
}

int closeSource(void* source) {
    auto* s = static_cast<OggSource*>(source);
    const int status = fclose(s->file);
    s->file = nullptr;
    return status;
}

// Whether a whole, valid Ogg page starts at `at`; its length when one does.
bool pageAt(FILE* file, int64_t at, int64_t size, long& length) {
    const long available = static_cast<long>(std::min<int64_t>(longestPage, size - at));
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, available);
    bool found = false;
    if (buffer && seekIn(file, at, SEEK_SET) == 0 &&
        fread(buffer, 1, static_cast<size_t>(available), file) == static_cast<size_t>(available)) {
        ogg_sync_wrote(&sync, available);
        ogg_page page;
        length = ogg_sync_pageseek(&sync, &page);
        found = length > 0;
    }
    ogg_sync_clear(&sync);
    return found;
}

// Where the last whole Ogg page of the file ends, searched for from the end back at most
// longestTail bytes, each byte read once. The file's size when it has no such page at all (the
// library then says what it makes of it); -1 when there is none within longestTail of the end, -2
// when the file can't be read.
int64_t endOfOggData(FILE* file) {
    if (seekIn(file, 0, SEEK_END) != 0) return -2;
    const int64_t size = positionIn(file);
    if (size < 0) return -2;
    // A file that doesn't start as Ogg data is the library's to refuse, at once.
    char start[4] = {};
    if (seekIn(file, 0, SEEK_SET) != 0 || fread(start, 1, 4, file) != 4 || memcmp(start, "OggS", 4) != 0)
        return size;
    constexpr int64_t blockBytes = 1 << 16;
    std::vector<char> block(blockBytes + 3);
    // Candidates for a page's capture pattern "OggS", from the end back; the pattern may straddle
    // two blocks, so each block is read with the first three bytes of the one after it.
    for (int64_t blockEnd = size; blockEnd > 0;) {
        if (size - blockEnd > longestTail) return -1;
        const int64_t blockStart = std::max<int64_t>(blockEnd - blockBytes, 0);
        const size_t bytes = static_cast<size_t>(std::min<int64_t>(blockEnd + 3, size) - blockStart);
        if (seekIn(file, blockStart, SEEK_SET) != 0 ||
            fread(block.data(), 1, bytes, file) != bytes)
            return -2;
        for (int64_t i = static_cast<int64_t>(blockEnd - blockStart) - 1; i >= 0; --i) {
            long length = 0;
            if (i + 4 <= static_cast<int64_t>(bytes) && memcmp(&block[static_cast<size_t>(i)], "OggS", 4) == 0 &&
                pageAt(file, blockStart + i, size, length))
                return blockStart + i + length;
        }
        blockEnd = blockStart;
    }
    return size;
}

class VorbisDecoder final : public MusicDecoder {
public:
    explicit VorbisDecoder(FILE* taken) { source.file = taken; }
    ~VorbisDecoder() override {
        if (converter) SDL_FreeAudioStream(converter);
        // Once opened, the library closes the file.
        if (opened) ov_clear(&file);
        if (source.file) fclose(source.file);
    }

    bool open(int rate, int channels, std::string& reason);

    int outputRate() const override { return rateOut; }
    int outputChannels() const override { return channelsOut; }
    int64_t length(int64_t unitsPerSecond) const override;
    bool seek(int64_t position, int64_t unitsPerSecond) override;
    int read(int16_t* samples, int frames) override;
    bool damaged() const override { return damagedPart; }

private:
    bool convertFrom(const LinkFormat& format) {
        if (converter && converting == format) return true;
        if (converter) SDL_FreeAudioStream(converter);
        converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(format.channels), format.rate,
                                       AUDIO_S16SYS, static_cast<Uint8>(channelsOut), rateOut);
        converting = format;
        return converter != nullptr;
    }

    // The format of link `section`; a link the open didn't list (an unseekable file) is asked for.
    bool linkFormat(int section, LinkFormat& format) {
        if (section >= 0 && section < static_cast<int>(links.size())) {
            format = links[static_cast<size_t>(section)];
            return true;
        }
        return playableFormat(ov_info(&file, section), format);
    }

    void stop(bool failed) {
        atEnd = true;
        damagedPart = damagedPart || failed;
        if (converter) SDL_AudioStreamFlush(converter);
    }

    OggSource source;
    OggVorbis_File file{};
    bool opened = false; // the library has the file
    int rateOut = 0;
    int channelsOut = 0;
    std::vector<LinkFormat> links;
    std::vector<int64_t> linkFrames; // each link's length in its own frames

    // The converter is set up for one link's format at a time.
    SDL_AudioStream* converter = nullptr;
    LinkFormat converting;
    // Samples decoded from a link of another format, waiting until the converter has handed out
    // what the previous link left in it.
    std::vector<char> waiting;
    int waitingLink = -1;
    bool atEnd = false;
    bool damagedPart = false;
};

bool VorbisDecoder::open(int rate, int channels, std::string& reason) {
    const int64_t end = endOfOggData(source.file);
    if (end < 0 || seekIn(source.file, 0, SEEK_SET) != 0) {
        reason = end == -1 ? "no Ogg page ends within its last " + std::to_string(longestTail >> 20) +
                                 " MB: it ends in something else"
                           : "it could not be read";
        return false;
    }
    source.end = end;
    const ov_callbacks callbacks = {readSource, seekSource, closeSource, tellSource};
    if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) {
        reason = "not an Ogg Vorbis file";
        return false;
    }
    opened = true;
    const long count = std::max(ov_streams(&file), 1L);
    int mostLinkChannels = 0;
    for (long i = 0; i < count; ++i) {
        const vorbis_info* info = ov_info(&file, static_cast<int>(i));
        LinkFormat format;
        if (!playableFormat(info, format)) {
            reason = "link " + std::to_string(i + 1) + " has " + (info ? std::to_string(info->rate) : "no") +
                     " Hz and " + (info ? std::to_string(info->channels) : "no") +
                     " channels; links of 1000 Hz to 384 kHz with 1 to 8 channels can be played";
            return false;
        }
        links.push_back(format);
        linkFrames.push_back(std::max<int64_t>(ov_pcm_total(&file, static_cast<int>(i)), 0));
        mostLinkChannels = std::max(mostLinkChannels, format.channels);
    }
    // Opened, a chained file is left at its last link: the first is found by seeking there.
    if (count > 1 && ov_seekable(&file) && ov_pcm_seek(&file, 0) != 0) {
        reason = "it cannot be read from its start";
        return false;
    }
    rateOut = rate > 0 ? rate : links[0].rate;
    channelsOut = channels > 0 ? channels : mostLinkChannels;
    if (!convertFrom(links[0])) {
        reason = std::string("cannot convert its sound: ") + SDL_GetError();
        return false;
    }
    return true;
}

int64_t VorbisDecoder::length(int64_t unitsPerSecond) const {
    int64_t total = 0;
    for (size_t i = 0; i < links.size(); ++i) total += linkFrames[i] * unitsPerSecond / links[i].rate;
    return total;
}

bool VorbisDecoder::seek(int64_t position, int64_t unitsPerSecond) {
    // The link the position falls in, and the frame inside it; past the end is the end.
    int64_t remaining = std::max<int64_t>(position, 0);
    int64_t frame = 0;
    for (size_t i = 0; i < links.size(); ++i) {
        const int64_t linkUnits = linkFrames[i] * unitsPerSecond / links[i].rate;
        if (remaining < linkUnits) {
            frame += std::min(remaining * links[i].rate / unitsPerSecond, linkFrames[i]);
            remaining = 0;
            break;
        }
        remaining -= linkUnits;
        frame += linkFrames[i];
    }
    const bool moved = ov_pcm_seek(&file, frame) == 0;
    if (converter) SDL_AudioStreamClear(converter);
    waiting.clear();
    atEnd = false;
    return moved;
}

int VorbisDecoder::read(int16_t* samples, int frames) {
    if (frames <= 0) return 0;
    const int frameBytes = 2 * channelsOut;
    const int wanted = frames * frameBytes;
    char* out = reinterpret_cast<char*>(samples);
    int got = 0; // bytes
    char packet[4096];
    while (got < wanted) {
        if (SDL_AudioStreamAvailable(converter) > 0) {
            const int n = SDL_AudioStreamGet(converter, out + got, wanted - got);
            if (n <= 0) break;
            got += n;
            continue;
        }
        if (!waiting.empty()) {
            LinkFormat format;
            if (!linkFormat(waitingLink, format) || !convertFrom(format)) {
                waiting.clear();
                stop(true);
                break;
            }
            SDL_AudioStreamPut(converter, waiting.data(), static_cast<int>(waiting.size()));
            waiting.clear();
            continue;
        }
        if (atEnd) break;
        int section = 0;
        const long n = ov_read(&file, packet, sizeof packet, 0, 2, 1, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) {
            // End of file, or a damaged one: hand out what was decoded, then stop.
            stop(n < 0);
            continue;
        }
        LinkFormat format;
        if (!linkFormat(section, format)) {
            stop(true);
            continue;
        }
        if (!(format == converting)) {
            // The previous link's last samples leave the converter before this link's come in.
            SDL_AudioStreamFlush(converter);
            waiting.assign(packet, packet + n);
            waitingLink = section;
            continue;
        }
        if (SDL_AudioStreamPut(converter, packet, static_cast<int>(n)) != 0) stop(true);
    }
    return got / frameBytes;
}

} // namespace

std::unique_ptr<MusicDecoder> openMusicDecoder(FILE* file, int outputRate, int outputChannels,
                                               std::string& reason) {
    if (!file) {
        reason = "it could not be read";
        return nullptr;
    }
    auto decoder = std::make_unique<VorbisDecoder>(file);
    if (!decoder->open(outputRate, outputChannels, reason)) return nullptr;
    return decoder;
}
