// QNT decoders against the stand-in heap: at most one scratch allocation per
// call, none where the scratch kept from the call before is large enough,
// and a refused allocation leaves the pixels untouched.
#include <gtest/gtest.h>

#include "base/reusable_buffer.h"
#include "tests/support/codec_calls.h"
#include "platform/standin/standin_control.h"
#include "tests/writers/qnt_writer.h"

namespace {

using torvatest::Bytes;

class QntAllocationTest : public ::testing::TestWithParam<bool> {
protected:
    // Every test starts with no scratch kept from an earlier decode.
    void SetUp() override { torva::ReleaseKeptBuffer(); }
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

// The scratch of one decode serves the next, as long as it is large enough;
// the pixels are the same whether the scratch is fresh or reused.
TEST_P(QntAllocationTest, ReusesTheScratchOfTheDecodeBefore) {
    const Bytes file = File();
    const Bytes fresh = DecodeInto(file);
    standin::FailAllocationAfter(0);
    EXPECT_EQ(DecodeInto(file), fresh);
    EXPECT_EQ(standin::AllocationsSinceArm(), 0);

    const Bytes larger = torvatest::WriteQnt(torvatest::RandomQntPicture(40, 30, GetParam(), 8), torvatest::QntOptions{});
    Bytes pixels(4 * 40 * 30);
    standin::FailAllocationAfter(0);
    torvatest::DecodeQntFile(larger, pixels.data(), GetParam());
    EXPECT_EQ(standin::AllocationsSinceArm(), 1);
}

// Storage beyond what the slot keeps goes back to the heap.
TEST(ReusableBufferTest, KeepsOnlyStorageUpToItsLimit) {
    torva::ReleaseKeptBuffer();
    for (uint32_t size : {torva::kKeptBufferBytes, torva::kKeptBufferBytes + 1}) {
        {
            torva::ReusableBuffer first;
            ASSERT_TRUE(first.allocateUninitialised(size));
        }
        standin::FailAllocationAfter(0);
        torva::ReusableBuffer second;
        ASSERT_TRUE(second.allocateUninitialised(1));
        EXPECT_EQ(standin::AllocationsSinceArm(), size <= torva::kKeptBufferBytes ? 0 : 1) << size;
        standin::FailAllocationAfter(0);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, QntAllocationTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithAlpha" : "WithoutAlpha");
                         });

}  // namespace
