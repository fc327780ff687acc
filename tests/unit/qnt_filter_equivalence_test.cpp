// The QNT decoders against a plain reference: residuals scattered into the
// bitmap block by block, then unfiltered pixel by pixel, row after row, as
// the format describes it. The streams are random bytes (padding bytes of
// odd sizes included), so every prediction case, sum overflow and edge row
// and column is exercised, for sizes around the decoders' row pairing.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/qnt_decoder.h"
#include "base/byte_span.h"
#include "base/checked_size.h"
#include "tests/support/test_support.h"
#include "tests/writers/qnt_writer.h"

namespace {

using torvatest::Bytes;

constexpr unsigned char kFill = 0xCD;

// The plain decoding of one stream pair into a bitmap pre-filled with kFill.
Bytes ReferenceDecode(uint32_t w, uint32_t h, const Bytes& colour, const Bytes* alpha) {
    const size_t bytesPerPixel = alpha ? 4 : 3;
    const size_t stride = alpha ? 4 * size_t{w} : static_cast<size_t>(torva::RowStride(w, 24));
    Bytes bitmap(stride * h, kFill);
    auto at = [&](uint32_t x, uint32_t y, size_t c) -> unsigned char& {
        return bitmap[(h - 1 - y) * stride + x * bytesPerPixel + c];
    };
    // Scatter.
    size_t k = 0;
    for (size_t c = 0; c < 3; ++c) {
        for (uint32_t y = 0; y < h; y += 2) {
            for (uint32_t x = 0; x < w; x += 2) {
                const unsigned char* block = &colour[k];
                k += 4;
                at(x, y, c) = block[0];
                if (y + 1 < h) at(x, y + 1, c) = block[1];
                if (x + 1 < w) at(x + 1, y, c) = block[2];
                if (x + 1 < w && y + 1 < h) at(x + 1, y + 1, c) = block[3];
            }
        }
    }
    if (alpha) {
        const size_t pitch = (size_t{w} + 1) & ~size_t{1};
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) at(x, y, 3) = (*alpha)[y * pitch + x];
        }
    }
    // Unfilter in place.
    for (size_t c = 0; c < bytesPerPixel; ++c) {
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const unsigned s = at(x, y, c);
                unsigned p;
                if (x == 0 && y == 0) {
                    p = s;
                } else if (y == 0) {
                    p = at(x - 1, y, c) - s;
                } else if (x == 0) {
                    p = at(x, y - 1, c) - s;
                } else {
                    p = ((unsigned{at(x - 1, y, c)} + unsigned{at(x, y - 1, c)}) >> 1) - s;
                }
                at(x, y, c) = static_cast<unsigned char>(p);
            }
        }
    }
    return bitmap;
}

Bytes RandomBytes(size_t n, torvatest::Random& random) {
    Bytes out(n);
    for (auto& b : out) b = static_cast<unsigned char>(random.next());
    return out;
}

struct Size {
    uint32_t w;
    uint32_t h;
};

class QntFilterEquivalenceTest : public ::testing::TestWithParam<Size> {};

TEST_P(QntFilterEquivalenceTest, MatchesPlainScatterAndUnfilter) {
    const Size size = GetParam();
    torvatest::Random random(size.w * 131 + size.h);
    for (bool withAlpha : {false, true}) {
        const Bytes colour = RandomBytes(size_t{12} * ((size.w + 1) / 2) * ((size.h + 1) / 2), random);
        const Bytes alpha = RandomBytes(((size_t{size.w} + 1) & ~size_t{1}) * size.h, random);
        const Bytes colourStream = torvatest::ZlibCompress(colour);
        const Bytes alphaStream = torvatest::ZlibCompress(alpha);
        Bytes data = colourStream;
        if (withAlpha) data.insert(data.end(), alphaStream.begin(), alphaStream.end());
        // The streams lie at offset 0 of the bytes handed over.
        QntHeader header{};
        header.width = static_cast<int32_t>(size.w);
        header.height = static_cast<int32_t>(size.h);
        header.colourSize = static_cast<uint32_t>(colourStream.size());
        header.alphaSize = withAlpha ? static_cast<uint32_t>(alphaStream.size()) : 0;
        const torva::ByteSpan file{data.data(), static_cast<uint32_t>(data.size())};

        const Bytes expected = ReferenceDecode(size.w, size.h, colour, withAlpha ? &alpha : nullptr);
        // The decoders as they run, and the row-by-row rebuilding that stands
        // in for the four-row wavefront where there are no vectors.
        for (bool rowByRow : {false, true}) {
            Bytes actual(expected.size(), kFill);
            const size_t stride = withAlpha ? size_t{4} * size.w : torva::RowStride(size.w, 24);
            const torva::PixelSpan out{actual.data(), stride, size.h};
            const torva::DecodeResult result =
                withAlpha ? (rowByRow ? torva::qnt_detail::DecodeQnt32RowByRow : torva::DecodeQnt32)(header, file, out)
                          : (rowByRow ? torva::qnt_detail::DecodeQnt24RowByRow : torva::DecodeQnt24)(header, file, out);
            EXPECT_EQ(result.status, torva::DecodeStatus::Complete);
            ASSERT_EQ(actual, expected) << size.w << "x" << size.h << (withAlpha ? " with alpha" : "")
                                        << (rowByRow ? " row by row" : "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, QntFilterEquivalenceTest,
                         ::testing::Values(Size{1, 1}, Size{1, 2}, Size{2, 1}, Size{1, 7}, Size{7, 1}, Size{2, 2},
                                           Size{3, 3}, Size{2, 5}, Size{5, 2}, Size{4, 4}, Size{16, 3},
                                           Size{17, 17}, Size{31, 6}, Size{32, 33}, Size{33, 32}, Size{64, 9},
                                           Size{65, 64}, Size{127, 5}, Size{128, 130}, Size{301, 77},
                                           // around the four-row wavefront: heights 2 + 4k + 0..3,
                                           // widths below, at and just past its four start-up columns
                                           Size{1, 6}, Size{2, 6}, Size{3, 7}, Size{4, 8}, Size{5, 9},
                                           Size{6, 10}, Size{7, 11}, Size{8, 13}, Size{9, 14}, Size{1, 33},
                                           Size{3, 100}, Size{24, 6}, Size{25, 7}, Size{100, 10},
                                           Size{257, 19}, Size{640, 14},
                                           // alpha sixteen rows at once: heights 1 + 16k + 0..15,
                                           // widths below, at and past one sixteen-column step;
                                           // colour eight diagonals a step: widths around 8k + 9
                                           Size{9, 10}, Size{12, 17}, Size{31, 40}, Size{32, 17},
                                           Size{47, 33}, Size{48, 49}, Size{63, 18}, Size{100, 65}, Size{13, 6},
                                           Size{21, 10},
                                           // odd, and wider than 820: planes larger than the bitmap
                                           Size{1025, 69}),
                         [](const ::testing::TestParamInfo<Size>& info) {
                             return std::to_string(info.param.w) + "x" + std::to_string(info.param.h);
                         });

// An alpha stream that ends inside the rows: the rows it does not reach read
// what the colour stream left in the scratch. The rows rebuilt sixteen at a
// time must read the very bytes the row-by-row rebuilding reads.
struct ShortAlpha {
    Size size;
    uint32_t alphaRows;
};

class QntShortAlphaBandTest : public ::testing::TestWithParam<ShortAlpha> {};

TEST_P(QntShortAlphaBandTest, MatchesRowByRow) {
    const auto [size, alphaRows] = GetParam();
    torvatest::Random random(size.w * 7 + alphaRows);
    const Bytes colour = RandomBytes(size_t{12} * ((size.w + 1) / 2) * ((size.h + 1) / 2), random);
    const Bytes alpha = RandomBytes(((size_t{size.w} + 1) & ~size_t{1}) * alphaRows, random);
    const Bytes colourStream = torvatest::ZlibCompress(colour);
    const Bytes alphaStream = torvatest::ZlibCompress(alpha);
    Bytes data = colourStream;
    data.insert(data.end(), alphaStream.begin(), alphaStream.end());
    QntHeader header{};
    header.width = static_cast<int32_t>(size.w);
    header.height = static_cast<int32_t>(size.h);
    header.colourSize = static_cast<uint32_t>(colourStream.size());
    header.alphaSize = static_cast<uint32_t>(alphaStream.size());
    const torva::ByteSpan file{data.data(), static_cast<uint32_t>(data.size())};
    const size_t stride = size_t{4} * size.w;
    Bytes fast(stride * size.h), plain(stride * size.h);
    const torva::DecodeResult fastResult = torva::DecodeQnt32(header, file, {fast.data(), stride, size.h});
    const torva::DecodeResult plainResult =
        torva::qnt_detail::DecodeQnt32RowByRow(header, file, {plain.data(), stride, size.h});
    EXPECT_EQ(fastResult.status, torva::DecodeStatus::Truncated);
    EXPECT_EQ(fastResult.status, plainResult.status);
    EXPECT_EQ(fastResult.pixelsProduced, plainResult.pixelsProduced);
    EXPECT_EQ(fast, plain);
}

INSTANTIATE_TEST_SUITE_P(Rows, QntShortAlphaBandTest,
                         ::testing::Values(ShortAlpha{{48, 40}, 0}, ShortAlpha{{48, 40}, 9},
                                           ShortAlpha{{101, 70}, 20}, ShortAlpha{{101, 70}, 69}));

}  // namespace
