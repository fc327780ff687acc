// Pictures written by our writers come back through KRV_GetImage as complete
// bitmaps, pixel for pixel: the whole path from host record to bitmap block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;
using torvatest::GetBitmap;

struct QntCase {
    uint32_t width;
    uint32_t height;
    uint32_t version;
    bool alpha;
};

void PrintTo(const QntCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " v" << c.version << (c.alpha ? " alpha" : "");
}

class QntBitmapTest : public ::testing::TestWithParam<QntCase> {};

TEST_P(QntBitmapTest, DecodesToTheSourcePixels) {
    const QntCase& c = GetParam();
    torvatest::QntPicture picture = torvatest::RandomQntPicture(c.width, c.height, c.alpha, c.width * 131 + c.height);
    torvatest::QntOptions options;
    options.version = c.version;
    const Bytes file = torvatest::WriteQnt(picture, options);
    ASSERT_FALSE(file.empty());

    torvatest::BitmapResult bmp = GetBitmap(file, "C:\\data\\picture.qnt", -1);
    ASSERT_EQ(bmp.result, 0);
    EXPECT_EQ(bmp.lockCount, 0u);
    EXPECT_EQ(bmp.infoHeader.biWidth, static_cast<int32_t>(c.width));
    EXPECT_EQ(bmp.infoHeader.biHeight, static_cast<int32_t>(c.height));
    EXPECT_EQ(bmp.infoHeader.biBitCount, c.alpha ? 32 : 24);
    const Bytes expected = torvatest::QntBitmapPixels(picture);
    ASSERT_EQ(bmp.infoHeader.biSizeImage, expected.size());
    ASSERT_EQ(bmp.size, 54 + expected.size());
    EXPECT_EQ(std::memcmp(bmp.pixels(), expected.data(), expected.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, QntBitmapTest,
                         ::testing::Values(QntCase{1, 1, 0, false}, QntCase{2, 2, 1, true}, QntCase{3, 2, 2, false},
                                           QntCase{7, 5, 0, true}, QntCase{64, 33, 1, false},
                                           QntCase{101, 67, 2, true}, QntCase{1025, 769, 2, false},
                                           QntCase{640, 480, 1, true}));

struct VspCase {
    int width;
    int height;
    int left;
    int top;
};

void PrintTo(const VspCase& c, std::ostream* os) { *os << c.width << "x" << c.height << " at " << c.left; }

class VspBitmapTest : public ::testing::TestWithParam<VspCase> {};

TEST_P(VspBitmapTest, DecodesToTheSourcePixelsAndPalette) {
    const VspCase& c = GetParam();
    torvatest::VspPicture picture = torvatest::MakeVspPicture(c.width, c.height, 77 + c.width);
    picture.left = c.left;
    picture.top = c.top;
    const Bytes file = torvatest::WriteVsp(picture, 5);

    torvatest::BitmapResult bmp = GetBitmap(file, "cg\\PICTURE.VSP", 0);
    ASSERT_EQ(bmp.result, 0);
    EXPECT_EQ(bmp.infoHeader.biBitCount, 4);
    EXPECT_EQ(bmp.infoHeader.biWidth, c.width);
    EXPECT_EQ(bmp.infoHeader.biHeight, c.height);
    EXPECT_EQ(static_cast<uint32_t>(bmp.fileHeader.bfOffBits), 118u);
    const Bytes table = torvatest::ExpectedVspColourTable(picture);
    EXPECT_EQ(std::memcmp(bmp.bytes.data() + 54, table.data(), 64), 0);
    const Bytes expected = torvatest::ExpectedVspPixels(picture);
    ASSERT_EQ(bmp.size, 118 + expected.size());
    EXPECT_EQ(std::memcmp(bmp.pixels(), expected.data(), expected.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, VspBitmapTest,
                         ::testing::Values(VspCase{8, 1, 0, 0}, VspCase{16, 3, 3, 7}, VspCase{200, 150, 10, 50},
                                           VspCase{640, 400, 0, 0}));

// The bitmap a viewer should get for a PMS picture, computed from the
// picture itself: bottom-up rows, each padded to a multiple of 4 bytes.
Bytes ExpectedPmsPixels(const torvatest::PmsPicture& p, int32_t mode) {
    const uint32_t w = p.width, h = p.height;
    const auto scale = [](uint32_t v, uint32_t max) { return static_cast<unsigned char>(((max >> 1) + 255 * v) / max); };
    if (p.depth == 8) {
        const uint32_t stride = (w + 3) & ~3u;
        Bytes out(stride * h, 0);
        for (uint32_t y = 0; y < h; ++y) std::memcpy(&out[(h - 1 - y) * stride], &p.indices[y * w], w);
        return out;
    }
    if (mode >= 0) {
        const uint32_t stride = ((w * 16 + 31) >> 3) & ~3u;
        Bytes out(stride * h, 0);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint16_t v = p.pixels[y * w + x];
                const uint16_t v555 = static_cast<uint16_t>(((v >> 1) & 0x7FE0) | (v & 0x1F));
                out[(h - 1 - y) * stride + 2 * x] = static_cast<unsigned char>(v555);
                out[(h - 1 - y) * stride + 2 * x + 1] = static_cast<unsigned char>(v555 >> 8);
            }
        }
        return out;
    }
    const uint32_t bytesPerPixel = p.alpha.empty() ? 3 : 4;
    const uint32_t stride = ((w * bytesPerPixel * 8 + 31) >> 3) & ~3u;
    Bytes out(stride * h, 0);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint16_t v = p.pixels[y * w + x];
            unsigned char* px = &out[(h - 1 - y) * stride + bytesPerPixel * x];
            px[0] = scale(v & 0x1F, 31);
            px[1] = scale((v >> 5) & 0x3F, 63);
            px[2] = scale(v >> 11, 31);
            if (bytesPerPixel == 4) px[3] = p.alpha[y * w + x];
        }
    }
    return out;
}

struct PmsCase {
    uint32_t width;
    uint32_t height;
    int depth;
    bool alpha;
    int version;
    int32_t mode;
};

void PrintTo(const PmsCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " depth " << c.depth << (c.alpha ? " alpha" : "") << " v" << c.version
        << " mode " << c.mode;
}

class PmsBitmapTest : public ::testing::TestWithParam<PmsCase> {};

TEST_P(PmsBitmapTest, DecodesToTheSourcePixels) {
    const PmsCase& c = GetParam();
    torvatest::PmsPicture picture =
        torvatest::MakePmsPicture(c.width, c.height, c.depth, c.alpha, c.version, c.width * 7 + c.height);
    const Bytes file = torvatest::WritePms(picture, 11);
    torvatest::BitmapResult bmp = GetBitmap(file, "a.pms", c.mode);
    ASSERT_EQ(bmp.result, 0);
    const int expectedBits = c.depth == 8 ? 8 : c.mode >= 0 ? 16 : c.alpha ? 32 : 24;
    EXPECT_EQ(bmp.infoHeader.biBitCount, expectedBits);
    if (c.depth == 8) {
        for (int i = 0; i < 256; ++i) {
            const unsigned char* entry = bmp.bytes.data() + 54 + 4 * i;
            ASSERT_EQ(entry[0], picture.palette[3 * i + 2]);
            ASSERT_EQ(entry[1], picture.palette[3 * i + 1]);
            ASSERT_EQ(entry[2], picture.palette[3 * i + 0]);
        }
    }
    const Bytes expected = ExpectedPmsPixels(picture, c.mode);
    ASSERT_EQ(bmp.infoHeader.biSizeImage, expected.size());
    ASSERT_EQ(bmp.size, bmp.fileHeader.bfOffBits + expected.size());
    EXPECT_EQ(std::memcmp(bmp.pixels(), expected.data(), expected.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PmsBitmapTest,
    ::testing::Values(PmsCase{1, 1, 8, false, 1, 0}, PmsCase{10, 2, 8, false, 2, -1}, PmsCase{333, 77, 8, false, 1, 0},
                      PmsCase{1, 1, 16, false, 1, 0}, PmsCase{3, 5, 16, false, 2, 0}, PmsCase{5, 3, 16, false, 1, -1},
                      PmsCase{7, 9, 16, true, 2, -1}, PmsCase{7, 9, 16, true, 2, 3},
                      PmsCase{1025, 769, 16, true, 1, -1}, PmsCase{1025, 769, 8, false, 2, 0},
                      PmsCase{640, 480, 16, false, 2, 0},
                      // 5-5-5 rows repacked 8 pixels at a time, with and without a tail
                      PmsCase{8, 3, 16, false, 1, 0}, PmsCase{17, 5, 16, false, 2, 0}, PmsCase{23, 4, 16, false, 1, 2},
                      // alpha merged 16 pixels at a time, with and without a tail
                      PmsCase{15, 4, 16, true, 1, -1}, PmsCase{16, 3, 16, true, 1, -1},
                      PmsCase{17, 5, 16, true, 2, -1}, PmsCase{48, 2, 16, true, 1, -1},
                      PmsCase{63, 6, 16, true, 1, -1}));

}  // namespace
