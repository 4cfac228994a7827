#pragma once
// Sequential readers of raw bytes. Loaders read every byte of a binary asset through a ResDesc, so
// any byte source will do; ResDescFile reads a file on disk and owns its stream. Values in the
// stream are little-endian.
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

class ResDesc {
public:
    virtual ~ResDesc() = default;
    // origin is SEEK_SET, SEEK_CUR or SEEK_END; 0 on success.
    virtual int seek(int offset, int origin) = 0;
    // 1 when all `length` bytes were read, otherwise 0 (a length of 0 also gives 0).
    virtual int read(void* buffer, int length) = 0;
    // Byte offset from the start of the source, or -1 when it can't be told.
    virtual long tell() = 0;

    // Typed reads give 0 when fewer bytes remain than the value needs.
    virtual uint8_t readU8();
    virtual uint16_t readU16();
    virtual uint32_t readU32();
    virtual float readFloat();
    virtual double readDouble();

    // Checked typed reads: false, with `value` untouched, on a short read.
    bool tryReadU8(uint8_t& value);
    bool tryReadU16(uint16_t& value);
    bool tryReadU32(uint32_t& value);
};

class ResDescFile : public ResDesc {
public:
    // A file that can't be opened, or isn't a regular file (a FIFO would never answer), prints
    // "File <path> not found!" on stderr and exits with status 1.
    explicit ResDescFile(const char* path);
    ResDescFile(const ResDescFile&) = delete;
    ResDescFile& operator=(const ResDescFile&) = delete;
    ~ResDescFile() override;

    int seek(int offset, int origin) override;
    int read(void* buffer, int length) override;
    long tell() override;

private:
    FILE* stream;
};

// Reads a byte buffer it holds; tests and fuzzing feed the loaders through it.
class ResDescMemory : public ResDesc {
public:
    explicit ResDescMemory(std::vector<unsigned char> bytes) : bytes(std::move(bytes)) {}

    int seek(int offset, int origin) override;
    int read(void* buffer, int length) override;
    long tell() override { return position; }

    std::vector<unsigned char> bytes;
    long position = 0; // a short read leaves it at the end
};
