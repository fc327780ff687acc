// PMS decoders: hand-made byte streams with known results (every code, the
// bias of each run count, overlapping copies, row order and padding), the
// behaviour at the edges of the history and the stream, and round trips of
// generated pictures through the PMS writers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codec/pms_decoder.h"
#include "plugin/checked_size.h"
#include "tests/support/test_support.h"


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

BITMAPINFOHEADER Header(int32_t width, int32_t height, uint32_t sizeImage) {
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biSizeImage = sizeImage;
    return header;
}

using Decoder = int (*)(unsigned char*, const unsigned char*, const BITMAPINFOHEADER*, uint32_t);

// Decodes `stream` into an area of `areaBytes` filled with kUntouched and
// followed by a guard, and returns area and guard. The stream lies in a heap
// block of exactly its own size, so a read past `length` is caught by the
// sanitizer build.
Bytes Decode(Decoder decoder, const BITMAPINFOHEADER& header, const Bytes& stream, size_t areaBytes) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[stream.empty() ? 1 : stream.size()]);
    if (!stream.empty()) std::memcpy(exact.get(), stream.data(), stream.size());
    Bytes area(areaBytes + kGuardBytes, kUntouched);
    EXPECT_EQ(decoder(area.data(), exact.get(), &header, static_cast<uint32_t>(stream.size())), 0);
    return area;
}

struct StreamCase {
    const char* name;
    int32_t width;
    int32_t height;
    const char* stream;
    const char* expected;  // the whole destination area, in memory order
    uint32_t sizeImage;    // 0: the size the caller passes, stride x height
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<StreamCase>& info) { return info.param.name; }

void CheckCase(Decoder decoder, int bits, const StreamCase& c) {
    const size_t stride = static_cast<size_t>(torva::RowStride(static_cast<uint64_t>(c.width), bits));
    const size_t areaBytes = stride * static_cast<size_t>(c.height);
    const uint32_t sizeImage = c.sizeImage != 0 ? c.sizeImage : static_cast<uint32_t>(areaBytes);
    Bytes expected = ExpectedArea(c.expected, bits / 8);
    ASSERT_EQ(expected.size(), areaBytes) << "table row is malformed";
    expected.resize(areaBytes + kGuardBytes, kUntouched);
    EXPECT_EQ(Decode(decoder, Header(c.width, c.height, sizeImage), HexBytes(c.stream), areaBytes), expected);
}

class Pms8StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Pms8StreamTest, ProducesBottomUpRows) { CheckCase(DecodePms8, 8, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Codes, Pms8StreamTest,
    ::testing::Values(
        StreamCase{"Literals", 3, 2, "01 02 03 04 05 06", "04 05 06 -- 01 02 03 --", 0},
        StreamCase{"EscapeAndNoOp", 3, 2, "F8 FA F9 07 F8 FF 01 02 03", "01 02 03 -- FA 07 FF --", 0},
        StreamCase{"PairsRepeatNPlus3", 6, 1, "FC 00 0A 0B", "0A 0B 0A 0B 0A 0B -- --", 0},
        StreamCase{"FillIsNPlus4", 4, 1, "FD 00 07", "07 07 07 07", 0},
        StreamCase{"CopyRowAbove", 4, 2, "01 02 03 04 FF 00 09", "01 02 03 09 01 02 03 04", 0},
        StreamCase{"CopyTwoRowsUp", 4, 3, "01 02 03 04 05 06 07 08 FE 01",
                   "01 02 03 04 05 06 07 08 01 02 03 04", 0},
        StreamCase{"Diagonals", 4, 2, "01 02 03 04 09 FA FB FB", "09 03 02 03 01 02 03 04", 0},
        StreamCase{"CopyOverlapsItself", 2, 3, "01 02 FF 00", "01 -- -- -- 01 02 -- -- 01 02 -- --", 0},
        StreamCase{"SurplusDropped", 2, 2, "FD 10 05", "05 05 -- -- 05 05 -- --", 0},
        StreamCase{"OwnSlotReadsZero", 1, 3, "05 FA 07", "07 -- -- -- 00 -- -- -- 05 -- -- --", 0},
        StreamCase{"EmptyStream", 2, 1, "", "-- -- -- --", 0},
        // Sources before the start of the history read as 0.
        StreamCase{"BackReferencesBeforeStart", 4, 2, "09 FA FB FF 00", "09 00 -- -- 09 00 00 00", 0},
        StreamCase{"TwoRowsUpBeforeStart", 2, 3, "07 08 FE 00", "07 -- -- -- 00 00 -- -- 07 08 -- --", 0},
        // A last code cut short by the end of the stream produces nothing.
        StreamCase{"TruncatedEscape", 4, 1, "01 F8", "01 -- -- --", 0},
        StreamCase{"TruncatedPairs", 4, 1, "01 FC 00 0A", "01 -- -- --", 0},
        StreamCase{"TruncatedFill", 4, 1, "01 FD 05", "01 -- -- --", 0},
        StreamCase{"TruncatedCopy", 4, 1, "01 FF", "01 -- -- --", 0},
        // A pair run cut by the end of the picture keeps its first half.
        StreamCase{"PairRunCutMidPair", 3, 1, "FC 00 0A 0B", "0A 0B 0A --", 0}),
    CaseName);

class Pms16StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Pms16StreamTest, ProducesTopDownRows) { CheckCase(DecodePms16, 16, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Codes, Pms16StreamTest,
    ::testing::Values(
        StreamCase{"Literals", 3, 1, "34 12 F7 AB 00 00", "1234 ABF7 0000 ----", 0},
        StreamCase{"OddWidthSkipsPadding", 3, 2, "01 00 02 00 03 00 04 00 05 00 06 00",
                   "0001 0002 0003 ---- 0004 0005 0006 ----", 0},
        StreamCase{"Escape", 2, 1, "F8 F9 FF F8 01 02", "FFF9 0201", 0},
        StreamCase{"PackedColours", 4, 1, "F9 02 FF 00 FF 55", "E61C FFFF EEBD ----", 0},
        StreamCase{"PackedSingle", 2, 1, "F9 00 00 FF", "19E3 ----", 0},
        StreamCase{"PackedLowBits", 2, 1, "F9 01 07 3C 03", "01FC 001F", 0},
        StreamCase{"PairsRepeatNPlus2", 6, 1, "FC 00 11 11 22 22", "1111 2222 1111 2222 ---- ----", 0},
        StreamCase{"FillIsNPlus3", 4, 1, "FD 00 33 33", "3333 3333 3333 ----", 0},
        StreamCase{"CopyRowAbove", 2, 2, "01 00 02 00 FF 00", "0001 0002 0001 0002", 0},
        StreamCase{"CopyTwoRowsUp", 2, 3, "01 00 02 00 03 00 04 00 FE 00", "0001 0002 0003 0004 0001 0002", 0},
        StreamCase{"Diagonals", 3, 2, "01 00 02 00 03 00 09 00 FA FB", "0001 0002 0003 ---- 0009 0003 0002 ----",
                   0},
        StreamCase{"FillAcrossPadding", 3, 2, "FD 03 44 44", "4444 4444 4444 ---- 4444 4444 4444 ----", 0},
        StreamCase{"PackedAcrossPadding", 3, 2, "F9 04 00 01 02 03 04 05", "0001 0002 0003 ---- 0020 0021 ---- ----",
                   0},
        StreamCase{"OwnSlotReadsZero", 1, 3, "05 00 FA 07 00", "0005 ---- 0000 ---- 0007 ----", 0},
        StreamCase{"EmptyStream", 2, 1, "", "---- ----", 0},
        StreamCase{"BackReferencesBeforeStart", 3, 2, "09 00 FA FB FF 00", "0009 0000 0000 ---- 0009 0000 ---- ----",
                   0},
        // Pixels past the picture are not stored anywhere.
        StreamCase{"SurplusFill", 3, 1, "FD 05 44 44", "4444 4444 4444 ----", 0},
        StreamCase{"SurplusPacked", 2, 1, "F9 03 00 01 02 03 04", "0001 0002", 0},
        StreamCase{"SurplusLiterals", 1, 1, "01 00 02 00", "0001 ----", 0},
        // A history smaller than the picture bounds the decoding too.
        StreamCase{"HistoryCapacity", 4, 2, "FD 05 44 44", "4444 4444 4444 ---- ---- ---- ---- ----", 6},
        // A last code cut short by the end of the stream produces nothing.
        StreamCase{"TruncatedLiteral", 2, 2, "01 00 05", "0001 ---- ---- ----", 0},
        StreamCase{"TruncatedEscape", 2, 2, "01 00 F8 01", "0001 ---- ---- ----", 0},
        StreamCase{"TruncatedPacked", 2, 2, "01 00 F9 05 00 01 02", "0001 ---- ---- ----", 0},
        StreamCase{"TruncatedPackedHead", 2, 2, "01 00 F9 05", "0001 ---- ---- ----", 0},
        StreamCase{"TruncatedPairs", 2, 2, "01 00 FC 00 11 11 22", "0001 ---- ---- ----", 0},
        StreamCase{"TruncatedFill", 2, 2, "01 00 FD 00 33", "0001 ---- ---- ----", 0},
        StreamCase{"TruncatedCopy", 2, 2, "01 00 FE", "0001 ---- ---- ----", 0}),
    CaseName);

TEST(Pms8HistoryTest, StopsWhenTheHistoryIsFull) {
    // biSizeImage 0 leaves a history of 256 pixels for a 32 x 16 picture: the
    // top 8 rows are decoded, the lower memory rows stay as they were.
    const int32_t width = 32, height = 16;
    const Bytes stream = HexBytes("FD FF 05 FD FF 05 FD FF 05");
    const Bytes area = Decode(DecodePms8, Header(width, height, 0), stream, 32 * 16);
    for (size_t i = 0; i < area.size(); ++i) {
        ASSERT_EQ(area[i], i >= 8 * 32 && i < 16 * 32 ? 0x05 : kUntouched) << "offset " << i;
    }
}

TEST(PmsDecoderTest, NoRowsWritesNothing) {
    const Bytes stream = HexBytes("01 00 02 00");
    EXPECT_EQ(Decode(DecodePms8, Header(2, 0, 0), stream, 0), Bytes(kGuardBytes, kUntouched));
    EXPECT_EQ(Decode(DecodePms16, Header(2, 0, 0), stream, 0), Bytes(kGuardBytes, kUntouched));
    EXPECT_EQ(Decode(DecodePms8, Header(2, -3, 8), stream, 0), Bytes(kGuardBytes, kUntouched));
}

}  // namespace
