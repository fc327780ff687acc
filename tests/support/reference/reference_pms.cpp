#include "tests/support/reference/reference_decoders.h"

#include <algorithm>
#include <vector>

#include "base/checked_size.h"

namespace torvaref {
namespace {

using torva::DecodeResult;
using torva::DecodeStatus;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Pixel by pixel into a zero-filled history of `historyPixels`; a
// back-reference before its start reads 0; decoding ends with the stream, at
// a code whose operands are cut off, or when the picture is full. 8-bit rows
// go out bottom-up, 16-bit rows top-down.
size_t DecodeStream(bool wide, size_t w, size_t h, size_t historyPixels, torva::ByteSpan stream,
                    torva::PixelSpan out) {
    const size_t pixelBytes = wide ? 2 : 1;
    std::vector<uint16_t> history(historyPixels, 0);
    const size_t limit = std::min(w * h, history.size());
    size_t k = 0;
    auto put = [&](uint16_t v) {
        if (k >= limit) return;
        history[k] = v;
        const size_t row = wide ? k / w : h - 1 - k / w;
        unsigned char* at = out.data + row * out.stride + pixelBytes * (k % w);
        at[0] = static_cast<unsigned char>(v);
        if (wide) at[1] = static_cast<unsigned char>(v >> 8);
        ++k;
    };
    auto back = [&](size_t distance) -> uint16_t { return k >= distance ? history[k - distance] : 0; };
    auto pixel = [&](const unsigned char* p) -> uint16_t { return wide ? Le16(p) : p[0]; };
    // The 8-bit code's runs are one longer than the 16-bit code's.
    const size_t longer = wide ? 0 : 1;
    const size_t size = stream.size;
    size_t at = 0;
    while (at < size && k < limit) {
        const unsigned char code = stream.data[at];
        size_t operands = 0;
        if (code < 0xF8) operands = pixelBytes - 1;
        if (code == 0xF8) operands = pixelBytes;
        if (code == 0xF9 && wide) operands = at + 1 < size ? 2 + size_t{stream.data[at + 1]} + 1 : 2;
        if (code == 0xFC) operands = 1 + 2 * pixelBytes;
        if (code == 0xFD) operands = 1 + pixelBytes;
        if (code >= 0xFE) operands = 1;
        if (at + 1 + operands > size) break;
        const unsigned char* o = stream.data + at + 1;
        switch (code) {
            case 0xF8: put(pixel(o)); break;
            case 0xF9:
                if (!wide) break;
                for (size_t i = 0; i <= o[0]; ++i) {
                    const unsigned base = o[1], c = o[2 + i];
                    put(static_cast<uint16_t>((base & 0xE0) << 8 | (base & 0x18) << 6 | (base & 0x07) << 2 |
                                              (c & 0xC0) << 5 | (c & 0x3C) << 3 | (c & 0x03)));
                }
                break;
            case 0xFA: put(back(w - 1)); break;
            case 0xFB: put(back(w + 1)); break;
            case 0xFC:
                for (size_t i = 0; i < size_t{o[0]} + 2 + longer; ++i) {
                    put(pixel(o + 1));
                    put(pixel(o + 1 + pixelBytes));
                }
                break;
            case 0xFD:
                for (size_t i = 0; i < size_t{o[0]} + 3 + longer; ++i) put(pixel(o + 1));
                break;
            case 0xFE:
            case 0xFF:
                for (size_t i = 0; i < size_t{o[0]} + 2 + longer; ++i) put(back(code == 0xFE ? 2 * w : w));
                break;
            default: put(wide ? static_cast<uint16_t>(code | o[0] << 8) : code); break;
        }
        at += 1 + operands;
    }
    return k;
}

DecodeResult Finish(size_t produced, size_t w, size_t h) {
    return DecodeResult{produced == w * h ? DecodeStatus::Complete : DecodeStatus::Truncated, produced};
}

}  // namespace

DecodeResult DecodePms8(const PmsHeader& header, torva::ByteSpan file, torva::PmsStream which, torva::PixelSpan out) {
    if (header.width <= 0 || header.height <= 0) return torva::Failed(DecodeStatus::Corrupt);
    const uint64_t w = uint64_t(header.width), h = uint64_t(header.height);
    if (!out.fits(w, h)) return torva::Failed(DecodeStatus::TooLarge);
    const uint32_t offset = which == torva::PmsStream::Pixels ? header.pixelOffset : header.extraOffset;
    if (offset > file.size) return torva::Failed(DecodeStatus::OutsideFile);
    // The history is as large as a bitmap of the picture, plus 256 bytes.
    const uint64_t historyBytes = torva::RowStride(w, 8) * h + 256;
    if (!torva::AllocationFits(historyBytes)) return torva::Failed(DecodeStatus::TooLarge);
    const size_t produced = DecodeStream(false, size_t(w), size_t(h), size_t(historyBytes), file.from(offset), out);
    return Finish(produced, size_t(w), size_t(h));
}

DecodeResult DecodePms16(const PmsHeader& header, torva::ByteSpan file, torva::PixelSpan out) {
    if (header.width <= 0 || header.height <= 0) return torva::Failed(DecodeStatus::Corrupt);
    const uint64_t w = uint64_t(header.width), h = uint64_t(header.height);
    if (!out.fits(2 * w, h)) return torva::Failed(DecodeStatus::TooLarge);
    if (header.pixelOffset > file.size) return torva::Failed(DecodeStatus::OutsideFile);
    const uint64_t historyBytes = torva::RowStride(w, 16) * h;
    if (!torva::AllocationFits(historyBytes)) return torva::Failed(DecodeStatus::TooLarge);
    // The colour stream ends where an alpha stream after it begins.
    torva::ByteSpan stream = file.from(header.pixelOffset);
    if (header.extraOffset != 0 && header.extraOffset >= header.pixelOffset) {
        stream = stream.first(header.extraOffset - header.pixelOffset);
    }
    const size_t produced = DecodeStream(true, size_t(w), size_t(h), size_t(historyBytes / 2), stream, out);
    return Finish(produced, size_t(w), size_t(h));
}

}  // namespace torvaref
