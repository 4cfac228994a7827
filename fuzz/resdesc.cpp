// The resource descriptors: a script of seeks and reads, taken from the front of the input, run on
// a file descriptor over the rest of the input and on a memory descriptor over the same bytes.
// Both must give the same values and positions, and neither may read outside its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "InputFile.h"
#include "geometry/ResDesc.h"

namespace {
void check(bool same) {
    if (!same) abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t scriptLength = std::min<size_t>(data[0], size - 1);
    const uint8_t* script = data + 1;
    const uint8_t* contents = script + scriptLength;
    size_t contentSize = size - 1 - scriptLength;

    ResDescFile file(inputFile(contents, contentSize).c_str());
    ResDescMemory memory(std::vector<unsigned char>(contents, contents + contentSize));
    for (size_t i = 0; i + 1 < scriptLength; i += 2) {
        int operation = script[i] % 8;
        int argument = script[i + 1];
        switch (operation) {
        case 0: {
            // Offsets either side of the contents, from each origin.
            int offset = argument - 64;
            int origin = (argument >> 6) % 3;
            check((file.seek(offset, origin) == 0) == (memory.seek(offset, origin) == 0));
            break;
        }
        case 1: {
            unsigned char a[256], b[256];
            int length = argument - 8; // a few lengths of 0 and below too
            int gotFile = file.read(a, length), gotMemory = memory.read(b, length);
            check(gotFile == gotMemory);
            check(gotFile == 0 || memcmp(a, b, static_cast<size_t>(length)) == 0);
            break;
        }
        case 2:
            check(file.readU8() == memory.readU8());
            break;
        case 3:
            check(file.readU16() == memory.readU16());
            break;
        case 4:
            check(file.readU32() == memory.readU32());
            break;
        case 5: {
            float a = file.readFloat(), b = memory.readFloat();
            check(memcmp(&a, &b, sizeof a) == 0);
            break;
        }
        case 6: {
            double a = file.readDouble(), b = memory.readDouble();
            check(memcmp(&a, &b, sizeof a) == 0);
            break;
        }
        default: {
            uint32_t a = 0, b = 0;
            check(file.tryReadU32(a) == memory.tryReadU32(b) && a == b);
            break;
        }
        }
        check(file.tell() == memory.tell());
    }
    return 0;
}
