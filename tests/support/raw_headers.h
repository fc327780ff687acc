// Bare image headers for tests of detection and of bitmap construction: just
// the fields the plug-in reads, with any stream bytes the test appends.
#pragma once

#include <cstdint>

#include "base/byte_cursor.h"
#include "tests/support/test_support.h"

namespace torvatest {

inline void Put32(Bytes& b, size_t offset, uint32_t v) {
    if (b.size() < offset + 4) b.resize(offset + 4);
    torva::StoreLe32(&b[offset], v);
}
inline void Put16(Bytes& b, size_t offset, uint16_t v) {
    if (b.size() < offset + 2) b.resize(offset + 2);
    torva::StoreLe16(&b[offset], v);
}

// A QNT head: the body at 8 (version 0) or 12, padded to `total` bytes.
inline Bytes QntHead(uint32_t version, int32_t width, int32_t height, uint32_t colour, uint32_t alpha, size_t total,
              uint32_t bits = 24) {
    Bytes b(total, 0);
    Put32(b, 0, 0x00544E51);
    Put32(b, 4, version);
    const size_t body = version == 0 ? 8 : 12;
    if (version != 0) Put32(b, 8, 52);
    Put32(b, body + 8, static_cast<uint32_t>(width));
    Put32(b, body + 12, static_cast<uint32_t>(height));
    Put32(b, body + 16, bits);
    Put32(b, body + 24, colour);
    Put32(b, body + 28, alpha);
    if (b.size() < total) b.resize(total);
    return b;
}

inline Bytes PmsHead(uint16_t version, uint16_t headerSize, uint8_t depth, int32_t width, int32_t height,
              uint32_t pixelOffset, size_t total = 64) {
    Bytes b(total, 0);
    Put16(b, 0, 0x4D50);
    Put16(b, 2, version);
    Put16(b, 4, headerSize);
    b[6] = depth;
    Put32(b, 24, static_cast<uint32_t>(width));
    Put32(b, 28, static_cast<uint32_t>(height));
    Put32(b, 32, pixelOffset);
    b.resize(total);
    return b;
}

inline Bytes VspHead(int16_t left, int16_t top, int16_t right, int16_t bottom, size_t total = 58) {
    Bytes b(total, 0);
    Put16(b, 0, static_cast<uint16_t>(left));
    Put16(b, 2, static_cast<uint16_t>(top));
    Put16(b, 4, static_cast<uint16_t>(right));
    Put16(b, 6, static_cast<uint16_t>(bottom));
    b.resize(total);
    return b;
}

}  // namespace torvatest
