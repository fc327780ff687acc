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
#include "tests/support/reference/reference_decoders.h"
#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"

namespace {

using torvatest::Bytes;

constexpr unsigned char kFill = 0xCD;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The plain decoding of a bare stream (the whole file, at offset 0) into a
// destination pre-filled with kFill: bottom-up rows of stride(8), or top-down
// rows of stride(16) whose padding pixel is never written.
Bytes ReferenceDecode(int depth, uint32_t w, uint32_t h, const Bytes& stream, size_t* produced = nullptr) {
    PmsHeader header{};
    header.depth = static_cast<uint8_t>(depth);
    header.width = int32_t(w);
    header.height = int32_t(h);
    const size_t stride = static_cast<size_t>(torva::RowStride(w, static_cast<uint32_t>(depth)));
    Bytes destination(stride * h, kFill);
    const torva::ByteSpan file{stream.data(), static_cast<uint32_t>(stream.size())};
    const torva::PixelSpan out{destination.data(), stride, h};
    const torva::DecodeResult result = depth == 8 ? torvaref::DecodePms8(header, file, torva::PmsStream::Pixels, out)
                                                  : torvaref::DecodePms16(header, file, out);
    if (produced != nullptr) *produced = static_cast<size_t>(result.pixelsProduced);
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

void ExpectSame(int depth, uint32_t w, uint32_t h, const Bytes& stream, const std::string& what) {
    size_t produced = 0;
    const Bytes expected = ReferenceDecode(depth, w, h, stream, &produced);
    Bytes actual(expected.size(), kFill);
    // A copy of exactly the stream's size, so that a read past its end meets
    // the sanitizers' guard rather than spare capacity.
    const Bytes exact(stream.begin(), stream.end());
    const torva::DecodeResult result = torvatest::DecodePmsStream(
        depth, actual.data(), exact.data(), static_cast<uint32_t>(exact.size()), int32_t(w), int32_t(h));
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
            const Bytes decoded = ReferenceDecode(depth, w, h, stream);
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

// Every code, whole or cut anywhere, as the last thing in a stream that ends
// inside the bulk loop's look-ahead while pixels remain: the loop must hand
// such codes to the exact loop rather than read past the stream (F9's low
// bytes are read eight at a time). The picture is large enough for the bulk
// loop to run.
TEST_P(PmsEquivalenceTest, StreamsEndingInsideTheBulkLoopsMarginMatchPlainDecoding) {
    const int depth = GetParam();
    const bool wide = depth == 16;
    std::vector<Bytes> codes = {{0xF8, 0xF9, 0x12}, {0xF9}, {0xFA}, {0xFB}, {0xFE, 0}, {0xFF, 9}};
    for (unsigned char n : {0, 9}) {
        codes.push_back(wide ? Bytes{0xFC, n, 1, 2, 3, 4} : Bytes{0xFC, n, 1, 2});
        codes.push_back(wide ? Bytes{0xFD, n, 5, 6} : Bytes{0xFD, n, 5});
    }
    if (wide) {
        // F9 n base c0..cn: low-byte counts on both sides of a multiple of 8.
        for (unsigned char n : {0, 5, 6, 7, 8, 12, 13, 14, 15, 16, 22}) {
            Bytes code = {0xF9, n, 0xA5};
            for (unsigned i = 0; i <= n; ++i) code.push_back(static_cast<unsigned char>(0x11 * i));
            codes.push_back(code);
        }
    }
    torvatest::Random random(depth);
    auto literals = [&](size_t bytes) {
        Bytes out;
        while (out.size() < bytes) {
            out.push_back(static_cast<unsigned char>(random.below(0xF8)));
            if (wide) out.push_back(static_cast<unsigned char>(random.next()));
        }
        return out;
    };
    for (const Bytes& code : codes) {
        Bytes stream = literals(48);
        stream.insert(stream.end(), code.begin(), code.end());
        const Bytes tail = literals(24);
        stream.insert(stream.end(), tail.begin(), tail.end());
        for (size_t cut = 48; cut <= stream.size(); ++cut) {
            ExpectSame(depth, 64, 40, Bytes(stream.begin(), stream.begin() + cut),
                       "code " + std::to_string(code[0]) + " length " + std::to_string(code.size()) + " cut at " +
                           std::to_string(cut));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PmsEquivalenceTest, ::testing::Values(8, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
