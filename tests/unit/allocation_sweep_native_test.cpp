// Allocation-failure sweep over every archive and image path: the first, the
// second, the third ... allocation of a call is made to fail in turn, until a
// call goes through with no failure injected. Each allocation has a known
// consequence:
//   - the call's own memory (the output block, the archive table, the 16-bit
//     scratch and the alpha plane buffer) answers OutOfMemory, with count or
//     size 0, the caller's handle untouched, and no block left alive or locked;
//   - a decoder's own scratch memory (its history or inflate buffer) leaves
//     that decoder's part of the bitmap zero, and the call still succeeds.
// Heap buffers that leak are caught by LeakSanitizer in the sanitizer build.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/reusable_buffer.h"
#include "platform/standin/standin_control.h"
#include "plugin/entry_points.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;
using torvatest::HostRecord;

const HGLOBAL kCallerHandle = reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(0x5150));

// What a failure of the n-th allocation must lead to.
enum class Consequence {
    OutOfMemory,  // the call fails and releases everything
    Blank,        // the call succeeds; the decoder's pixels stay zero
    ColourBlank,  // the call succeeds with colour bytes zero and alpha complete
    AlphaBlank,   // the call succeeds with complete colours and alpha bytes zero
};

const char* NameOf(Consequence c) {
    switch (c) {
        case Consequence::OutOfMemory:
            return "OutOfMemory";
        case Consequence::Blank:
            return "Blank";
        case Consequence::ColourBlank:
            return "ColourBlank";
        case Consequence::AlphaBlank:
            return "AlphaBlank";
    }
    return "?";
}

// ---------------------------------------------------------------- images

struct ImageCall {
    long allocations = 0;  // made by the call
    int32_t result = -1;
    HGLOBAL handle = kCallerHandle;
    uint32_t size = 12345;
    Bytes bytes;  // the block's first `size` bytes, when the call succeeded
};

ImageCall GetImage(const HostRecord& record, int32_t mode, long failAllocation) {
    ImageCall call;
    // Each call starts without a scratch kept from the call before, so that
    // it makes every allocation it can.
    torva::ReleaseKeptBuffer();
    standin::FailAllocationAfter(failAllocation);
    call.result = KRV_GetImage(record.get(), &call.handle, &call.size, mode);
    call.allocations = standin::AllocationsSinceArm();
    standin::FailAllocationAfter(0);
    if (call.result == 0 && call.handle != kCallerHandle && call.handle != nullptr) {
        EXPECT_EQ(GlobalFlags(call.handle) & GMEM_LOCKCOUNT, 0u) << "block handed over locked";
        call.bytes = torvatest::BlockBytes(call.handle, call.size);
        EXPECT_EQ(GlobalFree(call.handle), nullptr);
    }
    return call;
}

uint32_t OffBits(const Bytes& bitmap) {
    uint32_t offBits = 0;
    std::memcpy(&offBits, bitmap.data() + 10, 4);
    return offBits;
}

struct ImageCase {
    const char* label;
    std::function<Bytes()> make;
    const char* name;
    int32_t mode;
    std::vector<Consequence> consequences;  // of allocations 1, 2, ...
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.label; }

class ImageAllocationSweepTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageAllocationSweepTest, EveryAllocationFailsCleanly) {
    const ImageCase& c = GetParam();
    const HostRecord record(c.make(), c.name);
    const long blocksBefore = standin::LiveGlobalBlocks();

    const ImageCall clean = GetImage(record, c.mode, 0);
    ASSERT_EQ(clean.result, 0);
    ASSERT_GT(clean.bytes.size(), 54u);
    const uint32_t offBits = OffBits(clean.bytes);
    // The picture must have something to lose in every part.
    ASSERT_NE(std::vector<unsigned char>(clean.bytes.begin() + offBits, clean.bytes.end()),
              std::vector<unsigned char>(clean.bytes.size() - offBits, 0));

    size_t n = 1;
    for (;; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        const ImageCall call = GetImage(record, c.mode, static_cast<long>(n));
        const bool injected = call.allocations >= static_cast<long>(n);
        EXPECT_EQ(standin::LiveGlobalBlocks(), blocksBefore);
        EXPECT_EQ(standin::LockedGlobalBlocks(), 0);
        if (!injected) {
            // Past the last allocation: the call is the clean one.
            EXPECT_EQ(call.result, 0);
            EXPECT_EQ(call.bytes, clean.bytes);
            break;
        }
        ASSERT_LE(n, c.consequences.size()) << "the call makes more allocations than expected";
        const Consequence expected = c.consequences[n - 1];
        SCOPED_TRACE(NameOf(expected));
        if (expected == Consequence::OutOfMemory) {
            EXPECT_EQ(call.result, 1);
            EXPECT_EQ(call.handle, kCallerHandle);
            EXPECT_EQ(call.size, 0u);
            continue;
        }
        ASSERT_EQ(call.result, 0);
        ASSERT_EQ(call.size, clean.size);
        // Headers and colour table as in the clean call; only pixels differ.
        EXPECT_TRUE(std::equal(call.bytes.begin(), call.bytes.begin() + offBits, clean.bytes.begin()));
        for (size_t i = offBits; i < call.bytes.size(); ++i) {
            const bool alphaByte = (i - offBits) % 4 == 3;
            const bool lost = expected == Consequence::Blank ||
                              (expected == Consequence::ColourBlank && !alphaByte) ||
                              (expected == Consequence::AlphaBlank && alphaByte);
            const unsigned char want = lost ? 0 : clean.bytes[i];
            if (call.bytes[i] != want) {
                ADD_FAILURE() << "pixel byte " << i - offBits << " is " << int{call.bytes[i]} << ", not "
                              << int{want};
                break;
            }
        }
    }
    EXPECT_EQ(n, c.consequences.size() + 1) << "the call makes fewer allocations than expected";
}

Bytes Qnt(bool alpha) {
    return torvatest::WriteQnt(torvatest::RandomQntPicture(13, 7, alpha, 11), torvatest::QntOptions());
}

Bytes Pms(int depth, bool alpha, uint32_t width) {
    return torvatest::WritePms(torvatest::MakePmsPicture(width, 6, depth, alpha, 2, 21), 21);
}

Bytes Vsp() { return torvatest::WriteVsp(torvatest::MakeVspPicture(24, 9, 31), 31); }

using C = Consequence;

INSTANTIATE_TEST_SUITE_P(
    Paths, ImageAllocationSweepTest,
    ::testing::Values(
        // Output block, then the inflate buffer.
        ImageCase{"qnt24", [] { return Qnt(false); }, "a.qnt", 0, {C::OutOfMemory, C::Blank}},
        ImageCase{"qnt32", [] { return Qnt(true); }, "a.qnt", -1, {C::OutOfMemory, C::Blank}},
        // Output block, then the history.
        ImageCase{"pms8", [] { return Pms(8, false, 11); }, "a.pms", 0, {C::OutOfMemory, C::Blank}},
        // Output block, 16-bit scratch, 16-bit history.
        ImageCase{"pms16_mode0", [] { return Pms(16, false, 9); }, "a.pms", 0,
                  {C::OutOfMemory, C::OutOfMemory, C::Blank}},
        ImageCase{"pms16_mode0_alpha_unread", [] { return Pms(16, true, 9); }, "a.pms", 3,
                  {C::OutOfMemory, C::OutOfMemory, C::Blank}},
        ImageCase{"pms16_negative", [] { return Pms(16, false, 9); }, "a.pms", -1,
                  {C::OutOfMemory, C::OutOfMemory, C::Blank}},
        // ... then the alpha plane and the alpha plane's history. Without its
        // history the colour decoder leaves the colours zero, but the alpha
        // plane is still decoded.
        ImageCase{"pms16_negative_alpha", [] { return Pms(16, true, 9); }, "a.pms", -1,
                  {C::OutOfMemory, C::OutOfMemory, C::ColourBlank, C::OutOfMemory, C::AlphaBlank}},
        // Only the output block: the decoder works in fixed local storage.
        ImageCase{"vsp", Vsp, "a.vsp", 0, {C::OutOfMemory}}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.label); });

// -------------------------------------------------------------- archives

struct ArchiveCall {
    long allocations = 0;  // made by the call
    int32_t result = -1;
    int32_t count = -1;
    HGLOBAL handle = kCallerHandle;
    Bytes records;
};

ArchiveCall ListArchive(const HostRecord& record, long failAllocation) {
    ArchiveCall call;
    standin::FailAllocationAfter(failAllocation);
    call.result = KRV_GetArchiveInfo(record.get(), &call.handle, &call.count);
    call.allocations = standin::AllocationsSinceArm();
    standin::FailAllocationAfter(0);
    if (call.result == 0 && call.handle != kCallerHandle && call.handle != nullptr) {
        EXPECT_EQ(GlobalFlags(call.handle) & GMEM_LOCKCOUNT, 0u) << "block handed over locked";
        call.records = torvatest::BlockBytes(call.handle, static_cast<size_t>(call.count) * sizeof(ArchiveEntry));
        EXPECT_EQ(GlobalFree(call.handle), nullptr);
    }
    return call;
}

struct ArchiveCase {
    const char* label;
    std::function<Bytes()> make;
    const char* name;
    int32_t members;
};

void PrintTo(const ArchiveCase& c, std::ostream* os) { *os << c.label; }

class ArchiveAllocationSweepTest : public ::testing::TestWithParam<ArchiveCase> {};

// The table buffer and the result block are the listing's only allocations,
// and both are its own: each failure answers OutOfMemory.
TEST_P(ArchiveAllocationSweepTest, EveryAllocationFailsCleanly) {
    const ArchiveCase& c = GetParam();
    const Bytes file = c.make();
    torvatest::TempFile temp(file, ".bin");
    torvatest::OpenFile handle(temp.path());
    const HostRecord record(file, 16, c.name, handle.handle());
    const long blocksBefore = standin::LiveGlobalBlocks();

    const ArchiveCall clean = ListArchive(record, 0);
    ASSERT_EQ(clean.result, 0);
    ASSERT_EQ(clean.count, c.members);

    long n = 1;
    for (;; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        const ArchiveCall call = ListArchive(record, n);
        const bool injected = call.allocations >= n;
        EXPECT_EQ(standin::LiveGlobalBlocks(), blocksBefore);
        EXPECT_EQ(standin::LockedGlobalBlocks(), 0);
        if (!injected) {
            EXPECT_EQ(call.result, 0);
            EXPECT_EQ(call.count, clean.count);
            EXPECT_EQ(call.records, clean.records);
            break;
        }
        EXPECT_EQ(call.result, 1);
        EXPECT_EQ(call.count, 0);
        EXPECT_EQ(call.handle, kCallerHandle);
    }
    EXPECT_EQ(n, 3) << "the table and the block, and nothing else";
}

Bytes AldOfThree() {
    std::vector<torvatest::AldMember> members(3);
    members[0].name = "one.qnt";
    members[0].data = Bytes(300, 1);
    members[1].name = "two.pms";
    members[1].data = Bytes(10, 2);
    members[1].headerLength = 96;
    members[2].name = "three.vsp";
    members[2].data = Bytes(1, 3);
    torvatest::AldOptions options;
    options.tableSectors = 2;
    return torvatest::WriteAld(members, options);
}

Bytes AlkWithEmptyRows() {
    std::vector<torvatest::AlkMember> rows(4);
    rows[0].data = Bytes(5, 1);
    rows[1] = torvatest::AlkMember::Empty();
    rows[2].data = Bytes(6, 2);
    rows[3] = torvatest::AlkMember::Empty();
    return torvatest::WriteAlk(rows);
}

INSTANTIATE_TEST_SUITE_P(Paths, ArchiveAllocationSweepTest,
                         ::testing::Values(ArchiveCase{"ald", AldOfThree, "x.ald", 3},
                                           ArchiveCase{"alk", AlkWithEmptyRows, "x.alk", 2}),
                         [](const ::testing::TestParamInfo<ArchiveCase>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
