// PMS decoders under a refused history allocation, and their allocation
// counts (one per decoder call, none for the conversions), through the
// stand-in platform's hooks.
#include <gtest/gtest.h>

#include "codec/pixel_conversion.h"
#include "platform/standin/standin_control.h"
#include "tests/support/codec_calls.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;

struct DecoderCase {
    const char* name;
    int depth;
};

class PmsAllocationTest : public ::testing::TestWithParam<DecoderCase> {
protected:
    void TearDown() override { standin::FailAllocationAfter(0); }

    Bytes run(torva::DecodeStatus expected) {
        const Bytes stream{0xFD, 0x09, 0x44, 0x44};  // fills a 4 x 2 picture at both depths
        Bytes area(16 + 16, 0xEE);
        const torva::DecodeResult result = torvatest::DecodePmsStream(
            GetParam().depth, area.data(), stream.data(), static_cast<uint32_t>(stream.size()), 4, 2);
        EXPECT_EQ(result.status, expected);
        return area;
    }
};

TEST_P(PmsAllocationTest, RefusedHistoryLeavesDestinationUntouched) {
    standin::FailAllocationAfter(1);
    EXPECT_EQ(run(torva::DecodeStatus::OutOfMemory), Bytes(32, 0xEE));
    EXPECT_EQ(standin::AllocationsSinceArm(), 1);
}

TEST_P(PmsAllocationTest, OneAllocationPerCall) {
    standin::FailAllocationAfter(0);
    EXPECT_NE(run(torva::DecodeStatus::Complete), Bytes(32, 0xEE));
    EXPECT_EQ(standin::AllocationsSinceArm(), 1);
}

INSTANTIATE_TEST_SUITE_P(Decoders, PmsAllocationTest,
                         ::testing::Values(DecoderCase{"Pms8", 8}, DecoderCase{"Pms16", 16}),
                         [](const ::testing::TestParamInfo<DecoderCase>& info) { return std::string(info.param.name); });

TEST(PixelConversionAllocationTest, ConversionsAllocateNothing) {
    Bytes source(4 * 4, 0x5A);
    Bytes destination(4 * 2 * 2, 0);
    ChannelMasks masks{0x1F, 0x7E0, 0xF800, 0xFFFF};
    standin::FailAllocationAfter(0);
    ConvertMaskedPixels(destination.data(), source.data(), 2, 2, 8, masks, 16);
    FlipRows(destination.data(), 8, 2);
    EXPECT_EQ(standin::AllocationsSinceArm(), 0);
}

}  // namespace
