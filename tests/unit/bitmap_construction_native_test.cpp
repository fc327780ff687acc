// The bound on what one call of bitmap construction may allocate. Failures of
// each single allocation are swept in allocation_sweep_native_test.cpp.
#include <gtest/gtest.h>

#include "platform/standin/standin_control.h"
#include "plugin/entry_points.h"
#include "tests/support/raw_headers.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;
using torvatest::HostRecord;
using torvatest::PmsHead;
using torvatest::QntHead;

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
