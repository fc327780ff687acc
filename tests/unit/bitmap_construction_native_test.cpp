// Bitmap construction when memory runs out, and the bound on what one call
// may allocate: every failure answers OutOfMemory, leaves the caller's handle
// alone, reports size 0, and leaves no block allocated or locked.
#include <gtest/gtest.h>

#include "platform/standin/standin_control.h"
#include "plugin/entry_points.h"
#include "tests/support/raw_headers.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;
using torvatest::HostRecord;
using torvatest::PmsHead;
using torvatest::Put32;
using torvatest::QntHead;
using torvatest::VspHead;

struct Outcome {
    int32_t result;
    HGLOBAL handle;
    uint32_t size;
};

HGLOBAL const kCallerHandle = reinterpret_cast<HGLOBAL>(0x5150);

Outcome Build(const Bytes& file, const char* name, int32_t mode) {
    HostRecord record(file, name);
    Outcome out{-1, kCallerHandle, 12345};
    out.result = KRV_GetImage(record.get(), &out.handle, &out.size, mode);
    return out;
}

Bytes Pms16(uint32_t alphaOffset) {
    Bytes b = PmsHead(1, 48, 16, 33, 17, 48, 200);
    Put32(b, 36, alphaOffset);
    return b;
}

struct FailureCase {
    const char* label;
    Bytes file;
    const char* name;
    int32_t mode;
    int allocations;  // allocations the call makes when none fails
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

class BitmapAllocationFailureTest : public ::testing::TestWithParam<FailureCase> {};

// Fails the first, second, ... allocation of the call in turn. Every
// allocation before the decoders' own scratch memory is the call's own and
// must answer OutOfMemory; a decoder that cannot get its scratch memory
// leaves its pixels zero and the call still succeeds.
TEST_P(BitmapAllocationFailureTest, EveryAllocationCanFail) {
    const FailureCase& c = GetParam();
    const long blocksBefore = standin::LiveGlobalBlocks();
    standin::FailAllocationAfter(0);
    Outcome clean = Build(c.file, c.name, c.mode);
    ASSERT_EQ(clean.result, 0);
    ASSERT_EQ(GlobalFree(clean.handle), nullptr);

    for (int n = 1; n <= c.allocations + 1; ++n) {
        standin::FailAllocationAfter(n);
        Outcome out = Build(c.file, c.name, c.mode);
        standin::FailAllocationAfter(0);
        if (out.result == 0) {
            EXPECT_EQ(out.size, clean.size) << "allocation " << n;
            ASSERT_EQ(GlobalFree(out.handle), nullptr);
        } else {
            EXPECT_EQ(out.result, 1) << "allocation " << n;
            EXPECT_EQ(out.handle, kCallerHandle) << "allocation " << n;
            EXPECT_EQ(out.size, 0u) << "allocation " << n;
        }
        EXPECT_EQ(standin::LiveGlobalBlocks(), blocksBefore) << "allocation " << n;
        EXPECT_EQ(standin::LockedGlobalBlocks(), 0) << "allocation " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BitmapAllocationFailureTest,
    ::testing::Values(FailureCase{"qnt", QntHead(0, 5, 3, 8, 0, 64), "a.qnt", 0, 2},
                      FailureCase{"pms8", PmsHead(1, 48, 8, 9, 4, 48, 100), "a.pms", 0, 2},
                      FailureCase{"pms16_mode0", Pms16(0), "a.pms", 0, 3},
                      FailureCase{"pms16_negative", Pms16(0), "a.pms", -1, 3},
                      FailureCase{"pms16_alpha", Pms16(100), "a.pms", -1, 5},
                      FailureCase{"vsp", VspHead(0, 0, 4, 10, 80), "a.vsp", 0, 1}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.label); });

TEST(BitmapAllocationFailureTest, OutputBlockFailureIsOutOfMemory) {
    standin::FailAllocationAfter(1);
    Outcome out = Build(PmsHead(1, 48, 8, 9, 4, 48, 100), "a.pms", 0);
    standin::FailAllocationAfter(0);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(out.handle, kCallerHandle);
    EXPECT_EQ(out.size, 0u);
}

TEST(BitmapAllocationFailureTest, SixteenBitScratchFailureIsOutOfMemory) {
    const long blocksBefore = standin::LiveGlobalBlocks();
    standin::FailAllocationAfter(2);  // the block, then the 16-bit scratch
    Outcome out = Build(Pms16(0), "a.pms", 0);
    standin::FailAllocationAfter(0);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(out.handle, kCallerHandle);
    EXPECT_EQ(standin::LiveGlobalBlocks(), blocksBefore);
}

// A few hundred bytes that declare a picture of 65535 x 65535 pixels would
// need a block of 16 GiB: refused before anything is allocated.
TEST(BitmapBoundTest, HugeDeclaredPicturesAreRefused) {
    for (const Bytes& file : {QntHead(0, 65535, 65535, 8, 8, 300), PmsHead(1, 48, 16, 65535, 65535, 48, 300),
                              PmsHead(1, 48, 8, 20000, 20000, 48, 300)}) {
        const long blocksBefore = standin::LiveGlobalBlocks();
        standin::FailAllocationAfter(0);
        Outcome out = Build(file, "a.img", -1);
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.handle, kCallerHandle);
        EXPECT_EQ(out.size, 0u);
        EXPECT_EQ(standin::AllocationsSinceArm(), 0);
        EXPECT_EQ(standin::LiveGlobalBlocks(), blocksBefore);
    }
}

}  // namespace
