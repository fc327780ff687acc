// PMS decoders: hand-made byte streams with known results (every code, the
// bias of each run count, overlapping copies, row order and padding), the
// behaviour at the edges of the history and the stream, and round trips of
// generated pictures through the PMS writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codec/pms_decoder.h"
#include "base/checked_size.h"
#include "tests/support/codec_calls.h"
#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"


namespace {

using torvatest::Bytes;

constexpr unsigned char kUntouched = 0xEE;
constexpr size_t kGuardBytes = 64;

// "01 F8 0a" -> bytes.
Bytes HexBytes(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) bytes.push_back(static_cast<unsigned char>(std::stoul(token, nullptr, 16)));
    return bytes;
}

// Expected destination bytes, one token per byte ("--": untouched), or per
// 16-bit pixel when `pixelBytes` is 2 ("----": untouched; given as the pixel
// value, stored little-endian).
Bytes ExpectedArea(const std::string& text, int pixelBytes) {
    Bytes bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        const bool untouched = token[0] == '-';
        const unsigned value = untouched ? 0 : static_cast<unsigned>(std::stoul(token, nullptr, 16));
        for (int i = 0; i < pixelBytes; ++i) {
            bytes.push_back(untouched ? kUntouched : static_cast<unsigned char>(value >> (8 * i)));
        }
    }
    return bytes;
}

struct Geometry {
    int32_t width;
    int32_t height;
};

Geometry Header(int32_t width, int32_t height) { return Geometry{width, height}; }

// The decoder by its depth: 8 (DecodePms8) or 16 (DecodePms16).
using Decoder = int;
constexpr Decoder kPms8 = 8;
constexpr Decoder kPms16 = 16;

// Decodes `stream` into an area of `areaBytes` filled with kUntouched and
// followed by a guard, and returns area and guard. The stream lies in a heap
// block of exactly its own size, so a read past `length` is caught by the
// sanitizer build.
Bytes Decode(Decoder decoder, const Geometry& header, const Bytes& stream, size_t areaBytes) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[stream.empty() ? 1 : stream.size()]);
    if (!stream.empty()) std::memcpy(exact.get(), stream.data(), stream.size());
    Bytes area(areaBytes + kGuardBytes, kUntouched);
    torvatest::DecodePmsStream(decoder, area.data(), exact.get(), static_cast<uint32_t>(stream.size()), header.width,
                               header.height);
    return area;
}

struct StreamCase {
    const char* name;
    int32_t width;
    int32_t height;
    const char* stream;
    const char* expected;  // the whole destination area, in memory order
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<StreamCase>& info) { return info.param.name; }

void CheckCase(Decoder decoder, int bits, const StreamCase& c) {
    const size_t stride = static_cast<size_t>(torva::RowStride(static_cast<uint64_t>(c.width), bits));
    const size_t areaBytes = stride * static_cast<size_t>(c.height);
    Bytes expected = ExpectedArea(c.expected, bits / 8);
    ASSERT_EQ(expected.size(), areaBytes) << "table row is malformed";
    expected.resize(areaBytes + kGuardBytes, kUntouched);
    EXPECT_EQ(Decode(decoder, Header(c.width, c.height), HexBytes(c.stream), areaBytes), expected);
}

class Pms8StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Pms8StreamTest, ProducesBottomUpRows) { CheckCase(kPms8, 8, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Codes, Pms8StreamTest,
    ::testing::Values(
        StreamCase{"Literals", 3, 2, "01 02 03 04 05 06", "04 05 06 -- 01 02 03 --"},
        StreamCase{"EscapeAndNoOp", 3, 2, "F8 FA F9 07 F8 FF 01 02 03", "01 02 03 -- FA 07 FF --"},
        StreamCase{"PairsRepeatNPlus3", 6, 1, "FC 00 0A 0B", "0A 0B 0A 0B 0A 0B -- --"},
        StreamCase{"FillIsNPlus4", 4, 1, "FD 00 07", "07 07 07 07"},
        StreamCase{"CopyRowAbove", 4, 2, "01 02 03 04 FF 00 09", "01 02 03 09 01 02 03 04"},
        StreamCase{"CopyTwoRowsUp", 4, 3, "01 02 03 04 05 06 07 08 FE 01",
                   "01 02 03 04 05 06 07 08 01 02 03 04"},
        StreamCase{"Diagonals", 4, 2, "01 02 03 04 09 FA FB FB", "09 03 02 03 01 02 03 04"},
        StreamCase{"CopyOverlapsItself", 2, 3, "01 02 FF 00", "01 -- -- -- 01 02 -- -- 01 02 -- --"},
        StreamCase{"SurplusDropped", 2, 2, "FD 10 05", "05 05 -- -- 05 05 -- --"},
        StreamCase{"OwnSlotReadsZero", 1, 3, "05 FA 07", "07 -- -- -- 00 -- -- -- 05 -- -- --"},
        StreamCase{"EmptyStream", 2, 1, "", "-- -- -- --"},
        // Sources before the start of the history read as 0.
        StreamCase{"BackReferencesBeforeStart", 4, 2, "09 FA FB FF 00", "09 00 -- -- 09 00 00 00"},
        StreamCase{"TwoRowsUpBeforeStart", 2, 3, "07 08 FE 00", "07 -- -- -- 00 00 -- -- 07 08 -- --"},
        // A last code cut short by the end of the stream produces nothing.
        StreamCase{"TruncatedPairs", 4, 1, "01 FC 00 0A", "01 -- -- --"},
        StreamCase{"TruncatedCopy", 4, 1, "01 FF", "01 -- -- --"},
        // A pair run cut by the end of the picture keeps its first half.
        StreamCase{"PairRunCutMidPair", 3, 1, "FC 00 0A 0B", "0A 0B 0A --"}),
    CaseName);

class Pms16StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Pms16StreamTest, ProducesTopDownRows) { CheckCase(kPms16, 16, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Codes, Pms16StreamTest,
    ::testing::Values(
        StreamCase{"Literals", 3, 1, "34 12 F7 AB 00 00", "1234 ABF7 0000 ----"},
        StreamCase{"OddWidthSkipsPadding", 3, 2, "01 00 02 00 03 00 04 00 05 00 06 00",
                   "0001 0002 0003 ---- 0004 0005 0006 ----"},
        StreamCase{"Escape", 2, 1, "F8 F9 FF F8 01 02", "FFF9 0201"},
        StreamCase{"PackedColours", 4, 1, "F9 02 FF 00 FF 55", "E61C FFFF EEBD ----"},
        StreamCase{"PackedSingle", 2, 1, "F9 00 00 FF", "19E3 ----"},
        StreamCase{"PackedLowBits", 2, 1, "F9 01 07 3C 03", "01FC 001F"},
        StreamCase{"PairsRepeatNPlus2", 6, 1, "FC 00 11 11 22 22", "1111 2222 1111 2222 ---- ----"},
        StreamCase{"FillIsNPlus3", 4, 1, "FD 00 33 33", "3333 3333 3333 ----"},
        StreamCase{"CopyRowAbove", 2, 2, "01 00 02 00 FF 00", "0001 0002 0001 0002"},
        StreamCase{"CopyTwoRowsUp", 2, 3, "01 00 02 00 03 00 04 00 FE 00", "0001 0002 0003 0004 0001 0002"},
        StreamCase{"Diagonals", 3, 2, "01 00 02 00 03 00 09 00 FA FB", "0001 0002 0003 ---- 0009 0003 0002 ----"},
        StreamCase{"FillAcrossPadding", 3, 2, "FD 03 44 44", "4444 4444 4444 ---- 4444 4444 4444 ----"},
        StreamCase{"PackedAcrossPadding", 3, 2, "F9 04 00 01 02 03 04 05", "0001 0002 0003 ---- 0020 0021 ---- ----"},
        StreamCase{"OwnSlotReadsZero", 1, 3, "05 00 FA 07 00", "0005 ---- 0000 ---- 0007 ----"},
        StreamCase{"EmptyStream", 2, 1, "", "---- ----"},
        StreamCase{"BackReferencesBeforeStart", 3, 2, "09 00 FA FB FF 00", "0009 0000 0000 ---- 0009 0000 ---- ----"},
        // Pixels past the picture are not stored anywhere.
        StreamCase{"SurplusFill", 3, 1, "FD 05 44 44", "4444 4444 4444 ----"},
        StreamCase{"SurplusPacked", 2, 1, "F9 03 00 01 02 03 04", "0001 0002"},
        // A last code cut short by the end of the stream produces nothing.
        StreamCase{"TruncatedLiteral", 2, 2, "01 00 05", "0001 ---- ---- ----"},
        StreamCase{"TruncatedPacked", 2, 2, "01 00 F9 05 00 01 02", "0001 ---- ---- ----"},
        StreamCase{"TruncatedPackedHead", 2, 2, "01 00 F9 05", "0001 ---- ---- ----"},
        StreamCase{"TruncatedPairs", 2, 2, "01 00 FC 00 11 11 22", "0001 ---- ---- ----"},
        StreamCase{"TruncatedCopy", 2, 2, "01 00 FE", "0001 ---- ---- ----"}),
    CaseName);

TEST(PmsDecoderTest, NoRowsWritesNothing) {
    const Bytes stream = HexBytes("01 00 02 00");
    EXPECT_EQ(Decode(kPms8, Header(2, 0), stream, 0), Bytes(kGuardBytes, kUntouched));
    EXPECT_EQ(Decode(kPms16, Header(2, 0), stream, 0), Bytes(kGuardBytes, kUntouched));
    EXPECT_EQ(Decode(kPms8, Header(2, -3), stream, 0), Bytes(kGuardBytes, kUntouched));
}

// --- Round trips through the writers -------------------------------------

uint32_t FileLe32(const Bytes& file, size_t at) {
    return static_cast<uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24);
}

// The destination DecodePms8 should produce from top-down `values`: bottom-up
// rows of stride(8), padding untouched, followed by the guard.
Bytes BottomUp8(const Bytes& values, uint32_t width, uint32_t height) {
    const size_t stride = static_cast<size_t>(torva::RowStride(width, 8));
    Bytes area(stride * height + kGuardBytes, kUntouched);
    for (size_t r = 0; r < height; ++r) {
        std::memcpy(&area[(height - 1 - r) * stride], &values[r * width], width);
    }
    return area;
}

// The destination DecodePms16 should produce: top-down rows of stride(16).
Bytes TopDown16(const std::vector<uint16_t>& pixels, uint32_t width, uint32_t height) {
    const size_t stride = static_cast<size_t>(torva::RowStride(width, 16));
    Bytes area(stride * height + kGuardBytes, kUntouched);
    for (size_t r = 0; r < height; ++r) {
        for (size_t c = 0; c < width; ++c) {
            area[r * stride + 2 * c] = static_cast<unsigned char>(pixels[r * width + c]);
            area[r * stride + 2 * c + 1] = static_cast<unsigned char>(pixels[r * width + c] >> 8);
        }
    }
    return area;
}

Bytes Slice(const Bytes& file, size_t from, size_t to) { return Bytes(file.begin() + from, file.begin() + to); }

struct Size {
    uint32_t width;
    uint32_t height;
};

void PrintTo(const Size& s, std::ostream* os) { *os << s.width << "x" << s.height; }

class PmsRoundTripTest : public ::testing::TestWithParam<Size> {
protected:
    uint64_t seed() const { return uint64_t{GetParam().width} * 7919 + GetParam().height; }
};

TEST_P(PmsRoundTripTest, EightBitFileDecodesToItsPicture) {
    const Size size = GetParam();
    const auto picture = torvatest::MakePmsPicture(size.width, size.height, 8, false, 1 + seed() % 2, seed());
    const Bytes file = torvatest::WritePms(picture, seed());
    ASSERT_EQ(FileLe32(file, 36), picture.version == 2 ? 64u : 48u);
    EXPECT_EQ(Slice(file, FileLe32(file, 36), FileLe32(file, 36) + 768), picture.palette);
    const uint32_t streamOffset = FileLe32(file, 32);
    const size_t stride = static_cast<size_t>(torva::RowStride(size.width, 8));
    const auto header = Header(static_cast<int32_t>(size.width), static_cast<int32_t>(size.height));
    EXPECT_EQ(Decode(kPms8, header, Slice(file, streamOffset, file.size()), stride * size.height),
              BottomUp8(picture.indices, size.width, size.height));
}

TEST_P(PmsRoundTripTest, SixteenBitFileDecodesToItsPictureAndAlpha) {
    const Size size = GetParam();
    const auto picture = torvatest::MakePmsPicture(size.width, size.height, 16, true, 1 + seed() % 2, seed());
    const Bytes file = torvatest::WritePms(picture, seed());
    const uint32_t streamOffset = FileLe32(file, 32);
    const uint32_t alphaOffset = FileLe32(file, 36);
    ASSERT_EQ(streamOffset, picture.version == 2 ? 64u : 48u);
    ASSERT_GT(alphaOffset, streamOffset);
    const int32_t w = static_cast<int32_t>(size.width), h = static_cast<int32_t>(size.height);
    const size_t stride16 = static_cast<size_t>(torva::RowStride(size.width, 16));
    EXPECT_EQ(Decode(kPms16, Header(w, h),
                     Slice(file, streamOffset, alphaOffset), stride16 * h),
              TopDown16(picture.pixels, size.width, size.height));
    // The alpha plane is decoded with the header of the 32-bit output.
    const size_t stride8 = static_cast<size_t>(torva::RowStride(size.width, 8));
    EXPECT_EQ(Decode(kPms8, Header(w, h),
                     Slice(file, alphaOffset, file.size()), stride8 * h),
              BottomUp8(picture.alpha, size.width, size.height));
}

INSTANTIATE_TEST_SUITE_P(Sizes, PmsRoundTripTest,
                         ::testing::Values(Size{1, 1}, Size{1, 7}, Size{2, 1}, Size{2, 3}, Size{3, 3}, Size{5, 2},
                                           Size{7, 13}, Size{16, 16}, Size{31, 9}, Size{64, 3}, Size{99, 41},
                                           Size{300, 1}, Size{257, 20}, Size{1025, 769}));

// The greedy mix, which the benchmarks use, decodes to its pictures too.
TEST(PmsRoundTripTest, GreedyMixDecodesToItsPictures) {
    for (const Size size : {Size{1, 5}, Size{17, 9}, Size{99, 41}, Size{640, 48}}) {
        const int32_t w = static_cast<int32_t>(size.width), h = static_cast<int32_t>(size.height);
        const auto picture8 = torvatest::MakePmsPicture(size.width, size.height, 8, false, 1, 3);
        const Bytes file8 = torvatest::WritePms(picture8, 3, nullptr, torvatest::PmsCodeMix::Greedy);
        const size_t stride8 = static_cast<size_t>(torva::RowStride(size.width, 8));
        EXPECT_EQ(Decode(kPms8, Header(w, h),
                         Slice(file8, FileLe32(file8, 32), file8.size()), stride8 * h),
                  BottomUp8(picture8.indices, size.width, size.height));

        const auto picture16 = torvatest::MakePmsPicture(size.width, size.height, 16, true, 2, 4);
        const Bytes file16 = torvatest::WritePms(picture16, 4, nullptr, torvatest::PmsCodeMix::Greedy);
        const uint32_t streamOffset = FileLe32(file16, 32), alphaOffset = FileLe32(file16, 36);
        const size_t stride16 = static_cast<size_t>(torva::RowStride(size.width, 16));
        EXPECT_EQ(Decode(kPms16, Header(w, h),
                         Slice(file16, streamOffset, alphaOffset), stride16 * h),
                  TopDown16(picture16.pixels, size.width, size.height));
        EXPECT_EQ(Decode(kPms8, Header(w, h),
                         Slice(file16, alphaOffset, file16.size()), stride8 * h),
                  BottomUp8(picture16.alpha, size.width, size.height));
    }
}

// The generated pictures give every code a chance, so the round trips above
// run through every decoding path.
TEST(PmsWriterTest, EncodersUseEveryCode) {
    torvatest::PmsCodeCounts counts8, counts16;
    torvatest::WritePms(torvatest::MakePmsPicture(97, 61, 8, false, 1, 5), 5, &counts8);
    torvatest::WritePms(torvatest::MakePmsPicture(97, 61, 16, false, 2, 6), 6, &counts16);
    EXPECT_GT(counts8.literals, 0u);
    EXPECT_GT(counts16.literals, 0u);
    for (unsigned code = 0xF8; code <= 0xFF; ++code) {
        EXPECT_GT(counts8.of(code), 0u) << std::hex << code;
        EXPECT_GT(counts16.of(code), 0u) << std::hex << code;
    }
}

// A stream cut anywhere yields a prefix of the picture: every pixel of the
// codes wholly inside the cut, in place, and nothing else written. The cut
// streams lie in exact-size blocks, so a read past the cut is caught.
TEST(PmsTruncationTest, CutStreamsDecodeToAPrefix) {
    const uint32_t width = 13, height = 11;
    const auto picture8 = torvatest::MakePmsPicture(width, height, 8, false, 1, 21);
    const auto picture16 = torvatest::MakePmsPicture(width, height, 16, false, 1, 22);
    const Bytes stream8 = torvatest::EncodePms8Stream(picture8.indices.data(), picture8.indices.size(), width, 23);
    const Bytes stream16 = torvatest::EncodePms16Stream(picture16.pixels.data(), picture16.pixels.size(), width, 24);
    const size_t stride8 = static_cast<size_t>(torva::RowStride(width, 8));
    const size_t stride16 = static_cast<size_t>(torva::RowStride(width, 16));
    const Bytes full8 = BottomUp8(picture8.indices, width, height);
    const Bytes full16 = TopDown16(picture16.pixels, width, height);
    size_t previous8 = 0, previous16 = 0;
    for (size_t cut = 0; cut <= std::max(stream8.size(), stream16.size()); ++cut) {
        if (cut <= stream8.size()) {
            const Bytes got = Decode(kPms8, Header(width, height),
                                     Slice(stream8, 0, cut), stride8 * height);
            size_t t = 0;  // pixels decoded, in stream order
            auto at = [&](size_t i) { return (height - 1 - i / width) * stride8 + i % width; };
            while (t < width * height && got[at(t)] == full8[at(t)]) ++t;
            for (size_t i = t; i < width * height; ++i) ASSERT_EQ(got[at(i)], kUntouched) << "cut " << cut;
            ASSERT_GE(t, previous8);
            previous8 = t;
        }
        if (cut <= stream16.size()) {
            const Bytes got = Decode(kPms16, Header(width, height),
                                     Slice(stream16, 0, cut), stride16 * height);
            size_t t = 0;
            auto at = [&](size_t i) { return (i / width) * stride16 + 2 * (i % width); };
            while (t < width * height && got[at(t)] == full16[at(t)] && got[at(t) + 1] == full16[at(t) + 1]) ++t;
            for (size_t i = t; i < width * height; ++i) {
                ASSERT_EQ(got[at(i)], kUntouched) << "cut " << cut;
                ASSERT_EQ(got[at(i) + 1], kUntouched) << "cut " << cut;
            }
            ASSERT_GE(t, previous16);
            previous16 = t;
        }
    }
    EXPECT_EQ(previous8, size_t{width} * height);
    EXPECT_EQ(previous16, size_t{width} * height);
}

}  // namespace
