// The one way file bytes are read: a cursor over a span that cannot pass the
// span's end, and bounded little-endian reads at fixed offsets for headers.
// A read that does not fit reports false and leaves its output alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torva {

// Little-endian field at `offset` of `size` bytes, or false when it does not
// lie wholly inside them.
inline bool ReadLe16At(const unsigned char* data, uint64_t size, uint64_t offset, uint16_t* value) {
    if (offset > size || size - offset < 2) return false;
    *value = static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
    return true;
}

inline bool ReadLe24At(const unsigned char* data, uint64_t size, uint64_t offset, uint32_t* value) {
    if (offset > size || size - offset < 3) return false;
    *value = static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
             static_cast<uint32_t>(data[offset + 2]) << 16;
    return true;
}

inline bool ReadLe32At(const unsigned char* data, uint64_t size, uint64_t offset, uint32_t* value) {
    if (offset > size || size - offset < 4) return false;
    *value = static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
             static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
    return true;
}

// Unchecked little-endian loads, for bytes already proven to be present.
inline uint16_t LoadLe16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline void StoreLe16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void StoreLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// A forward cursor over [begin, begin + size).
class ByteCursor {
public:
    ByteCursor(const unsigned char* begin, uint64_t size) : begin_(begin), size_(size), offset_(0) {}

    uint64_t offset() const { return offset_; }
    uint64_t remaining() const { return size_ - offset_; }
    bool atEnd() const { return offset_ >= size_; }
    bool has(uint64_t count) const { return count <= size_ - offset_; }

    // The next `count` bytes, or null when fewer remain (nothing consumed).
    const unsigned char* take(uint64_t count) {
        if (!has(count)) return nullptr;
        const unsigned char* here = begin_ + offset_;
        offset_ += count;
        return here;
    }

    bool readByte(unsigned char* value) {
        if (!has(1)) return false;
        *value = begin_[offset_++];
        return true;
    }

    bool readLe16(uint16_t* value) {
        const unsigned char* p = take(2);
        if (p == nullptr) return false;
        *value = LoadLe16(p);
        return true;
    }

    bool skip(uint64_t count) { return take(count) != nullptr; }

private:
    const unsigned char* begin_;
    uint64_t size_;
    uint64_t offset_;
};

}  // namespace torva
