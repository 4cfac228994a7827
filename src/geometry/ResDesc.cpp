#include "geometry/ResDesc.h"

#include <cstring>

#include "base/FatalError.h"
#include "base/RegularFile.h"

namespace {
// Assembles a little-endian value whatever the host's byte order.
uint64_t littleEndian(const unsigned char* bytes, int length) {
    uint64_t value = 0;
    for (int i = length - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}
} // namespace

bool ResDesc::tryReadU8(uint8_t& value) {
    unsigned char bytes[1];
    if (!read(bytes, 1)) return false;
    value = bytes[0];
    return true;
}

bool ResDesc::tryReadU16(uint16_t& value) {
    unsigned char bytes[2];
    if (!read(bytes, 2)) return false;
    value = static_cast<uint16_t>(littleEndian(bytes, 2));
    return true;
}

bool ResDesc::tryReadU32(uint32_t& value) {
    unsigned char bytes[4];
    if (!read(bytes, 4)) return false;
    value = static_cast<uint32_t>(littleEndian(bytes, 4));
    return true;
}

uint8_t ResDesc::readU8() {
    uint8_t value = 0;
    return tryReadU8(value) ? value : 0;
}

uint16_t ResDesc::readU16() {
    uint16_t value = 0;
    return tryReadU16(value) ? value : 0;
}

uint32_t ResDesc::readU32() {
    uint32_t value = 0;
    return tryReadU32(value) ? value : 0;
}

float ResDesc::readFloat() {
    uint32_t bits = 0;
    if (!tryReadU32(bits)) return 0.0f;
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

double ResDesc::readDouble() {
    unsigned char bytes[8];
    if (!read(bytes, 8)) return 0.0;
    uint64_t bits = littleEndian(bytes, 8);
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

ResDescFile::ResDescFile(const char* path) : stream(openRegularFile(path)) {
    if (!stream) fatalError("File %s not found!", path);
}

ResDescFile::~ResDescFile() {
    fclose(stream);
}

int ResDescFile::seek(int offset, int origin) {
    return fseek(stream, offset, origin);
}

int ResDescFile::read(void* buffer, int length) {
    if (length <= 0) return 0;
    return static_cast<int>(fread(buffer, static_cast<size_t>(length), 1, stream));
}

long ResDescFile::tell() {
    return ftell(stream);
}

int ResDescMemory::seek(int offset, int origin) {
    long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? position : static_cast<long>(bytes.size());
    long target = base + offset;
    if (target < 0) return -1;
    position = target;
    return 0;
}

int ResDescMemory::read(void* buffer, int length) {
    if (length <= 0) return 0;
    long size = static_cast<long>(bytes.size());
    if (position >= size || length > size - position) {
        if (position < size) position = size;
        return 0;
    }
    memcpy(buffer, bytes.data() + position, static_cast<size_t>(length));
    position += length;
    return 1;
}
