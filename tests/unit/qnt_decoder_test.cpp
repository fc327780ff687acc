// QNT pixel decoders: plane layout and block skipping, the prediction filter
// and its full-width sum, bottom-up rows and their padding, the alpha plane
// and the way it shares the colour stream's scratch, failures that leave the
// pixels alone, and round trips through the writer at many sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/codec_calls.h"
#include "tests/support/test_support.h"
#include "tests/writers/qnt_writer.h"

namespace {

using torvatest::AssembleQnt;
using torvatest::Bytes;
using torvatest::QntOptions;
using torvatest::QntPicture;
using torvatest::ZlibCompress;

size_t Stride24(uint32_t w) { return (size_t{w} * 3 + 3) & ~size_t{3}; }

// Decodes `file` as the bitmap construction does: a zero-filled pixel array of
// the bitmap's size, the 32-bit decoder when there is an alpha stream.
Bytes Decode(const Bytes& file) {
    const size_t body = torvatest::QntBodyOffset(file);
    uint32_t w, h, alphaSize;
    std::memcpy(&w, &file[body + 8], 4);
    std::memcpy(&h, &file[body + 12], 4);
    std::memcpy(&alphaSize, &file[body + 28], 4);
    Bytes pixels((alphaSize ? size_t{4} * w : Stride24(w)) * h, 0);
    torvatest::DecodeQntFile(file, pixels.data(), alphaSize != 0);
    return pixels;
}

// A file around raw (uncompressed) streams; `alpha` empty means no alpha.
Bytes FileOf(uint32_t w, uint32_t h, const Bytes& colour, const Bytes& alpha = {}) {
    return AssembleQnt(w, h, ZlibCompress(colour), alpha.empty() ? Bytes{} : ZlibCompress(alpha), QntOptions{});
}

Bytes Concat(std::vector<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Blue residuals 0A 05 F6 00 (pixels (0,0), (0,1), (1,0), (1,1)): top row 10,
// 10 - 246 = 20; bottom row 10 - 5 = 5, (5 + 20) / 2 - 0 = 12. Bottom row
// first in the bitmap, stride 8 with two padding bytes.
TEST(QntDecoderTest, WorkedTwoByTwoExample) {
    const Bytes colour = Concat({{0x0A, 0x05, 0xF6, 0x00}, Bytes(8, 0)});
    EXPECT_EQ(Decode(FileOf(2, 2, colour)),
              (Bytes{0x05, 0, 0, 0x0C, 0, 0, 0, 0, 0x0A, 0, 0, 0x14, 0, 0, 0, 0}));
}

// One pixel: byte 0 of each plane's block; the other three bytes lie outside
// the picture and are skipped.
TEST(QntDecoderTest, OnePixelTakesFirstByteOfEachPlane) {
    const Bytes colour = {0x11, 0xEE, 0xEE, 0xEE, 0x22, 0xEE, 0xEE, 0xEE, 0x33, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Decode(FileOf(1, 1, colour)), (Bytes{0x11, 0x22, 0x33, 0}));
}

// 3x3: right-hand blocks give bytes 0 and 1, bottom blocks bytes 0 and 2,
// the bottom-right block byte 0 only; skipped bytes are 0xEE. Blue residuals
// chosen so that the picture is
//   100  90  80
//    80  84  80
//    50  64  68
// Green is 7 and red 200 everywhere (only the first residual is non-zero;
// 200 + 200 halves back to 200).
TEST(QntDecoderTest, OddSizeSkipsBlockBytesOutsideThePicture) {
    const Bytes blue = {100, 20, 10, 1, 10, 2, 0xEE, 0xEE, 30, 0xEE, 3, 0xEE, 4, 0xEE, 0xEE, 0xEE};
    const Bytes green = {7, 0, 0, 0, 0, 0, 0xEE, 0xEE, 0, 0xEE, 0, 0xEE, 0, 0xEE, 0xEE, 0xEE};
    const Bytes red = {200, 0, 0, 0, 0, 0, 0xEE, 0xEE, 0, 0xEE, 0, 0xEE, 0, 0xEE, 0xEE, 0xEE};
    const Bytes expected = {
        50, 7, 200, 64, 7, 200, 68, 7, 200, 0, 0, 0,   // picture row 2
        80, 7, 200, 84, 7, 200, 80, 7, 200, 0, 0, 0,   // picture row 1
        100, 7, 200, 90, 7, 200, 80, 7, 200, 0, 0, 0,  // picture row 0
    };
    EXPECT_EQ(Decode(FileOf(3, 3, Concat({blue, green, red}))), expected);
}

// Left 255 and above 255 predict 255 (510 halved), not 127 (254 halved).
TEST(QntDecoderTest, PredictionSumsAtFullWidth) {
    const Bytes colour = Concat({{0xFF, 0, 0, 0}, Bytes(8, 0)});
    EXPECT_EQ(Decode(FileOf(2, 2, colour)), (Bytes{0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0}));
}

// Residuals the colour stream does not produce are zero.
TEST(QntDecoderTest, ShortColourStreamLeavesZeroResiduals) {
    EXPECT_EQ(Decode(FileOf(2, 2, {0x40})), (Bytes{0x40, 0, 0, 0x40, 0, 0, 0, 0, 0x40, 0, 0, 0x40, 0, 0, 0, 0}));
}

// Alpha rows of width 3 are 4 bytes long: the fourth byte is skipped.
TEST(QntDecoderTest, OddWidthAlphaSkipsOneByteAfterEveryRow) {
    const Bytes alpha = {0x80, 0x01, 0x02, 0xEE, 0x10, 0x20, 0x30, 0xEE};
    // Row 0: 80, 7F, 7D. Row 1: 80-10 = 70, (70+7F)/2-20 = 57, (57+7D)/2-30 = 3A.
    const Bytes pixels = Decode(FileOf(3, 2, Bytes(24, 0), alpha));
    const Bytes expected = {0x70, 0x57, 0x3A, 0x80, 0x7F, 0x7D};
    ASSERT_EQ(pixels.size(), 24u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(pixels[4 * i + 3], expected[i]) << "pixel " << i;
}

// The alpha stream is inflated into the colour stream's scratch with the
// colour stream's output length as its capacity. A 2x2 colour stream of 12
// bytes admits an alpha stream of up to 12 bytes; one more fails, leaving the
// colour complete and the alpha zero.
struct AlphaCapacityRow {
    size_t alphaBytes;
    bool alphaDecoded;
};

class QntAlphaCapacityTest : public ::testing::TestWithParam<AlphaCapacityRow> {};

TEST_P(QntAlphaCapacityTest, AlphaLongerThanColourOutputFails) {
    const Bytes colour = Concat({{0x10, 0, 0, 0}, Bytes(8, 0)});
    Bytes alpha(GetParam().alphaBytes, 0);
    alpha[0] = 0x90;
    const Bytes pixels = Decode(FileOf(2, 2, colour, alpha));
    const unsigned char a = GetParam().alphaDecoded ? 0x90 : 0;
    EXPECT_EQ(pixels, (Bytes{0x10, 0, 0, a, 0x10, 0, 0, a, 0x10, 0, 0, a, 0x10, 0, 0, a}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, QntAlphaCapacityTest,
                         ::testing::Values(AlphaCapacityRow{4, true}, AlphaCapacityRow{12, true},
                                           AlphaCapacityRow{13, false}, AlphaCapacityRow{4096, false}));

// An alpha stream shorter than its rows leaves the scratch as the colour
// stream left it: here alpha residuals 1..3 are colour bytes 1..3, and with a
// 2-byte colour stream byte 2 and 3 are the zero fill.
struct ShortAlphaRow {
    Bytes colour;
    Bytes expected;  // the whole 2x2 pixel array
};

class QntShortAlphaTest : public ::testing::TestWithParam<ShortAlphaRow> {};

TEST_P(QntShortAlphaTest, KeepsScratchBytesBeyondAlphaOutput) {
    EXPECT_EQ(Decode(FileOf(2, 2, GetParam().colour, {0x80})), GetParam().expected);
}

// Colour 10 01 02 03: blue 10, (0,1) 0F, (1,0) 0E, (1,1) (0F+0E)/2-3 = 0B.
// Alpha residuals 80 01 02 03: 80, (1,0) 7F, (0,1) 7E, (1,1) (7E+7F)/2-3 = 7B.
// Colour 10 01: blue 10, 0F, 10, 0F; alpha 80, 7F, 80, 7F.
INSTANTIATE_TEST_SUITE_P(
    Streams, QntShortAlphaTest,
    ::testing::Values(ShortAlphaRow{Concat({{0x10, 0x01, 0x02, 0x03}, Bytes(8, 0)}),
                                    {0x0F, 0, 0, 0x7E, 0x0B, 0, 0, 0x7B, 0x10, 0, 0, 0x80, 0x0E, 0, 0, 0x7F}},
                      ShortAlphaRow{{0x10, 0x01},
                                    {0x0F, 0, 0, 0x80, 0x0F, 0, 0, 0x7F, 0x10, 0, 0, 0x80, 0x10, 0, 0, 0x7F}}));

// A colour stream that does not inflate within the scratch leaves every
// pixel zero, with and without alpha. The 2x2 scratch holds 4112 bytes
// (24-bit: 16 + 4096) or 4123 bytes (32-bit: 3 x 3 x 3 + 4096).
struct BrokenColourRow {
    const char* name;
    Bytes colourStream;  // compressed
    bool withAlpha;
};

class QntBrokenColourTest : public ::testing::TestWithParam<BrokenColourRow> {};

TEST_P(QntBrokenColourTest, LeavesPixelsZero) {
    const Bytes alpha = GetParam().withAlpha ? ZlibCompress({0x80, 0, 0, 0}) : Bytes{};
    const Bytes pixels = Decode(AssembleQnt(2, 2, GetParam().colourStream, alpha, QntOptions{}));
    EXPECT_EQ(pixels, Bytes(pixels.size(), 0));
}

Bytes Truncated(Bytes stream) {
    stream.resize(stream.size() / 2);
    return stream;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, QntBrokenColourTest,
    ::testing::Values(BrokenColourRow{"Garbage24", {0x12, 0x34, 0x56, 0x78, 0x9A}, false},
                      BrokenColourRow{"Garbage32", {0x12, 0x34, 0x56, 0x78, 0x9A}, true},
                      BrokenColourRow{"Truncated24", Truncated(ZlibCompress(Bytes(12, 0x55))), false},
                      BrokenColourRow{"Truncated32", Truncated(ZlibCompress(Bytes(12, 0x55))), true},
                      BrokenColourRow{"Overlong24", ZlibCompress(Bytes(4113, 1)), false},
                      BrokenColourRow{"Overlong32", ZlibCompress(Bytes(4124, 1)), true}),
    [](const ::testing::TestParamInfo<BrokenColourRow>& info) { return std::string(info.param.name); });

// The same streams one byte shorter fill the scratch exactly and decode.
TEST(QntDecoderTest, ColourStreamFillingTheScratchExactlyDecodes) {
    for (const auto& [length, withAlpha] : {std::pair<size_t, bool>{4112, false}, {4123, true}}) {
        Bytes colour(length, 0);
        colour[0] = 0x21;
        const Bytes pixels = Decode(
            AssembleQnt(2, 2, ZlibCompress(colour), withAlpha ? ZlibCompress({0}) : Bytes{}, QntOptions{}));
        EXPECT_EQ(pixels[0], 0x21) << length;
    }
}

// Headers the decoders refuse before writing anything: dimensions outside
// 1..65535, and scratch buffers beyond the 256 MiB any one call may take.
struct RefusedRow {
    int32_t width;
    int32_t height;
    bool withAlpha;
};

class QntRefusedHeaderTest : public ::testing::TestWithParam<RefusedRow> {};

TEST_P(QntRefusedHeaderTest, WritesNothing) {
    // A valid 1x1 stream pair: were the header honoured, pixel 0 would change.
    const Bytes file = AssembleQnt(static_cast<uint32_t>(GetParam().width), static_cast<uint32_t>(GetParam().height),
                                   ZlibCompress(Bytes(12, 0x77)),
                                   GetParam().withAlpha ? ZlibCompress({0x77, 0}) : Bytes{}, QntOptions{});
    Bytes pixels(64, 0xA5);
    const torva::DecodeResult result = torvatest::DecodeQntFile(file, pixels.data(), GetParam().withAlpha);
    EXPECT_EQ(result.status, GetParam().width < 1 || GetParam().height < 1 ? torva::DecodeStatus::Corrupt
                                                                          : torva::DecodeStatus::TooLarge);
    EXPECT_EQ(pixels, Bytes(64, 0xA5));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, QntRefusedHeaderTest,
    ::testing::Values(RefusedRow{0, 1, false}, RefusedRow{1, 0, true}, RefusedRow{-1, 1, false},
                      RefusedRow{1, INT32_MIN, true}, RefusedRow{65536, 1, false}, RefusedRow{1, 65536, true},
                      RefusedRow{65535, 65535, false}, RefusedRow{65535, 65535, true},
                      // 3 x 9536 x 9536 + 4096 and 60000 x 5000 + 4096 pass 256 MiB.
                      RefusedRow{9535, 9535, true}, RefusedRow{20000, 5000, false}));

// Round trips: the writer's files decode to the source pixels exactly, in
// every version, with and without alpha, at odd and even sizes. Unused block
// and alpha bytes carry 0xEE so that a decoder reading them shows. 1025x769
// is a size whose planes outgrow the 24-bit bitmap.
struct RoundTripRow {
    uint32_t width;
    uint32_t height;
    bool withAlpha;
    uint32_t version;
    uint32_t headerSize;
};

class QntRoundTripTest : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(QntRoundTripTest, DecodesToSourcePixels) {
    const RoundTripRow& row = GetParam();
    const QntPicture picture = torvatest::RandomQntPicture(row.width, row.height, row.withAlpha,
                                                           row.width * 65537u + row.height * 31u + row.version);
    QntOptions options;
    options.version = row.version;
    options.headerSize = row.headerSize;
    options.level = 1;
    options.padding = 0xEE;
    const Bytes file = torvatest::WriteQnt(picture, options);
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(Decode(file) == torvatest::QntBitmapPixels(picture));
}

std::vector<RoundTripRow> RoundTripRows() {
    std::vector<RoundTripRow> rows;
    const uint32_t sides[] = {1, 2, 3, 4, 5, 7, 8, 13, 16, 33};
    uint32_t n = 0;
    for (uint32_t w : sides) {
        for (uint32_t h : sides) {
            rows.push_back({w, h, (n & 1) != 0, n % 3, (n % 5 == 0) ? 64u : 0u});
            ++n;
        }
    }
    rows.push_back({1025, 769, false, 1, 0});
    rows.push_back({1025, 769, true, 2, 0});
    rows.push_back({769, 1025, false, 0, 0});
    rows.push_back({1024, 768, true, 0, 0});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sizes, QntRoundTripTest, ::testing::ValuesIn(RoundTripRows()),
                         [](const ::testing::TestParamInfo<RoundTripRow>& info) {
                             const RoundTripRow& r = info.param;
                             return std::to_string(r.width) + "x" + std::to_string(r.height) +
                                    (r.withAlpha ? "Alpha" : "") + "V" + std::to_string(r.version) +
                                    (r.headerSize ? "H" + std::to_string(r.headerSize) : "");
                         });

}  // namespace
