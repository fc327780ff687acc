// Pictures written by our writers come back through KRV_GetImage as complete
// bitmaps, pixel for pixel: the whole path from host record to bitmap block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/test_support.h"
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

}  // namespace
