// The VSP palette and plane decoder: hand-made streams whose planes are known
// row by row, the handling of streams that end early or run past the plane
// buffers, headers with sizes no file can have, and round trips of generated
// pictures through the writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "codec/vsp_decoder.h"
#include "base/byte_cursor.h"
#include "tests/support/codec_calls.h"
#include "tests/support/test_support.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;

// Decodes `stream` as given by a caller that owns exactly `available` bytes of
// it (the copy is exactly that long, so a read past it is a sanitizer error)
// into a pixel array of exactly width / 2 x height bytes.
Bytes Decode(int32_t width, int32_t height, const Bytes& stream, size_t available) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[available == 0 ? 1 : available]);
    if (available != 0) std::memcpy(copy.get(), stream.data(), available);
    const size_t size = width > 0 && height > 0 ? static_cast<size_t>(width / 2) * static_cast<size_t>(height) : 0;
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[size == 0 ? 1 : size]());
    torvatest::DecodeVspStream(pixels.get(), copy.get(), static_cast<uint32_t>(available), width, height);
    return Bytes(pixels.get(), pixels.get() + size);
}

Bytes Decode(int32_t width, int32_t height, const Bytes& stream) {
    return Decode(width, height, stream, stream.size());
}

// Top-down rows given as hex text, turned into the bottom-up array.
Bytes BottomUp(const std::vector<Bytes>& topDownRows) {
    Bytes out;
    for (auto it = topDownRows.rbegin(); it != topDownRows.rend(); ++it) out.insert(out.end(), it->begin(), it->end());
    return out;
}

// The four output bytes of a column row from its four plane bytes.
std::array<unsigned char, 4> Pack(unsigned char p0, unsigned char p1, unsigned char p2, unsigned char p3) {
    std::array<unsigned char, 4> out{};
    for (int x = 0; x < 8; ++x) {
        const int bit = 7 - x;
        const int index = ((p0 >> bit) & 1) | ((p1 >> bit) & 1) << 1 | ((p2 >> bit) & 1) << 2 | ((p3 >> bit) & 1) << 3;
        out[static_cast<size_t>(x / 2)] |= static_cast<unsigned char>((x % 2 == 0) ? index << 4 : index);
    }
    return out;
}

using PlaneRow = std::array<unsigned char, 4>;

// Expected pixels from plane bytes given column by column, top row first.
Bytes FromPlanes(int width, int height, const std::vector<PlaneRow>& planes) {
    const size_t stride = static_cast<size_t>(width) / 2;
    Bytes out(stride * static_cast<size_t>(height));
    for (size_t i = 0; i < planes.size(); ++i) {
        const size_t c = i / static_cast<size_t>(height);
        const size_t y = i % static_cast<size_t>(height);
        const auto packed = Pack(planes[i][0], planes[i][1], planes[i][2], planes[i][3]);
        std::memcpy(&out[(static_cast<size_t>(height) - 1 - y) * stride + c * 4], packed.data(), 4);
    }
    return out;
}

// ---- Streams whose output bytes are known literally.

struct LiteralCase {
    const char* name;
    int width;
    int height;
    Bytes stream;
    std::vector<Bytes> topDownRows;
};

class VspLiteralTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(VspLiteralTest, DecodesToKnownRows) {
    const LiteralCase& c = GetParam();
    EXPECT_EQ(Decode(c.width, c.height, c.stream), BottomUp(c.topDownRows));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, VspLiteralTest,
    ::testing::Values(
        // Fill, inverted copy of plane 0, pairs, an escaped 0 and literals.
        LiteralCase{"EightByFour", 8, 4,
                    Bytes{0x01, 0x03, 0xF0, 0x06, 0x03, 0x03, 0x02, 0x01, 0xAA, 0x55, 0x07, 0x00, 0x81, 0x82, 0x83},
                    {{0x51, 0x51, 0x62, 0x62}, {0x95, 0x15, 0x26, 0x2E}, {0xD1, 0x51, 0x62, 0xE2}, {0x95, 0x15, 0x26, 0xAE}}},
        // Bit 7 of plane 0 is bit 0 of the leftmost pixel (high nibble).
        LiteralCase{"Plane0Bit7", 8, 1, Bytes{0x80, 0x07, 0x00, 0x07, 0x00, 0x07, 0x00}, {{0x10, 0x00, 0x00, 0x00}}},
        // Bit 0 of plane 3 is bit 3 of the rightmost pixel (low nibble).
        LiteralCase{"Plane3Bit0", 8, 1, Bytes{0x07, 0x00, 0x07, 0x00, 0x07, 0x00, 0x07, 0x01}, {{0x00, 0x00, 0x00, 0x08}}},
        // Two columns: column 1 lands in bytes 4..7 of the row.
        LiteralCase{"SecondColumn", 16, 1,
                    Bytes{0x07, 0x00, 0x07, 0x00, 0x07, 0x00, 0x07, 0x00, 0xFF, 0xFF, 0xFF, 0xFF},
                    {{0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}}}),
    [](const ::testing::TestParamInfo<LiteralCase>& info) { return std::string(info.param.name); });

TEST(VspPackTest, HelperAgreesWithLiteralMapping) {
    // The plane-level cases below rely on Pack; pin it to the literal cases.
    EXPECT_EQ(Pack(0x80, 0, 0, 0), (PlaneRow{0x10, 0, 0, 0}));
    EXPECT_EQ(Pack(0, 0, 0, 0x01), (PlaneRow{0, 0, 0, 0x08}));
    EXPECT_EQ(Pack(0xF0, 0x0F, 0xAA, 0x00), (PlaneRow{0x51, 0x51, 0x62, 0x62}));
}

// ---- Streams whose plane bytes are known row by row.

struct PlaneCase {
    const char* name;
    int width;
    int height;
    Bytes stream;
    std::vector<PlaneRow> planes;  // column by column, top row first
};

class VspPlaneTest : public ::testing::TestWithParam<PlaneCase> {};

TEST_P(VspPlaneTest, DecodesToKnownPlanes) {
    const PlaneCase& c = GetParam();
    EXPECT_EQ(Decode(c.width, c.height, c.stream), FromPlanes(c.width, c.height, c.planes));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, VspPlaneTest,
    ::testing::Values(
        // 7 v stores 0..7 unchanged; bytes 8..255 are rows of themselves.
        PlaneCase{"EscapesAndLiterals", 8, 8,
                  Bytes{0x07, 0, 0x07, 1, 0x07, 2, 0x07, 3, 0x07, 4, 0x07, 5, 0x07, 6, 0x07, 7,  //
                        0x08, 0x09, 0xFF, 0x80, 0x7F, 0x10, 0x20, 0x40,                          //
                        0x07, 0x07, 0x01, 0x06, 0x08,                                            //
                        0x01, 0x07, 0x00},
                  {{0, 0x08, 7, 0}, {1, 0x09, 8, 0}, {2, 0xFF, 8, 0}, {3, 0x80, 8, 0}, {4, 0x7F, 8, 0},
                   {5, 0x10, 8, 0}, {6, 0x20, 8, 0}, {7, 0x40, 8, 0}}},
        // The mask from 6 survives a fill, inverts one copy, then is gone.
        PlaneCase{"MaskSurvivesFillAndResets", 8, 1,
                  Bytes{0x3C, 0x06, 0x01, 0x00, 0x9A, 0x04, 0x00, 0x04, 0x00},
                  {{0x3C, 0x9A, 0x65, 0x9A}}},
        // A 6 in plane 0 is used by the copy in plane 2.
        PlaneCase{"MaskCarriedIntoLaterPlane", 8, 1, Bytes{0x06, 0x11, 0x22, 0x03, 0x00, 0x03, 0x00},
                  {{0x11, 0x22, 0xEE, 0x11}}},
        // A 6 in the last plane of column 0 is used in column 1.
        PlaneCase{"MaskCarriedIntoLaterColumn", 16, 1,
                  Bytes{0x11, 0x22, 0x33, 0x06, 0x44, 0x0F, 0x03, 0x00, 0x03, 0x00, 0x99},
                  {{0x11, 0x22, 0x33, 0x44}, {0x0F, 0xF0, 0x0F, 0x99}}},
        // A pair begun on the last row puts its second byte past the picture
        // and ends the plane; the next byte starts plane 1.
        PlaneCase{"PairOnLastRowEndsPlane", 8, 3,
                  Bytes{0x02, 0x00, 0xAA, 0x55, 0x02, 0x00, 0x11, 0x22,  //
                        0x01, 0x02, 0x0C,                                //
                        0x02, 0x01, 0xF0, 0x0F,                          //
                        0x07, 0x00, 0x09, 0x07, 0x03},
                  {{0xAA, 0x0C, 0xF0, 0x00}, {0x55, 0x0C, 0x0F, 0x09}, {0x11, 0x0C, 0xF0, 0x03}}},
        // A fill running past the last row ends the plane as well.
        PlaneCase{"FillPastLastRowEndsPlane", 8, 2,
                  Bytes{0x01, 0xFF, 0x21, 0x01, 0x01, 0x42, 0x43, 0x44, 0x45, 0x46},
                  {{0x21, 0x42, 0x43, 0x45}, {0x21, 0x42, 0x44, 0x46}}},
        // Column 1 repeats column 0 plane by plane through command 0.
        PlaneCase{"RepeatPreviousColumn", 16, 2,
                  Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0,  //
                        0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01},
                  {{0x12, 0x56, 0x9A, 0xDE}, {0x34, 0x78, 0xBC, 0xF0}, {0x12, 0x56, 0x9A, 0xDE}, {0x34, 0x78, 0xBC, 0xF0}}},
        // A repeat over part of the rows keeps the earlier column only there.
        PlaneCase{"RepeatPartOfColumn", 16, 3,
                  Bytes{0x01, 0x02, 0x11, 0x01, 0x02, 0x22, 0x01, 0x02, 0x33, 0x01, 0x02, 0x44,  //
                        0x00, 0x00, 0x99, 0x98, 0x01, 0x02, 0x55, 0x00, 0x01, 0x0A, 0x00, 0x02},
                  {{0x11, 0x22, 0x33, 0x44}, {0x11, 0x22, 0x33, 0x44}, {0x11, 0x22, 0x33, 0x44},
                   {0x11, 0x55, 0x33, 0x44}, {0x99, 0x55, 0x33, 0x44}, {0x98, 0x55, 0x0A, 0x44}}},
        // In the first column the plane buffers start out zero.
        PlaneCase{"FirstColumnBuffersAreZero", 8, 2,
                  Bytes{0x00, 0x01, 0x23, 0x45, 0x05, 0x01, 0x03, 0x01}, {{0x00, 0x23, 0x00, 0x00}, {0x00, 0x45, 0x00, 0x00}}},
        // Copies read the current column from earlier planes and the previous
        // column from the plane itself and later planes.
        PlaneCase{"CopySourcesByPlaneOrder", 16, 1,
                  Bytes{0x11, 0x22, 0x33, 0x44, 0x05, 0x00, 0x04, 0x00, 0x03, 0x00, 0x06, 0x05, 0x00},
                  {{0x11, 0x22, 0x33, 0x44}, {0x33, 0x22, 0x33, 0xCC}}},
        // Command 6 twice is still one inversion; the copy after it is plain.
        PlaneCase{"DoubleSixInvertsOnce", 8, 1, Bytes{0x5A, 0x06, 0x06, 0x03, 0x00, 0x03, 0x00, 0x08},
                  {{0x5A, 0xA5, 0x5A, 0x08}}}),
    [](const ::testing::TestParamInfo<PlaneCase>& info) { return std::string(info.param.name); });

// ---- Runs past the plane buffers and heights no header check admits.

// A plane of h rows: a fill of 256 rows of `first`, then pairs (a, b) up to
// 512 rows more, which pass row 480 for the tallest pictures.
Bytes LongPlane(unsigned char first, unsigned char a, unsigned char b) { return {0x01, 0xFF, first, 0x02, 0xFF, a, b}; }

TEST(VspDecoderTest, RunsPastRow480AreClippedAndThePlaneEnds) {
    const int h = 400;
    Bytes stream;
    for (unsigned char p = 0; p < 4; ++p) {
        const Bytes plane = LongPlane(static_cast<unsigned char>(0x10 + p), static_cast<unsigned char>(0x20 + p),
                                      static_cast<unsigned char>(0x30 + p));
        stream.insert(stream.end(), plane.begin(), plane.end());
    }
    // Column 1 repeats column 0 over 512 rows, also past row 480.
    for (int p = 0; p < 4; ++p) stream.insert(stream.end(), {0x00, 0xFF, 0x00, 0xFF});
    std::vector<PlaneRow> planes;
    for (int c = 0; c < 2; ++c) {
        for (int y = 0; y < h; ++y) {
            PlaneRow row{};
            for (int p = 0; p < 4; ++p)
                row[static_cast<size_t>(p)] =
                    static_cast<unsigned char>(y < 256 ? 0x10 + p : ((y - 256) % 2 == 0 ? 0x20 + p : 0x30 + p));
            planes.push_back(row);
        }
    }
    EXPECT_EQ(Decode(16, h, stream), FromPlanes(16, h, planes));
}

TEST(VspDecoderTest, HeightAbovePlaneBuffersConvertsOnly480Rows) {
    // No header that passes detection is this tall; the rows the buffers do
    // not hold (the bottom ones, first in the array) stay zero.
    const int h = 500;
    Bytes stream;
    // A literal row, then 256 pairs: the pairs stop at row 480 after an odd
    // number of rows, so the last stored row is the first byte of a pair.
    for (int p = 0; p < 4; ++p) stream.insert(stream.end(), {0xFF, 0x02, 0xFF, 0xFF, 0xFF});
    const Bytes pixels = Decode(8, h, stream);
    for (int row = 0; row < h; ++row) {
        const unsigned char expected = row < h - 480 ? 0x00 : 0xFF;
        for (int k = 0; k < 4; ++k) ASSERT_EQ(pixels[static_cast<size_t>(row) * 4 + k], expected) << "row " << row;
    }
}

struct OddHeaderCase {
    const char* name;
    int32_t width;
    int32_t height;
};

class VspOddHeaderTest : public ::testing::TestWithParam<OddHeaderCase> {};

TEST_P(VspOddHeaderTest, WritesNothingOutsideTheArray) {
    // Random streams into an array of exactly width / 2 x height bytes (none
    // for a non-positive size): any write outside it is a sanitizer error.
    const OddHeaderCase& c = GetParam();
    torvatest::Random random(static_cast<uint64_t>(c.width) * 1000 + static_cast<uint64_t>(c.height));
    for (int round = 0; round < 20; ++round) {
        Bytes stream(random.below(4000));
        for (unsigned char& b : stream) b = static_cast<unsigned char>(random.below(3) == 0 ? random.below(9) : random.below(256));
        const int32_t w = c.width > 0 ? c.width : 0;
        const int32_t h = c.height > 0 ? c.height : 0;
        const Bytes pixels = Decode(c.width, c.height, stream);
        ASSERT_EQ(pixels.size(), static_cast<size_t>(w / 2) * static_cast<size_t>(h));
        if (c.width < 8 || c.height <= 0) {
            for (unsigned char b : pixels) ASSERT_EQ(b, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, VspOddHeaderTest,
                         ::testing::Values(OddHeaderCase{"NarrowerThanAColumn", 7, 4},
                                           OddHeaderCase{"ZeroWidth", 0, 4}, OddHeaderCase{"NegativeWidth", -8, 4},
                                           OddHeaderCase{"ZeroHeight", 8, 0}, OddHeaderCase{"NegativeHeight", 8, -3},
                                           OddHeaderCase{"WidthNotMultipleOf8", 12, 5},
                                           OddHeaderCase{"WiderThan640", 1024, 3}, OddHeaderCase{"TallerThan480", 8, 700},
                                           OddHeaderCase{"OneRow", 8, 1}, OddHeaderCase{"Largest", 640, 400}),
                         [](const ::testing::TestParamInfo<OddHeaderCase>& info) { return std::string(info.param.name); });

TEST(VspDecoderTest, WidthNotMultipleOf8UsesHalfWidthRows) {
    // 12 pixels: one column, rows of 6 bytes; the last two stay zero.
    const Bytes pixels = Decode(12, 2, Bytes{0x01, 0x01, 0xFF, 0x01, 0x01, 0xFF, 0x01, 0x01, 0xFF, 0x01, 0x01, 0xFF});
    EXPECT_EQ(pixels, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
}

// ---- Streams that end early.

TEST(VspDecoderTest, NothingAvailableLeavesArrayZero) {
    EXPECT_EQ(Decode(640, 400, Bytes{}, 0), Bytes(320 * 400, 0));
}

TEST(VspDecoderTest, TruncatedStreamKeepsOnlyCompleteColumns) {
    // Every cut of a generated stream: the columns wholly present are decoded,
    // the one cut through and all after it stay zero, and no byte past the cut
    // is read (the decoder sees a copy exactly as long as the cut).
    const torvatest::VspPicture picture = torvatest::MakeVspPicture(40, 9, 11);
    torvatest::VspWriteStats stats;
    const Bytes file = torvatest::WriteVsp(picture, 5, &stats);
    const Bytes stream(file.begin() + 58, file.end());
    const Bytes full = torvatest::ExpectedVspPixels(picture);
    ASSERT_EQ(stats.columnEnds.size(), 5u);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        Bytes expected(full.size(), 0);
        for (size_t c = 0; c < stats.columnEnds.size() && stats.columnEnds[c] <= cut; ++c)
            for (int row = 0; row < picture.height; ++row)
                std::memcpy(&expected[static_cast<size_t>(row) * 20 + c * 4], &full[static_cast<size_t>(row) * 20 + c * 4], 4);
        ASSERT_EQ(Decode(40, 9, stream, cut), expected) << "cut at " << cut;
    }
}

TEST(VspDecoderTest, CommandWithMissingOperandIsNotCarriedOut) {
    // The last plane of the only column ends in a fill whose value is
    // missing: the column is not converted, although three planes are done.
    EXPECT_EQ(Decode(8, 1, Bytes{0x11, 0x22, 0x33, 0x01, 0x00}), Bytes(4, 0));
    EXPECT_EQ(Decode(8, 2, Bytes{0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x02, 0x00, 0x44}), Bytes(8, 0));
}

// ---- Palette.

struct PaletteCase {
    const char* name;
    int flag;
    Bytes stored;                 // the first entry as stored
    std::array<unsigned char, 4> entry;  // blue, green, red, reserved
};

class VspPaletteTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(VspPaletteTest, WritesFirstEntry) {
    const PaletteCase& c = GetParam();
    Bytes palette(64, 0);
    std::copy(c.stored.begin(), c.stored.end(), palette.begin());
    Bytes table(64, 0xEE);
    torva::ReadVspPalette(table.data(), palette.data(), c.flag);
    EXPECT_EQ((std::array<unsigned char, 4>{table[0], table[1], table[2], table[3]}), c.entry);
    // The other entries are written as well (all-zero levels give black).
    for (size_t i = 4; i < 64; ++i) ASSERT_EQ(table[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, VspPaletteTest,
    ::testing::Values(PaletteCase{"BlueRedGreenStored", 0, {1, 2, 3}, {17, 51, 34, 0}},
                      PaletteCase{"White", 0, {15, 15, 15}, {255, 255, 255, 0}},
                      PaletteCase{"FourByteEntries", 1, {4, 5, 6, 7}, {68, 102, 85, 119}},
                      PaletteCase{"FourByteEntriesAnyFlag", -3, {0, 0, 0, 15}, {0, 0, 0, 255}},
                      // Levels above 15 are clamped to the top of the scale.
                      PaletteCase{"AboveFifteenClamped", 0, {16, 0x80, 0xFF}, {255, 255, 255, 0}},
                      PaletteCase{"AboveFifteenClampedInReserved", 1, {0, 0, 0, 0x1F}, {0, 0, 0, 255}}),
    [](const ::testing::TestParamInfo<PaletteCase>& info) { return std::string(info.param.name); });

TEST(VspPaletteTest, EveryLevelIsSeventeenTimesItsValue) {
    Bytes palette(48);
    for (size_t e = 0; e < 16; ++e) {
        palette[e * 3] = static_cast<unsigned char>(e);
        palette[e * 3 + 1] = static_cast<unsigned char>(15 - e);
        palette[e * 3 + 2] = static_cast<unsigned char>((e + 5) % 16);
    }
    Bytes table(64, 0xEE);
    torva::ReadVspPalette(table.data(), palette.data(), 0);
    for (size_t e = 0; e < 16; ++e) {
        EXPECT_EQ(table[e * 4], 17 * e);
        EXPECT_EQ(table[e * 4 + 1], 17 * ((e + 5) % 16));
        EXPECT_EQ(table[e * 4 + 2], 17 * (15 - e));
        EXPECT_EQ(table[e * 4 + 3], 0);
    }
}

// ---- Round trips through the writer.

struct RoundTripCase {
    int width;
    int height;
};

class VspRoundTripTest : public ::testing::TestWithParam<std::tuple<RoundTripCase, uint64_t>> {};

TEST_P(VspRoundTripTest, DecodesWrittenPictureExactly) {
    const RoundTripCase size = std::get<0>(GetParam());
    const uint64_t seed = std::get<1>(GetParam());
    const torvatest::VspPicture picture = torvatest::MakeVspPicture(size.width, size.height, seed);
    const Bytes file = torvatest::WriteVsp(picture, seed * 31 + 7);

    ASSERT_GE(file.size(), 58u);
    EXPECT_EQ(torva::LoadLe16(&file[0]), picture.left);
    EXPECT_EQ(torva::LoadLe16(&file[2]), picture.top);
    EXPECT_EQ((torva::LoadLe16(&file[4]) - torva::LoadLe16(&file[0])) * 8, size.width);
    EXPECT_EQ(torva::LoadLe16(&file[6]) - torva::LoadLe16(&file[2]), size.height);

    Bytes table(64, 0xEE);
    torva::ReadVspPalette(table.data(), &file[10], 0);
    EXPECT_EQ(table, torvatest::ExpectedVspColourTable(picture));

    const Bytes stream(file.begin() + 58, file.end());
    EXPECT_EQ(Decode(size.width, size.height, stream), torvatest::ExpectedVspPixels(picture));
}

INSTANTIATE_TEST_SUITE_P(Sizes, VspRoundTripTest,
                         ::testing::Combine(::testing::Values(RoundTripCase{8, 1}, RoundTripCase{640, 400},
                                                              RoundTripCase{16, 2}, RoundTripCase{8, 400},
                                                              RoundTripCase{640, 1}, RoundTripCase{320, 200},
                                                              RoundTripCase{72, 37}, RoundTripCase{24, 3}),
                                            ::testing::Values(uint64_t{1}, uint64_t{2}, uint64_t{3})));

TEST(VspRoundTripTest, GreedyMixDecodesWrittenPictureExactly) {
    for (const RoundTripCase size : {RoundTripCase{8, 1}, RoundTripCase{72, 37}, RoundTripCase{640, 400}}) {
        const torvatest::VspPicture picture = torvatest::MakeVspPicture(size.width, size.height, 9);
        const Bytes file = torvatest::WriteVsp(picture, 9, nullptr, torvatest::VspCodeMix::Greedy);
        const Bytes stream(file.begin() + 58, file.end());
        EXPECT_EQ(Decode(size.width, size.height, stream), torvatest::ExpectedVspPixels(picture))
            << size.width << "x" << size.height;
    }
}

TEST(VspWriterTest, EmitsEveryCommandAndCarriesTheMask) {
    // The round trips above only prove something if the writer's streams hold
    // every command, including a mask set in one plane and used in a later one.
    torvatest::VspWriteStats stats;
    const torvatest::VspPicture picture = torvatest::MakeVspPicture(320, 200, 7);
    torvatest::WriteVsp(picture, 7, &stats);
    for (size_t command = 0; command < stats.commands.size(); ++command)
        EXPECT_GT(stats.commands[command], 0u) << "command " << command;
    EXPECT_GT(stats.carriedMasks, 0u);
}

}  // namespace
