#pragma once
// Writes 44.1 kHz stereo float audio as an Ogg Vorbis file with a fixed stream serial number, so the
// same samples always give the same bytes, and reads it back to keep its decoded peaks in bounds.

#include <string>
#include <vector>

namespace music {

// Encodes left/right (equal lengths, samples in [-1, 1]) at the given quality (-0.1 .. 1.0) into `bytes`,
// so that the decoded track's true peak stays at or under `truePeakCeiling`: where it would not, the
// samples are lowered (in place) and encoded again. `passes` receives how many encodings it took. On
// failure returns false and sets `error`.
bool encodeOggVorbis(std::vector<float>& left, std::vector<float>& right, float quality,
                     float truePeakCeiling, std::string& bytes, std::string& error, int* passes = nullptr);

// Writes `bytes` beside `path` under a temporary name and renames it into place only when complete, so
// a failed run never leaves a truncated track behind. On failure returns false and sets `error`.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

} // namespace music
