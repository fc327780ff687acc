// Naming ALK members when memory runs out: every allocation of a listing
// made to fail in turn answers OutOfMemory, the count ending before the
// member that needed the memory.
#include <gtest/gtest.h>

#include <vector>

#include "platform/standin/standin_control.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/vsp_writer.h"
#include "torvasoft/torvasoft.h"

namespace {

using torvatest::Bytes;

TEST(AlkMemberNamesNative, EveryAllocationFailsCleanly) {
    std::vector<torvatest::AlkMember> rows(3);
    rows[0].data = Bytes{'Q', 'N', 'T', 0, 9, 9, 9, 9};  // no QNT: only magic
    rows[1].data = torvatest::WriteVsp(torvatest::MakeVspPicture(32, 16, 2), 2);
    rows[2].data = Bytes(40, 0x41);
    const Bytes archive = torvatest::WriteAlk(rows);
    std::vector<torvasoft_member> members(rows.size());
    long failures = 0;
    for (long n = 1;; ++n) {
        size_t count = 99;
        standin::FailAllocationAfter(n);
        const torvasoft_status status = torvasoft_list_memory(archive.data(), archive.size(), "a.alk", nullptr,
                                                              members.data(), members.size(), &count);
        const bool injected = standin::AllocationsSinceArm() >= n;
        standin::FailAllocationAfter(0);
        if (!injected) {
            ASSERT_EQ(status, TORVASOFT_COMPLETE);
            ASSERT_EQ(count, 3u);
            EXPECT_STREQ(members[1].raw_name, "a_002.vsp");
            break;
        }
        ++failures;
        EXPECT_EQ(status, TORVASOFT_OUT_OF_MEMORY) << "allocation " << n;
        // The listing's own buffers come first, then the VSP scratch, which
        // the second member needs.
        EXPECT_LE(count, 1u) << "allocation " << n;
    }
    // The head, the table and the two VSP buffers.
    EXPECT_EQ(failures, 4);
}

}  // namespace
