// Helpers for tests that act as the host: the FileAccess record with its
// inline name, files on disk behind a handle, and reading returned blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "plugin/records.h"

namespace torvatest {

using Bytes = std::vector<unsigned char>;

// A FileAccess record laid out as the host lays it out: the fixed fields,
// then the NUL-terminated name, and nothing after it. The record keeps its own
// copy of the file's bytes, so `data` is exactly `dataSize` bytes long.
class HostRecord {
public:
    HostRecord(Bytes bytes, const std::string& fileName, HANDLE file = nullptr);
    // Supplies only the first `headSize` bytes (for archive calls).
    HostRecord(Bytes bytes, uint32_t headSize, const std::string& fileName, HANDLE file);

    const FileAccess* get() const { return reinterpret_cast<const FileAccess*>(storage_.data()); }
    const Bytes& bytes() const { return bytes_; }

private:
    void build(const std::string& fileName, HANDLE file, uint32_t headSize);
    Bytes bytes_;
    std::vector<unsigned char> storage_;
};

// A file in the temporary directory, removed when the object goes.
class TempFile {
public:
    TempFile(const Bytes& bytes, const std::string& suffix);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// An open read handle on a file, closed when the object goes.
class OpenFile {
public:
    explicit OpenFile(const std::string& path);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};

// The first `size` bytes of a returned block (locked and unlocked again).
Bytes BlockBytes(HGLOBAL block, size_t size);

// Sets the code page of the multibyte string routines for the life of the
// object and restores the previous one: 932 makes 0x81-0x9F and 0xE0-0xFC lead
// bytes, 1252 makes every byte a character of its own. On Windows this is
// the C runtime's own code page; elsewhere the stand-in's.
class MultibyteCodePage {
public:
    explicit MultibyteCodePage(unsigned codePage);
    ~MultibyteCodePage();
    MultibyteCodePage(const MultibyteCodePage&) = delete;
    MultibyteCodePage& operator=(const MultibyteCodePage&) = delete;

private:
    unsigned previous_;
};

// Deterministic pseudo-random numbers for generated test content.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<uint32_t>(state_ >> 11);
    }
    // Uniform in [0, bound).
    uint32_t below(uint32_t bound) { return bound == 0 ? 0 : next() % bound; }

private:
    uint64_t state_;
};

}  // namespace torvatest

namespace torvatest {

// What KRV_GetImage returned, with the block read back and freed.
struct BitmapResult {
    int32_t result = -1;
    uint32_t size = 0;
    size_t blockSize = 0;     // GlobalSize of the returned block
    unsigned lockCount = 0;   // locks left on the block when it was returned
    Bytes bytes;              // the first `size` bytes of the block
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER infoHeader{};
    const unsigned char* pixels() const { return bytes.data() + fileHeader.bfOffBits; }
};

BitmapResult GetBitmap(const Bytes& file, const std::string& name, int32_t mode);

}  // namespace torvatest
