#pragma once
// Writes 44.1 kHz stereo float audio as an Ogg Vorbis file with a fixed stream serial number, so the
// same samples always give the same bytes.

#include <string>
#include <vector>

namespace music {

// Encodes left/right (equal lengths, samples in [-1, 1]) at the given quality (-0.1 .. 1.0) into `path`.
// The file is written beside `path` under a temporary name and renamed into place only when complete, so
// a failed run never leaves a truncated track behind. On failure returns false and sets `error`.
bool writeOggVorbis(const std::string& path, const std::vector<float>& left, const std::vector<float>& right,
                    float quality, std::string& error);

} // namespace music
