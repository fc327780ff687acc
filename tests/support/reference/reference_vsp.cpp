#include <vector>

#include "base/checked_size.h"
#include "tests/support/reference/reference_decoders.h"

namespace torvaref {
namespace {

using torva::DecodeStatus;

// The plane buffers of one decode, `height` rows each, kept from column to
// column, and the negation mask.
struct Planes {
    std::vector<unsigned char> plane[4];
    unsigned char mask = 0;
};

// One plane of one column, command by command; false when the stream ends
// before the plane does (a command whose operands are cut off included).
bool DecodePlane(torva::ByteSpan stream, size_t* at, Planes& planes, int p, uint32_t height) {
    std::vector<unsigned char>& out = planes.plane[p];
    auto take = [&](size_t n) -> const unsigned char* {
        static const unsigned char kNone = 0;
        if (n == 0) return &kNone;
        if (stream.size - *at < n) return nullptr;
        const unsigned char* bytes = stream.data + *at;
        *at += n;
        return bytes;
    };
    auto set = [&](uint64_t row, unsigned char v) {
        if (row < height) out[size_t(row)] = v;
    };
    uint64_t row = 0;
    while (row < height) {
        const unsigned char* command = take(1);
        if (command == nullptr) return false;
        const unsigned char c = *command;
        const size_t operands = c == 0 || c == 7 || (c >= 3 && c <= 5) ? 1 : c == 1 ? 2 : c == 2 ? 3 : 0;
        const unsigned char* op = take(operands);
        if (op == nullptr) return false;
        switch (c) {
            case 0: row += op[0] + 1u; break;
            case 1:
                for (unsigned i = 0; i <= op[0]; ++i) set(row++, op[1]);
                break;
            case 2:
                for (unsigned i = 0; i <= op[0]; ++i) {
                    set(row++, op[1]);
                    set(row++, op[2]);
                }
                break;
            case 3:
            case 4:
            case 5:
                for (unsigned i = 0; i <= op[0]; ++i, ++row) {
                    if (row < height) set(row, static_cast<unsigned char>(planes.plane[c - 3][size_t(row)] ^ planes.mask));
                }
                planes.mask = 0;
                break;
            case 6: planes.mask = 0xFF; break;
            case 7: set(row++, op[0]); break;
            default: set(row++, c); break;
        }
    }
    return true;
}

}  // namespace

torva::DecodeResult DecodeVspPlanes(const VspHeader& header, torva::ByteSpan file, torva::PixelSpan out) {
    if (header.width < 8 || header.height <= 0) return torva::Failed(DecodeStatus::Corrupt);
    const uint32_t columns = uint32_t(header.width) / 8, height = uint32_t(header.height);
    if (!out.fits(uint64_t{columns} * 4, height)) return torva::Failed(DecodeStatus::TooLarge);
    Planes planes;
    for (auto& plane : planes.plane) plane.assign(height, 0);
    const torva::ByteSpan stream = file.from(kVspPlaneOffset);
    size_t at = 0;
    for (uint32_t c = 0; c < columns; ++c) {
        for (int p = 0; p < 4; ++p) {
            if (!DecodePlane(stream, &at, planes, p, height)) {
                return torva::DecodeResult{DecodeStatus::Truncated, uint64_t{c} * 8 * height};
            }
        }
        // Pixel x of the column takes bit 7 - x of each plane, plane p as bit p
        // of its nibble; even pixels in the high nibble. Top row last.
        for (uint32_t y = 0; y < height; ++y) {
            unsigned char* row = out.data + size_t(height - 1 - y) * out.stride + size_t(c) * 4;
            for (int x = 0; x < 8; ++x) {
                unsigned nibble = 0;
                for (int p = 0; p < 4; ++p) nibble |= ((planes.plane[p][y] >> (7 - x)) & 1u) << p;
                row[x / 2] = static_cast<unsigned char>(x % 2 == 0 ? nibble << 4 : row[x / 2] | nibble);
            }
        }
    }
    return torva::DecodeResult{DecodeStatus::Complete, uint64_t{columns} * 8 * height};
}

}  // namespace torvaref
