#pragma once
// Writes 16-bit PCM as an Ogg Vorbis file, for tests that need real music.
#include <cstdint>
#include <string>
#include <vector>

// `samples` are interleaved frames of `channels`; true when the whole file was written.
bool writeOggVorbis(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate);
