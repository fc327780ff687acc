// Bitmap construction around the decoders: the headers, sizes and colour
// tables of every path, and files whose offsets point outside themselves.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/raw_headers.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;
using torvatest::GetBitmap;
using torvatest::PmsHead;
using torvatest::Put32;
using torvatest::QntHead;
using torvatest::VspHead;

// A PMS file whose header is followed by `streamBytes` of stream at 64 and,
// when asked, the extra offset (palette or alpha) at 36.
Bytes PmsFile(uint8_t depth, int32_t w, int32_t h, uint32_t extraOffset, size_t total) {
    Bytes b = PmsHead(2, 64, depth, w, h, 64, total);
    Put32(b, 36, extraOffset);
    b.resize(total);
    return b;
}

struct LayoutCase {
    const char* label;
    Bytes file;
    std::string name;
    int32_t mode;
    uint32_t offBits;
    uint16_t bitCount;
    uint32_t sizeImage;
    size_t blockSize;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }

class BitmapLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BitmapLayoutTest, WritesHeadersAndSizes) {
    const LayoutCase& c = GetParam();
    torvatest::BitmapResult bmp = GetBitmap(c.file, c.name, c.mode);
    ASSERT_EQ(bmp.result, 0);
    EXPECT_EQ(bmp.lockCount, 0u) << "the block is handed over unlocked";
    EXPECT_EQ(static_cast<uint32_t>(bmp.fileHeader.bfType), 0x4D42);
    EXPECT_EQ(static_cast<uint32_t>(bmp.fileHeader.bfOffBits), c.offBits);
    EXPECT_EQ(static_cast<uint32_t>(bmp.fileHeader.bfSize), c.offBits + c.sizeImage);
    EXPECT_EQ(bmp.size, c.offBits + c.sizeImage);
    EXPECT_EQ(bmp.infoHeader.biSize, 40u);
    EXPECT_EQ(bmp.infoHeader.biPlanes, 1);
    EXPECT_EQ(bmp.infoHeader.biBitCount, c.bitCount);
    EXPECT_EQ(bmp.infoHeader.biCompression, 0u);
    EXPECT_EQ(bmp.infoHeader.biSizeImage, c.sizeImage);
    EXPECT_EQ(bmp.blockSize, c.blockSize);
    EXPECT_EQ(bmp.infoHeader.biXPelsPerMeter, 0);
    EXPECT_EQ(bmp.infoHeader.biClrUsed, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BitmapLayoutTest,
    ::testing::Values(
        // A corrupt colour stream: the headers are whole, the pixels zero.
        LayoutCase{"qnt24_3x2", QntHead(0, 3, 2, 4, 0, 64), "a.qnt", 0, 54, 24, 24, 54 + 24},
        LayoutCase{"qnt32_3x2", QntHead(1, 3, 2, 4, 4, 64), "a.qnt", 0, 54, 32, 24, 54 + 24},
        LayoutCase{"pms8_10x2", PmsFile(8, 10, 2, 0, 64), "a.pms", 0, 1078, 8, 24, 1158},
        LayoutCase{"pms8_16x16", PmsFile(8, 16, 16, 0, 64), "a.pms", 0, 1078, 8, 256, 2102},
        LayoutCase{"pms16_w3_mode0", PmsFile(16, 3, 2, 0, 64), "a.pms", 0, 54, 16, 16, 54 + 24},
        LayoutCase{"pms16_w5_negative_no_alpha", PmsFile(16, 5, 2, 0, 64), "a.pms", -1, 54, 24, 32, 54 + 40},
        LayoutCase{"pms16_w5_negative_alpha", PmsFile(16, 5, 2, 64, 64), "a.pms", -1, 54, 32, 40, 54 + 40},
        LayoutCase{"pms16_alpha_mode0", PmsFile(16, 5, 2, 64, 64), "a.pms", 7, 54, 16, 24, 54 + 40},
        // Depths other than 8 and 16 are built exactly as 16-bit pictures.
        LayoutCase{"pms_depth4_as16", PmsFile(4, 3, 2, 0, 64), "a.pms", 0, 54, 16, 16, 54 + 24},
        LayoutCase{"pms_depth24_as16", PmsFile(24, 3, 2, 0, 64), "a.pms", -1, 54, 24, 24, 54 + 24},
        LayoutCase{"vsp_8x1", VspHead(0, 0, 1, 1), "a.vsp", 0, 118, 4, 4, 118 + 32},
        LayoutCase{"vsp_short_file", VspHead(0, 0, 2, 3, 8), "a.vsp", 0, 118, 4, 24, 118 + 192},
        LayoutCase{"not_an_image", Bytes{1, 2, 3, 4}, "a.bin", 0, 54, 0, 0, 54},
        // 65536 + 3 pixels wide: the bitmap keeps the low 16 bits and the
        // picture, which cannot be represented, stays blank.
        LayoutCase{"qnt_width_65539", QntHead(2, 65536 + 3, 2, 4, 0, 64), "a.qnt", 0, 54, 24, 24, 54 + 24}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.label); });

TEST(BitmapConstructionTest, UnrecognisedFileIsHeadersOnly) {
    torvatest::BitmapResult bmp = GetBitmap(Bytes{'n', 'o', 'p', 'e'}, "a.qnt", 0);
    ASSERT_EQ(bmp.result, 0);
    ASSERT_EQ(bmp.size, 54u);
    EXPECT_EQ(bmp.infoHeader.biWidth, 0);
    EXPECT_EQ(bmp.infoHeader.biHeight, 0);
    EXPECT_EQ(bmp.infoHeader.biBitCount, 0);
}

TEST(BitmapConstructionTest, PmsPaletteBecomesBlueGreenRedTable) {
    Bytes file = PmsFile(8, 2, 1, 64, 64 + 768);
    for (int i = 0; i < 256; ++i) {
        file[64 + 3 * i + 0] = static_cast<unsigned char>(i);        // red
        file[64 + 3 * i + 1] = static_cast<unsigned char>(255 - i);  // green
        file[64 + 3 * i + 2] = static_cast<unsigned char>(i ^ 0x5A); // blue
    }
    torvatest::BitmapResult bmp = GetBitmap(file, "a.pms", 0);
    ASSERT_EQ(bmp.result, 0);
    for (int i = 0; i < 256; ++i) {
        const unsigned char* entry = bmp.bytes.data() + 54 + 4 * i;
        ASSERT_EQ(entry[0], i ^ 0x5A) << i;
        ASSERT_EQ(entry[1], 255 - i) << i;
        ASSERT_EQ(entry[2], i) << i;
        ASSERT_EQ(entry[3], 0) << i;
    }
}

// Offsets in the headers that point past the supplied bytes: each case must
// come back as a bitmap with its headers whole, and (under the sanitizers)
// without a read outside the file.
struct HostileCase {
    const char* label;
    Bytes file;
    std::string name;
    int32_t mode;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.label; }

Bytes WithField(Bytes b, size_t offset, uint32_t value) {
    Put32(b, offset, value);
    return b;
}

class HostileOffsetsTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileOffsetsTest, AnswersWithABitmap) {
    const HostileCase& c = GetParam();
    torvatest::BitmapResult bmp = GetBitmap(c.file, c.name, c.mode);
    ASSERT_EQ(bmp.result, 0);
    EXPECT_EQ(static_cast<uint32_t>(bmp.fileHeader.bfType), 0x4D42);
    EXPECT_LE(bmp.size, bmp.blockSize);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, HostileOffsetsTest,
    ::testing::Values(
        HostileCase{"qnt_header_size_past_end", WithField(QntHead(1, 4, 4, 8, 0, 64), 8, 0xFFFFFFF0u), "a.qnt", 0},
        HostileCase{"qnt_streams_run_past_end", WithField(QntHead(1, 4, 4, 8, 8, 64), 8, 60), "a.qnt", 0},
        HostileCase{"pms8_palette_past_end", PmsFile(8, 4, 4, 0xFFFFFF00u, 80), "a.pms", 0},
        HostileCase{"pms8_palette_straddles_end", PmsFile(8, 4, 4, 40, 700), "a.pms", 0},
        HostileCase{"pms8_pixels_past_end", WithField(PmsFile(8, 4, 4, 64, 64), 32, 0x7FFFFFFF), "a.pms", 0},
        HostileCase{"pms16_pixels_past_end", WithField(PmsFile(16, 4, 4, 0, 70), 32, 0xFFFFFFFFu), "a.pms", 0},
        HostileCase{"pms16_alpha_before_pixels", PmsFile(16, 4, 4, 40, 90), "a.pms", -1},
        HostileCase{"pms16_alpha_past_end", PmsFile(16, 4, 4, 0x80000000u, 90), "a.pms", -1},
        HostileCase{"pms16_alpha_past_end_mode0", PmsFile(16, 4, 4, 0x80000000u, 90), "a.pms", 0},
        HostileCase{"vsp_no_planes", VspHead(0, 0, 80, 400, 58), "a.vsp", 0},
        HostileCase{"vsp_no_palette", VspHead(0, 0, 80, 400, 20), "a.vsp", 0}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.label); });

}  // namespace
