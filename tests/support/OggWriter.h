#pragma once
// Writes 16-bit PCM as an Ogg Vorbis file, for tests that need real music.
#include <cstdint>
#include <string>
#include <vector>

// `samples` are interleaved frames of `channels`; true when the whole file was written. With
// `appendLink` the file gets one more link of a chained file, with a serial number of its own.
bool writeOggVorbis(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate,
                    bool appendLink = false);

// `seconds` of a sine wave of `hertz` at half scale, the same in every channel.
std::vector<int16_t> sineSamples(double seconds, double hertz, int channels, int rate);
