// QNT decoders against the stand-in heap: one scratch allocation per call,
// and a refused allocation leaves the pixels untouched.
#include <gtest/gtest.h>

#include "tests/support/codec_calls.h"
#include "platform/standin/standin_control.h"
#include "tests/writers/qnt_writer.h"

namespace {

using torvatest::Bytes;

class QntAllocationTest : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { standin::FailAllocationAfter(0); }

    // Decodes a 5x3 picture into a pixel array filled with 0xA5.
    Bytes DecodeInto(const Bytes& file) {
        const bool withAlpha = GetParam();
        Bytes pixels(withAlpha ? 4 * 5 * 3 : 16 * 3, 0xA5);
        status = torvatest::DecodeQntFile(file, pixels.data(), withAlpha).status;
        return pixels;
    }

    torva::DecodeStatus status = torva::DecodeStatus::Complete;

    Bytes File() const {
        return torvatest::WriteQnt(torvatest::RandomQntPicture(5, 3, GetParam(), 7), torvatest::QntOptions{});
    }
};

TEST_P(QntAllocationTest, FailedScratchLeavesPixelsUntouched) {
    const Bytes file = File();
    standin::FailAllocationAfter(1);
    const Bytes pixels = DecodeInto(file);
    EXPECT_EQ(pixels, Bytes(pixels.size(), 0xA5));
    EXPECT_EQ(status, torva::DecodeStatus::OutOfMemory);
}

TEST_P(QntAllocationTest, TakesOneScratchAllocation) {
    const Bytes file = File();
    standin::FailAllocationAfter(0);
    DecodeInto(file);
    EXPECT_EQ(standin::AllocationsSinceArm(), 1);
}

INSTANTIATE_TEST_SUITE_P(Depths, QntAllocationTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithAlpha" : "WithoutAlpha");
                         });

}  // namespace
