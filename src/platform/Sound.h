#pragma once
// Music playback, whose position is the show's time: Ogg Vorbis streams played on the desktop by one
// SDL audio device (44.1 kHz, stereo, 16-bit; desktop/Sound.cpp) and in the browser by Web Audio
// (web/SoundWeb.cpp). The calls keep the names and arguments the demo code was written against;
// positions are integer milliseconds. The rules the streams share are in platform/MusicStream.h.
// Each stream takes its position from one source, chosen when it opens: the sound heard on a real
// device, the monotonic clock on SDL's silent "dummy" driver or with no device at all, or the
// caller's setting for a caller-clock stream (tests). Past the end of its audio (the track's
// length, or where a damaged file stops decoding) a file stream runs on in silence on the monotonic
// clock: a short or broken track never stops the show.

struct FSOUND_STREAM;

// Opens the audio device. When no device opens, falls back to SDL's "dummy" driver, which
// consumes audio in real time, so the show keeps its pace in silence. True when a device is open.
signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);

// Opens an Ogg Vorbis file. A missing or unreadable file, one that isn't a regular file, or one with
// a link of a rate or channel count that can't be converted, gives null and one line on stderr.
// Links of other formats than the device's are converted to it (platform/MusicDecoder.h).
// `mode`, `offset` and `length` are accepted and ignored: streams always play the whole file.
FSOUND_STREAM* FSOUND_Stream_Open(const char* path, unsigned int mode, int offset, int length);

// Starts the stream from its current position on `channel` (-1 picks 0). Returns the channel,
// or -1 for a null stream. One stream plays at a time; playing another replaces it.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);

// Position of the sound being heard, milliseconds; 0 for a null stream. While playing it rises
// smoothly between device callbacks and never goes backwards. The first reading past the end of the
// audio says so on stderr, once per stream.
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);

// Seeks sample-exactly; a negative target is 0, one past the end of the audio lands in the silence
// after it. The next GetTime reads the new position.
signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int positionMs);

// Stops (true) or resumes (false) the stream playing on `channel`, position and sound together.
signed char FSOUND_SetPaused(int channel, signed char paused);

// Closes the device and every stream (tests reopen the module with another driver).
void FSOUND_Close();

// A silent stream whose position is set by the caller, for example from a frame number.
// It answers GetTime, SetTime, Play and SetPaused like a music stream.
FSOUND_STREAM* openCallerClockStream();
// A silent stream on the monotonic clock, with no end: the show's clock when its music can't play.
FSOUND_STREAM* openSilentStream();
void setCallerClockTime(FSOUND_STREAM* stream, int positionMs);
