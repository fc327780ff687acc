// Masked 16-bit pixels into 24-bit and 32-bit bitmap rows (channel order,
// scaling of narrow and wide channels, row reversal, padding, the cleared
// alpha mask, sources shorter than the rows asked for), and in-place row
// reversal.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "codec/pixel_conversion.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;

constexpr unsigned char kUntouched = 0xEE;
constexpr size_t kGuardBytes = 32;

// Hex tokens: 16-bit values stored little-endian when `wide`, else bytes;
// "--" is a byte that must stay untouched.
Bytes Parse(const std::string& text, bool wide) {
    Bytes bytes;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        if (token == "--") {
            bytes.push_back(kUntouched);
            continue;
        }
        const unsigned long value = std::stoul(token, nullptr, 16);
        bytes.push_back(static_cast<unsigned char>(value));
        if (wide) bytes.push_back(static_cast<unsigned char>(value >> 8));
    }
    return bytes;
}

struct ConversionCase {
    const char* name;
    uint32_t width;
    int32_t height;
    ChannelMasks masks;
    const char* source;    // 16-bit values, top-down, padding pixels included
    uint32_t sourceSize;   // 0: the whole source
    uint32_t sourceBits;
    const char* expected;  // the destination bytes in memory order
    uint32_t alphaAfter;   // the caller's alphaMask after the call
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class ConvertMaskedPixelsTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConvertMaskedPixelsTest, WritesBottomUpRows) {
    const ConversionCase& c = GetParam();
    const Bytes source = Parse(c.source, true);
    Bytes expected = Parse(c.expected, false);
    expected.resize(expected.size() + kGuardBytes, kUntouched);
    Bytes destination(expected.size(), kUntouched);
    ChannelMasks masks = c.masks;
    ConvertMaskedPixels(destination.data(), source.data(), c.width, c.height,
                        c.sourceSize != 0 ? c.sourceSize : static_cast<uint32_t>(source.size()), masks, c.sourceBits);
    EXPECT_EQ(destination, expected);
    EXPECT_EQ(masks.alphaMask, c.alphaAfter);
    EXPECT_EQ(masks.redMask, c.masks.redMask);
}

constexpr ChannelMasks k565{0x1F, 0x7E0, 0xF800, 0};
constexpr ChannelMasks k565Alpha{0x1F, 0x7E0, 0xF800, 0xFFFF};

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertMaskedPixelsTest,
    ::testing::Values(
        ConversionCase{"ThreeBytesRowsReversed", 2, 2, k565, "F800 07E0 001F FFFF", 0, 16,
                       "FF 00 00 FF FF FF -- -- 00 00 FF 00 FF 00 -- --", 0},
        ConversionCase{"FourBytesAlphaLeftZero", 2, 2, k565Alpha, "F800 07E0 001F FFFF", 0, 16,
                       "FF 00 00 00 FF FF FF 00 00 00 FF 00 00 FF 00 00", 0},
        ConversionCase{"NarrowChannelsScaled", 3, 1, k565, "0841 1082 8410 0000", 0, 16,
                       "08 08 08 10 10 10 84 82 84 -- -- --", 0},
        ConversionCase{"OneBitAlphaKept", 2, 1, ChannelMasks{0x1F, 0x3E0, 0x7C00, 0x8000}, "FFFF 8000", 0, 16,
                       "FF FF FF FF 00 00 00 FF", 0x8000},
        ConversionCase{"WideChannelsShifted", 2, 1, ChannelMasks{0xFF, 0xFF00, 0x0FFF, 0}, "ABCD 1234", 0, 16,
                       "CD AB BC 34 12 23 -- --", 0},
        ConversionCase{"OtherSourceDepthUntouched", 2, 1, k565Alpha, "F800 07E0", 0, 8, "-- -- -- -- -- -- -- --", 0},
        // Only the rows that lie wholly inside the source are converted,
        // counted from its end: here two of the three asked for.
        ConversionCase{"SourceShorterThanRows", 2, 3, k565, "001F 001F F800 F800", 0, 16,
                       "00 00 FF 00 00 FF -- -- FF 00 00 FF 00 00 -- -- -- -- -- -- -- -- -- --", 0},
        ConversionCase{"SourceShorterThanOneRow", 2, 1, k565, "001F 001F", 3, 16, "-- -- -- -- -- -- -- --", 0},
        ConversionCase{"ZeroHeight", 2, 0, k565Alpha, "001F 001F", 0, 16, "", 0},
        ConversionCase{"NegativeHeight", 2, -1, k565, "001F 001F", 0, 16, "-- -- -- -- -- -- -- --", 0},
        ConversionCase{"ZeroWidth", 0, 2, k565, "001F 001F", 0, 16, "", 0}),
    [](const ::testing::TestParamInfo<ConversionCase>& info) { return std::string(info.param.name); });

// Every 5-bit and 6-bit value is widened to the nearest of 0..255.
TEST(ConvertMaskedPixelsScaleTest, NarrowChannelsRoundToNearest) {
    constexpr uint32_t width = 64;
    Bytes source;
    for (uint32_t i = 0; i < width; ++i) {
        const uint32_t p = (i % 32) | i << 5 | (31 - i % 32) << 11;
        source.push_back(static_cast<unsigned char>(p));
        source.push_back(static_cast<unsigned char>(p >> 8));
    }
    Bytes destination(3 * width, 0);
    ChannelMasks masks = k565;
    ConvertMaskedPixels(destination.data(), source.data(), width, 1, static_cast<uint32_t>(source.size()), masks, 16);
    for (uint32_t i = 0; i < width; ++i) {
        EXPECT_EQ(destination[3 * i], std::lround((i % 32) * 255.0 / 31)) << i;
        EXPECT_EQ(destination[3 * i + 1], std::lround(i * 255.0 / 63)) << i;
        EXPECT_EQ(destination[3 * i + 2], std::lround((31 - i % 32) * 255.0 / 31)) << i;
    }
}

struct FlipCase {
    uint32_t rowBytes;
    int32_t rowCount;
    size_t size;
};

void PrintTo(const FlipCase& c, std::ostream* os) { *os << c.rowBytes << "x" << c.rowCount; }

class FlipRowsTest : public ::testing::TestWithParam<FlipCase> {};

// Against a plain row-by-row reversal; rows of 1000 bytes are longer than
// the piece the swap goes through.
TEST_P(FlipRowsTest, ReversesRowOrderInPlace) {
    const FlipCase& c = GetParam();
    Bytes data(c.size);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + i / 251);
    Bytes expected = data;
    if (c.rowCount > 1) {
        for (int32_t r = 0; r < c.rowCount; ++r) {
            std::copy_n(data.begin() + (c.rowCount - 1 - r) * c.rowBytes, c.rowBytes, expected.begin() + r * c.rowBytes);
        }
    }
    FlipRows(data.data(), c.rowBytes, c.rowCount);
    EXPECT_EQ(data, expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, FlipRowsTest,
                         ::testing::Values(FlipCase{4, 3, 12}, FlipCase{3, 4, 12}, FlipCase{4, 1, 12},
                                           FlipCase{6, 2, 12}, FlipCase{0, 5, 12}, FlipCase{4, 0, 12},
                                           FlipCase{4, -2, 12}, FlipCase{1000, 5, 5000},
                                           FlipCase{1000, 4, 4100}));

}  // namespace
