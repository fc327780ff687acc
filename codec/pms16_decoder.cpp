// The 16-bit PMS byte code, for pixels in 5-6-5 layout (red in bits 15-11,
// green 10-5, blue 4-0), little-endian in the stream and in memory:
//
//   00-F7 h      one pixel: the code byte low, h high
//   F8 lo hi     one pixel lo + 256 hi (low bytes F8-FF are written this way)
//   F9 n base c0..cn
//                n + 1 packed colours: the high bits of all three channels
//                come from `base`, the low bits from each c
//   FA           the pixel above and one to the right  (history[k - W + 1])
//   FB           the pixel above and one to the left   (history[k - W - 1])
//   FC n a b     the pixel pair a, b repeated n + 2 times
//   FD n f       pixel f repeated n + 3 times
//   FE n         n + 2 pixels, each the one two rows up (history[k - 2W])
//   FF n         n + 2 pixels, each the one a row up    (history[k - W])
//
// The run counts are one smaller than in the 8-bit code. Rows come top to
// bottom and are stored top-down; a row of odd width is followed by one
// padding pixel, which is skipped and never written.
#include <cstddef>
#include <cstring>

#include "codec/pms_decoder.h"
#include "codec/pms_history.h"
#include "plugin/byte_cursor.h"
#include "plugin/checked_size.h"
#include "plugin/holders.h"

namespace {

using pms_detail::CopyFromEarlier;
using pms_detail::FillPattern;

// The part of a packed colour that comes from the base byte: red bits 15-13,
// green bits 10-9, blue bits 4-2.
inline uint16_t PackedBase(unsigned base) {
    return static_cast<uint16_t>((base & 0xE0) << 8 | (base & 0x18) << 6 | (base & 0x07) << 2);
}

// The part that comes from each following byte: red bits 12-11, green bits
// 8-5, blue bits 1-0.
inline uint16_t PackedLow(unsigned c) {
    return static_cast<uint16_t>((c & 0xC0) << 5 | (c & 0x3C) << 3 | (c & 0x03));
}

// The decoder's state: pixels go into the history first, where the copies
// can find them, and the same bytes go straight on into the destination.
class Decoder16 {
public:
    Decoder16(unsigned char* destination, unsigned char* history, size_t width, size_t capacity)
        : destination_(destination),
          history_(history),
          width_(width),
          padBytes_(2 * (width % 2)),
          capacity_(capacity) {}

    // Pixels (not bytes) that may still be produced.
    size_t room() const { return capacity_ - k_; }

    // Byte address of the next history slot.
    unsigned char* next() const { return history_ + 2 * k_; }

    void putOne(uint16_t value) {
        torva::StoreLe16(history_ + 2 * k_, value);
        torva::StoreLe16(destination_ + out_, value);
        ++k_;
        out_ += 2;
        if (++x_ == width_) endRow();
    }

    // `count` pixels, already in the history from next() on: copied to the
    // destination row piece by row piece, stepping over the padding.
    void commit(size_t count) {
        const unsigned char* from = next();
        k_ += count;
        while (count > 0) {
            size_t piece = width_ - x_ < count ? width_ - x_ : count;
            std::memcpy(destination_ + out_, from, 2 * piece);
            from += 2 * piece;
            out_ += 2 * piece;
            x_ += piece;
            count -= piece;
            if (x_ == width_) endRow();
        }
    }

    // A copy of `count` pixels from `distance` pixels back.
    void copyFromEarlier(size_t count, size_t distance) {
        CopyFromEarlier(history_, 2 * k_, 2 * count, 2 * distance);
        commit(count);
    }

    void fill(const unsigned char* pattern, size_t patternBytes, size_t count) {
        FillPattern(next(), pattern, patternBytes, 2 * count);
        commit(count);
    }

private:
    void endRow() {
        x_ = 0;
        out_ += padBytes_;
    }

    unsigned char* destination_;
    unsigned char* history_;
    size_t width_;
    size_t padBytes_;
    size_t capacity_;
    size_t k_ = 0;    // pixels produced
    size_t x_ = 0;    // column of the next pixel
    size_t out_ = 0;  // destination byte offset of the next pixel
};

// Decodes until the stream ends or the capacity is reached.
//
// Decoding stops at the capacity rather than discarding surplus pixels: the
// visible result is the same, and neither the history nor the destination
// is written past it.
//
// A last code whose operands lie past the end of the stream (for F9, up to
// 258 bytes) is ignored: the file has been cut short, and the bytes that
// follow the stream belong to something else (the alpha plane, or nothing).
void DecodeStream(Decoder16& decoder, size_t width, const unsigned char* stream, uint32_t length) {
    torva::ByteCursor cursor(stream, length);
    while (decoder.room() > 0) {
        const unsigned char* code = cursor.take(1);
        if (code == nullptr) return;
        const size_t room = decoder.room();
        switch (*code) {
            case 0xF8: {
                const unsigned char* value = cursor.take(2);
                if (value == nullptr) return;
                decoder.putOne(torva::LoadLe16(value));
                break;
            }
            case 0xF9: {
                const unsigned char* head = cursor.take(2);
                if (head == nullptr) return;
                const size_t total = static_cast<size_t>(head[0]) + 1;
                const unsigned char* lows = cursor.take(total);
                if (lows == nullptr) return;
                const uint16_t base = PackedBase(head[1]);
                const size_t count = total < room ? total : room;
                unsigned char* to = decoder.next();
                for (size_t i = 0; i < count; ++i) {
                    torva::StoreLe16(to + 2 * i, static_cast<uint16_t>(base | PackedLow(lows[i])));
                }
                decoder.commit(count);
                break;
            }
            case 0xFA:
                decoder.copyFromEarlier(1, width - 1);
                break;
            case 0xFB:
                decoder.copyFromEarlier(1, width + 1);
                break;
            case 0xFC: {
                const unsigned char* operands = cursor.take(5);
                if (operands == nullptr) return;
                const size_t count = 2 * static_cast<size_t>(operands[0]) + 4;
                decoder.fill(operands + 1, 4, count < room ? count : room);
                break;
            }
            case 0xFD: {
                const unsigned char* operands = cursor.take(3);
                if (operands == nullptr) return;
                const size_t count = static_cast<size_t>(operands[0]) + 3;
                decoder.fill(operands + 1, 2, count < room ? count : room);
                break;
            }
            case 0xFE:
            case 0xFF: {
                const unsigned char* operand = cursor.take(1);
                if (operand == nullptr) return;
                const size_t count = static_cast<size_t>(*operand) + 2;
                decoder.copyFromEarlier(count < room ? count : room, *code == 0xFE ? 2 * width : width);
                break;
            }
            default: {
                const unsigned char* high = cursor.take(1);
                if (high == nullptr) return;
                decoder.putOne(static_cast<uint16_t>(*code | *high << 8));
                break;
            }
        }
    }
}

}  // namespace

int DecodePms16(unsigned char* destination, const unsigned char* stream, const BITMAPINFOHEADER* header,
                uint32_t length) {
    const int32_t width = header->biWidth;
    const int32_t height = header->biHeight;
    // The destination holds stride x biHeight bytes: with no row there is
    // nowhere to put a pixel.
    if (width <= 0 || height <= 0) return 0;

    // A history of biSizeImage bytes, as many 16-bit pixels as fit. A size past
    // what one call may allocate is treated like a refused allocation.
    const uint64_t historyBytes = header->biSizeImage;
    if (!torva::AllocationFits(historyBytes)) return 0;
    // The history is not zero-filled: no slot is read before it is written.
    // Each code writes its pixels at the decoding position and reads only
    // slots before the pixel it is producing; a source before the start of
    // the history, or the pixel's own slot (distance 0, the pixel above and
    // to the right in a picture one pixel wide), gives an explicit 0. The
    // outcome is that of a zero-filled history, pixel for pixel.
    HeapBuffer history;
    if (!history.allocateUninitialised(static_cast<uint32_t>(historyBytes))) return 0;

    // Bounded by both buffers: the destination's W x H pixels and the
    // history's biSizeImage / 2.
    uint64_t capacity = uint64_t(width) * uint64_t(height);
    if (capacity > historyBytes / 2) capacity = historyBytes / 2;

    Decoder16 decoder(destination, history.data, static_cast<size_t>(width), static_cast<size_t>(capacity));
    DecodeStream(decoder, static_cast<size_t>(width), stream, length);
    return 0;
}
