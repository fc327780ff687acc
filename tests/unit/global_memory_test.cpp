// The global memory behaviour that the library relies on, checked alike on
// Windows (under Wine) and against the stand-in, so that the native tests
// cannot pass on a block that Windows would treat differently.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/winapi.h"
#include "plugin/holders.h"

namespace {

struct BlockCase {
    UINT flags;
    SIZE_T bytes;
    bool lockable;
    bool discarded;
};

class GlobalBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(GlobalBlockTest, AllocationLockAndFree) {
    const BlockCase& c = GetParam();
    HGLOBAL handle = GlobalAlloc(c.flags, c.bytes);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GlobalSize(handle), c.bytes);
    EXPECT_EQ((GlobalFlags(handle) & GMEM_DISCARDED) != 0, c.discarded);
    EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 0u);

    auto* address = static_cast<unsigned char*>(GlobalLock(handle));
    EXPECT_EQ(address != nullptr, c.lockable);
    if (address != nullptr) {
        for (SIZE_T i = 0; i < c.bytes; ++i) ASSERT_EQ(address[i], 0) << "zero-initialised at " << i;
        if (c.flags & GMEM_MOVEABLE) {
            EXPECT_NE(static_cast<void*>(address), handle) << "a movable handle is not its address";
            EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 1u);
            // A second lock nests; each unlock reports whether locks remain.
            EXPECT_EQ(GlobalLock(handle), address);
            EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 2u);
            EXPECT_NE(GlobalUnlock(handle), FALSE);
            EXPECT_EQ(GlobalUnlock(handle), FALSE);
            EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 0u);
        }
    }
    EXPECT_EQ(GlobalFree(handle), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, GlobalBlockTest,
    ::testing::Values(BlockCase{GMEM_MOVEABLE | GMEM_ZEROINIT, 1, true, false},
                      BlockCase{GMEM_MOVEABLE | GMEM_ZEROINIT, 304, true, false},
                      BlockCase{GMEM_MOVEABLE | GMEM_ZEROINIT, 1 << 20, true, false},
                      // A movable block of no bytes exists, but is discarded: it has
                      // no address, and every attempt to lock it fails.
                      BlockCase{GMEM_MOVEABLE | GMEM_ZEROINIT, 0, false, true}));

TEST(GlobalBlockHolderTest, EmptyMovableBlockIsHandedOverWithoutALock) {
    GlobalBlock holder;
    ASSERT_TRUE(holder.allocate(0));
    EXPECT_EQ(holder.lock(), nullptr);
    EXPECT_EQ(holder.lockCount, 0) << "a failed lock is not counted";
    HGLOBAL given = holder.handOver();
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(holder.handle, nullptr);
    EXPECT_EQ(GlobalFree(given), nullptr);
}

TEST(GlobalBlockHolderTest, ReleaseUndoesEveryLockAndFrees) {
    GlobalBlock holder;
    ASSERT_TRUE(holder.allocate(64));
    ASSERT_NE(holder.lock(), nullptr);
    ASSERT_NE(holder.lock(), nullptr);
    EXPECT_EQ(holder.lockCount, 2);
    holder.release();
    EXPECT_EQ(holder.handle, nullptr);
    EXPECT_EQ(holder.lockCount, 0);
}

}  // namespace
