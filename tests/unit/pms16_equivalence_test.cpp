// DecodePms16 against a plain reference that produces one pixel at a time,
// exactly as the byte code reads, on random streams rich in literal runs,
// packed colours, fills and copies (short and long, across row ends, near the
// end of the history), cut anywhere, and on pictures written with both code
// mixes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/info_header.h"
#include "codec/pms_decoder.h"
#include "image/image_headers.h"
#include "plugin/checked_size.h"
#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"

namespace {

using torvatest::Bytes;

constexpr unsigned char kFill = 0xCD;

BITMAPINFOHEADER Header(uint32_t w, uint32_t h, uint32_t sizeImage) {
    return MakeInfoHeader(static_cast<int32_t>(w), static_cast<int32_t>(h), 16, sizeImage);
}

// Pixel by pixel into a zero-filled history of biSizeImage bytes; a
// back-reference before its start reads 0; decoding ends with the stream, at
// a code whose operands are cut off, or when the picture or the history is
// full. Rows go top-down into a destination pre-filled with kFill, whose rows
// of odd width end in a padding pixel that is never written.
Bytes ReferenceDecode(uint32_t w, uint32_t h, uint32_t sizeImage, const Bytes& stream) {
    const size_t stride = static_cast<size_t>(torva::RowStride(w, 16));
    Bytes destination(stride * h, kFill);
    std::vector<uint16_t> history(sizeImage / 2, 0);
    const size_t limit = std::min<size_t>(size_t{w} * h, history.size());
    size_t k = 0;
    auto put = [&](uint16_t v) {
        if (k >= limit) return;
        history[k] = v;
        unsigned char* at = &destination[(k / w) * stride + 2 * (k % w)];
        at[0] = static_cast<unsigned char>(v);
        at[1] = static_cast<unsigned char>(v >> 8);
        ++k;
    };
    auto back = [&](size_t distance) -> uint16_t { return k >= distance ? history[k - distance] : 0; };
    auto le16 = [](const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); };
    size_t at = 0;
    while (at < stream.size() && k < limit) {
        const unsigned char code = stream[at];
        size_t operands = code < 0xF8 ? 1 : code == 0xF8 ? 2 : code == 0xFC ? 5 : code == 0xFD ? 3 : code >= 0xFE ? 1 : 0;
        if (code == 0xF9) operands = at + 1 < stream.size() ? 2 + size_t{stream[at + 1]} + 1 : 2;
        if (at + 1 + operands > stream.size()) break;
        const unsigned char* o = &stream[at + 1];
        switch (code) {
            case 0xF8: put(le16(o)); break;
            case 0xF9: {
                const uint16_t base = static_cast<uint16_t>((o[1] & 0xE0) << 8 | (o[1] & 0x18) << 6 | (o[1] & 0x07) << 2);
                for (size_t i = 0; i <= o[0]; ++i) {
                    const unsigned c = o[2 + i];
                    put(static_cast<uint16_t>(base | (c & 0xC0) << 5 | (c & 0x3C) << 3 | (c & 0x03)));
                }
                break;
            }
            case 0xFA: put(back(w - 1)); break;
            case 0xFB: put(back(w + 1)); break;
            case 0xFC:
                for (size_t i = 0; i < size_t{o[0]} + 2; ++i) {
                    put(le16(o + 1));
                    put(le16(o + 3));
                }
                break;
            case 0xFD:
                for (size_t i = 0; i < size_t{o[0]} + 3; ++i) put(le16(o + 1));
                break;
            case 0xFE:
                for (size_t i = 0; i < size_t{o[0]} + 2; ++i) put(back(2 * size_t{w}));
                break;
            case 0xFF:
                for (size_t i = 0; i < size_t{o[0]} + 2; ++i) put(back(w));
                break;
            default: put(static_cast<uint16_t>(code | o[0] << 8)); break;
        }
        at += 1 + operands;
    }
    return destination;
}

// Literal pixels alone or in runs of up to 40, codes F8-FF, counts mostly short.
Bytes RandomStream(torvatest::Random& random, size_t codes) {
    Bytes out;
    auto byte = [&] { return static_cast<unsigned char>(random.next()); };
    for (size_t i = 0; i < codes; ++i) {
        if (random.below(3) == 0) {
            const uint32_t run = random.below(4) == 0 ? 1 + random.below(40) : 1;
            for (uint32_t j = 0; j < run; ++j) {
                out.push_back(static_cast<unsigned char>(random.below(0xF8)));
                out.push_back(byte());
            }
            continue;
        }
        const unsigned char code = static_cast<unsigned char>(0xF8 + random.below(8));
        out.push_back(code);
        const unsigned char count = static_cast<unsigned char>(random.below(4) == 0 ? random.below(256) : random.below(20));
        switch (code) {
            case 0xF8: out.insert(out.end(), {byte(), byte()}); break;
            case 0xF9:
                out.insert(out.end(), {count, byte()});
                for (size_t j = 0; j <= count; ++j) out.push_back(byte());
                break;
            case 0xFC: out.insert(out.end(), {count, byte(), byte(), byte(), byte()}); break;
            case 0xFD: out.insert(out.end(), {count, byte(), byte()}); break;
            case 0xFE: case 0xFF: out.push_back(count); break;
            default: break;
        }
    }
    return out;
}

void ExpectSame(uint32_t w, uint32_t h, uint32_t sizeImage, const Bytes& stream, const std::string& what) {
    const Bytes expected = ReferenceDecode(w, h, sizeImage, stream);
    Bytes actual(expected.size(), kFill);
    const BITMAPINFOHEADER header = Header(w, h, sizeImage);
    DecodePms16(actual.data(), stream.data(), &header, static_cast<uint32_t>(stream.size()));
    ASSERT_EQ(actual, expected) << what << " " << w << "x" << h << " biSizeImage " << sizeImage;
}

// Small pictures, where most codes meet an end, and pictures large enough
// that most codes lie far from the end of the stream, the picture and the
// history: widths on both sides of 8 (copies in blocks or not), histories
// the bitmap's size, larger, and smaller than the picture.
TEST(Pms16EquivalenceTest, RandomStreamsMatchPlainDecoding) {
    torvatest::Random random(1616);
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 2 == 1;
        const uint32_t w = large ? (round % 3 == 0 ? 1 + random.below(8) : 8 + random.below(300)) : 1 + random.below(40);
        const uint32_t h = large ? 1 + (3000 + random.below(4000)) / w : 1 + random.below(12);
        const uint32_t stride = static_cast<uint32_t>(torva::RowStride(w, 16));
        const uint32_t sizes[4] = {stride * h, 2 * stride * h, random.below(stride * h + 1), 0};
        const Bytes stream = RandomStream(random, large ? 200 + random.below(2000) : 1 + random.below(60));
        const std::string what = "round " + std::to_string(round);
        ExpectSame(w, h, sizes[round % 4], stream, what);
        ExpectSame(w, h, sizes[round % 4],
                   Bytes(stream.begin(), stream.begin() + random.below(static_cast<uint32_t>(stream.size()) + 1)),
                   "cut, " + what);
    }
}

TEST(Pms16EquivalenceTest, WrittenPicturesMatchPlainDecodingInBothMixes) {
    for (uint32_t w : {1u, 7u, 8u, 9u, 33u, 200u}) {
        for (auto mix : {torvatest::PmsCodeMix::Random, torvatest::PmsCodeMix::Greedy}) {
            const uint32_t h = w < 20 ? 13 : 60;
            const torvatest::PmsPicture picture = torvatest::MakePmsPicture(w, h, 16, false, 1, w * 5 + 3);
            const Bytes file = torvatest::WritePms(picture, w, nullptr, mix);
            PmsHeader pms{};
            ASSERT_TRUE(ParsePmsHeader(file.data(), static_cast<uint32_t>(file.size()), &pms));
            const Bytes stream(file.begin() + pms.pixelOffset, file.end());
            const uint32_t stride = static_cast<uint32_t>(torva::RowStride(w, 16));
            ExpectSame(w, h, stride * h, stream, "picture");
            // The reference itself gives the picture back.
            const Bytes decoded = ReferenceDecode(w, h, stride * h, stream);
            for (uint32_t y = 0; y < h; ++y) {
                for (uint32_t x = 0; x < w; ++x) {
                    const unsigned char* at = &decoded[y * stride + 2 * x];
                    ASSERT_EQ(at[0] | at[1] << 8, picture.pixels[y * w + x]) << w << " at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
