#pragma once
// The fuzzer's bytes as a file that readers open by path: one memory-backed file per process,
// refilled for each input, so nothing is left in the file system.
#include <cstddef>
#include <cstdint>
#include <string>

// Replaces the file's contents with the input and returns a path that opens it.
const std::string& inputFile(const uint8_t* data, size_t size);
