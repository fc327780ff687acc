// DecodePms8 and DecodePms16 against plain references that produce one pixel
// at a time, exactly as the byte codes read, on random streams rich in
// literal runs, packed colours (16-bit), fills and copies (short and long,
// across row ends, near the end of the history), cut anywhere, and on
// pictures written with both code mixes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/pms_decoder.h"
#include "base/checked_size.h"
#include "tests/support/codec_calls.h"
#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"

namespace {

using torvatest::Bytes;

constexpr unsigned char kFill = 0xCD;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Pixel by pixel into a zero-filled history (8-bit: biSizeImage + 256 bytes;
// 16-bit: biSizeImage bytes); a back-reference before its start reads 0;
// decoding ends with the stream, at a code whose operands are cut off, or
// when the picture or the history is full. Rows go into a destination
// pre-filled with kFill: bottom-up for 8 bits, top-down for 16 bits, whose
// rows of odd width end in a padding pixel that is never written.
Bytes ReferenceDecode(int depth, uint32_t w, uint32_t h, uint32_t sizeImage, const Bytes& stream,
                      size_t* produced = nullptr) {
    const bool wide = depth == 16;
    const size_t pixelBytes = wide ? 2 : 1;
    const size_t stride = static_cast<size_t>(torva::RowStride(w, static_cast<uint32_t>(depth)));
    Bytes destination(stride * h, kFill);
    std::vector<uint16_t> history(wide ? sizeImage / 2 : size_t{sizeImage} + 256, 0);
    const size_t limit = std::min<size_t>(size_t{w} * h, history.size());
    size_t k = 0;
    auto put = [&](uint16_t v) {
        if (k >= limit) return;
        history[k] = v;
        const size_t row = wide ? k / w : h - 1 - k / w;
        unsigned char* at = &destination[row * stride + pixelBytes * (k % w)];
        at[0] = static_cast<unsigned char>(v);
        if (wide) at[1] = static_cast<unsigned char>(v >> 8);
        ++k;
    };
    auto back = [&](size_t distance) -> uint16_t { return k >= distance ? history[k - distance] : 0; };
    auto pixel = [&](const unsigned char* p) -> uint16_t { return wide ? Le16(p) : p[0]; };
    // The 8-bit code's runs are one longer than the 16-bit code's.
    const size_t longer = wide ? 0 : 1;
    size_t at = 0;
    while (at < stream.size() && k < limit) {
        const unsigned char code = stream[at];
        size_t operands = 0;
        if (code < 0xF8) operands = pixelBytes - 1;
        if (code == 0xF8) operands = pixelBytes;
        if (code == 0xF9 && wide) operands = at + 1 < stream.size() ? 2 + size_t{stream[at + 1]} + 1 : 2;
        if (code == 0xFC) operands = 1 + 2 * pixelBytes;
        if (code == 0xFD) operands = 1 + pixelBytes;
        if (code >= 0xFE) operands = 1;
        if (at + 1 + operands > stream.size()) break;
        const unsigned char* o = &stream[at + 1];
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
                for (size_t i = 0; i < size_t{o[0]} + 2 + longer; ++i) put(back(code == 0xFE ? 2 * size_t{w} : w));
                break;
            default: put(wide ? static_cast<uint16_t>(code | o[0] << 8) : code); break;
        }
        at += 1 + operands;
    }
    if (produced != nullptr) *produced = k;
    return destination;
}

// Literal pixels alone or in runs of up to 40, codes F8-FF, counts mostly
// short. In the 8-bit code F9 has no operands.
Bytes RandomStream(int depth, torvatest::Random& random, size_t codes) {
    const bool wide = depth == 16;
    Bytes out;
    auto byte = [&] { return static_cast<unsigned char>(random.next()); };
    auto pixel = [&] {
        out.push_back(byte());
        if (wide) out.push_back(byte());
    };
    for (size_t i = 0; i < codes; ++i) {
        if (random.below(3) == 0) {
            const uint32_t run = random.below(4) == 0 ? 1 + random.below(40) : 1;
            for (uint32_t j = 0; j < run; ++j) {
                out.push_back(static_cast<unsigned char>(random.below(0xF8)));
                if (wide) out.push_back(byte());
            }
            continue;
        }
        const unsigned char code = static_cast<unsigned char>(0xF8 + random.below(8));
        out.push_back(code);
        const unsigned char count = static_cast<unsigned char>(random.below(4) == 0 ? random.below(256) : random.below(20));
        switch (code) {
            case 0xF8: pixel(); break;
            case 0xF9:
                if (!wide) break;
                out.insert(out.end(), {count, byte()});
                for (size_t j = 0; j <= count; ++j) out.push_back(byte());
                break;
            case 0xFC: out.push_back(count); pixel(); pixel(); break;
            case 0xFD: out.push_back(count); pixel(); break;
            case 0xFE: case 0xFF: out.push_back(count); break;
            default: break;
        }
    }
    return out;
}

// The decoders size their history as a bitmap of the picture: stride x h.
void ExpectSame(int depth, uint32_t w, uint32_t h, const Bytes& stream, const std::string& what) {
    const uint32_t sizeImage = static_cast<uint32_t>(torva::RowStride(w, static_cast<uint32_t>(depth)) * h);
    size_t produced = 0;
    const Bytes expected = ReferenceDecode(depth, w, h, sizeImage, stream, &produced);
    Bytes actual(expected.size(), kFill);
    const torva::DecodeResult result = torvatest::DecodePmsStream(
        depth, actual.data(), stream.data(), static_cast<uint32_t>(stream.size()), int32_t(w), int32_t(h));
    ASSERT_EQ(actual, expected) << depth << "-bit " << what << " " << w << "x" << h;
    // Complete exactly when the stream filled the picture; otherwise what it
    // did produce.
    ASSERT_EQ(result.pixelsProduced, produced) << depth << "-bit " << what;
    ASSERT_EQ(result.status, produced == size_t{w} * h ? torva::DecodeStatus::Complete : torva::DecodeStatus::Truncated)
        << depth << "-bit " << what;
}

class PmsEquivalenceTest : public ::testing::TestWithParam<int> {};

// Small pictures, where most codes meet an end, and pictures large enough
// that most codes lie far from the end of the stream, the picture and the
// history, where the decoders take their fastest paths: widths on both sides
// of a 16-byte block (copies in blocks or not), histories the bitmap's size,
// larger, and smaller than the picture.
TEST_P(PmsEquivalenceTest, RandomStreamsMatchPlainDecoding) {
    const int depth = GetParam();
    const uint32_t blockPixels = depth == 8 ? 16 : 8;
    torvatest::Random random(depth * 101);
    for (int round = 0; round < 400; ++round) {
        const bool large = round % 2 == 1;
        const uint32_t w = large ? (round % 3 == 0 ? 1 + random.below(blockPixels) : blockPixels + random.below(300))
                                 : 1 + random.below(round % 4 == 0 ? 70 : 20);
        const uint32_t h = large ? 1 + (3000 + random.below(5000)) / w : 1 + random.below(12);
        const Bytes stream = RandomStream(depth, random, large ? 200 + random.below(2500) : 1 + random.below(60));
        const std::string what = "round " + std::to_string(round);
        ExpectSame(depth, w, h, stream, what);
        // Cut anywhere, including inside a code's operands.
        ExpectSame(depth, w, h,
                   Bytes(stream.begin(), stream.begin() + random.below(static_cast<uint32_t>(stream.size()) + 1)),
                   "cut, " + what);
    }
}

TEST_P(PmsEquivalenceTest, WrittenPicturesMatchPlainDecodingInBothMixes) {
    const int depth = GetParam();
    for (uint32_t w : {1u, 2u, 7u, 8u, 9u, 15u, 16u, 17u, 33u, 200u}) {
        for (auto mix : {torvatest::PmsCodeMix::Random, torvatest::PmsCodeMix::Greedy}) {
            const uint32_t h = w < 20 ? 13 : 60;
            const torvatest::PmsPicture picture = torvatest::MakePmsPicture(w, h, depth, false, 1, w * 3 + 1);
            const size_t n = size_t{w} * h;
            const Bytes stream =
                depth == 8 ? torvatest::EncodePms8Stream(picture.indices.data(), n, w, w, nullptr, mix)
                           : torvatest::EncodePms16Stream(picture.pixels.data(), n, w, w, nullptr, mix);
            const size_t stride = static_cast<size_t>(torva::RowStride(w, static_cast<uint32_t>(depth)));
            ExpectSame(depth, w, h, stream, "picture");
            // The reference itself gives the picture back.
            const Bytes decoded = ReferenceDecode(depth, w, h, static_cast<uint32_t>(stride * h), stream);
            for (uint32_t y = 0; y < h; ++y) {
                for (uint32_t x = 0; x < w; ++x) {
                    const size_t i = size_t{y} * w + x;
                    const unsigned got = depth == 8 ? decoded[(h - 1 - y) * stride + x] : Le16(&decoded[y * stride + 2 * x]);
                    const unsigned want = depth == 8 ? picture.indices[i] : picture.pixels[i];
                    ASSERT_EQ(got, want) << depth << "-bit, width " << w << " at " << x << "," << y;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PmsEquivalenceTest, ::testing::Values(8, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
