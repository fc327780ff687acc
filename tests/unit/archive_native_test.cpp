// Archive listing under the stand-in platform's hooks: every allocation that
// can fail, a lock that fails, a known time zone, and double-byte names in
// code page 932.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string>
#include <vector>

#include "platform/standin/standin_control.h"
#include "plugin/entry_points.h"
#include "tests/support/param_names.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"

namespace {

using torvatest::AldMember;
using torvatest::AlkMember;
using torvatest::Bytes;
using torvatest::HostRecord;
using torvatest::OpenFile;
using torvatest::TempFile;

const HGLOBAL kUntouched = reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(0x5EED));

using torvatest::LabelOf;

Bytes SmallAld() {
    std::vector<AldMember> members(2);
    members[0].name = "a.qnt";
    members[0].data = Bytes(100, 1);
    members[1].name = "b.pms";
    members[1].data = Bytes(10, 2);
    return torvatest::WriteAld(members);
}

Bytes SmallAlk() {
    std::vector<AlkMember> rows(2);
    rows[0].data = Bytes(5, 1);
    rows[1].data = Bytes(6, 2);
    return torvatest::WriteAlk(rows);
}

// Lists a file written to disk; the block, if any, is freed afterwards.
struct Listed {
    int32_t result;
    int32_t count;
    HGLOBAL block;
    std::vector<ArchiveEntry> entries;
};

// `before` runs just before the call, after the file and record are ready,
// so that it arms hooks for the listing's own allocations only.
template <typename Before>
Listed ListWith(const Bytes& file, const std::string& name, Before before) {
    TempFile temp(file, ".bin");
    OpenFile handle(temp.path());
    HostRecord record(file, name, handle.handle());
    Listed out{-1, -1, kUntouched, {}};
    before();
    out.result = KRV_GetArchiveInfo(record.get(), &out.block, &out.count);
    standin::FailAllocationAfter(0);
    if (out.result == 0 && out.block != kUntouched) {
        const Bytes raw = torvatest::BlockBytes(out.block, GlobalSize(out.block));
        out.entries.resize(raw.size() / sizeof(ArchiveEntry));
        std::memcpy(out.entries.data(), raw.data(), out.entries.size() * sizeof(ArchiveEntry));
        GlobalFree(out.block);
    }
    return out;
}

Listed List(const Bytes& file, const std::string& name) {
    return ListWith(file, name, [] {});
}

struct FailureCase {
    const char* label;
    bool alk;
    long failAllocation;  // the n-th allocation of the listing fails; 0: none
    bool failLock;
};

class ArchiveAllocationFailureTest : public ::testing::TestWithParam<FailureCase> {};

// A lock refused on the fresh block (allocation failures are swept in
// allocation_sweep_native_test.cpp) answers OutOfMemory with count 0, the
// handle unwritten, no block left alive and none left locked.
TEST_P(ArchiveAllocationFailureTest, ReleasesEverything) {
    const FailureCase& c = GetParam();
    const long liveBefore = standin::LiveGlobalBlocks();
    Listed listed = ListWith(c.alk ? SmallAlk() : SmallAld(), c.alk ? "x.alk" : "x.ald", [&] {
        standin::FailAllocationAfter(c.failAllocation);
        if (c.failLock) standin::FailNextLock();
    });
    EXPECT_EQ(listed.result, 1);
    EXPECT_EQ(listed.count, 0);
    EXPECT_EQ(listed.block, kUntouched);
    EXPECT_EQ(standin::LiveGlobalBlocks(), liveBefore);
    EXPECT_EQ(standin::LockedGlobalBlocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, ArchiveAllocationFailureTest,
                         ::testing::Values(FailureCase{"ald lock", false, 0, true},
                                           FailureCase{"alk lock", true, 0, true}),
                         LabelOf<FailureCase>);

// Sets a time zone for one test and restores the previous one.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (hadOld_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(AldTimeStampTest, ConvertsUtcToLocalTime) {
    ZoneScope zone("JST-9");
    AldMember member;
    member.name = "t";
    member.utcFileTime = 0x01D9000000000000ull;
    Listed listed = List(torvatest::WriteAld({member}), "x.ald");
    ASSERT_EQ(listed.count, 1);
    const FILETIME& t = listed.entries[0].timestamp;
    const uint64_t local = (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
    EXPECT_EQ(local, member.utcFileTime + 9ull * 3600 * 10000000);
}

TEST(AldTimeStampTest, UnconvertibleStampIsZero) {
    ZoneScope zone("JST-9");
    AldMember member;
    member.name = "t";
    member.utcFileTime = 0x8000000000000000ull;  // beyond the range of file times
    Listed listed = List(torvatest::WriteAld({member}), "x.ald");
    ASSERT_EQ(listed.count, 1);
    EXPECT_EQ(listed.entries[0].timestamp.dwLowDateTime, 0u);
    EXPECT_EQ(listed.entries[0].timestamp.dwHighDateTime, 0u);
}

// ------------------------------------------------------ code page 932 names

struct Cp932Case {
    const char* label;
    std::string fileName;
    std::string expected;
};

class AlkCp932NameTest : public ::testing::TestWithParam<Cp932Case> {};

TEST_P(AlkCp932NameTest, KeepsDoubleByteCharactersWhole) {
    standin::CodePageScope codePage(932);
    AlkMember row;
    row.data = Bytes(3, 7);
    Listed listed = List(torvatest::WriteAlk({row}), GetParam().fileName);
    ASSERT_EQ(listed.count, 1);
    EXPECT_EQ(std::string(listed.entries[0].name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, AlkCp932NameTest,
    ::testing::Values(
        // 0x5C is this character's trail byte, not a separator.
        Cp932Case{"trail byte 5C", "\x95\x5C.alk", "\x95\x5C_001.dat"},
        Cp932Case{"trail byte 5C in a path", "C:\\\x83\x5C\\\x95\x5C.alk", "\x95\x5C_001.dat"},
        // A trail byte that is also a lead byte value must not start a
        // character of its own.
        Cp932Case{"trail byte in lead range", "\x88\x9F.alk", "\x88\x9F_001.dat"},
        // A double-byte character across the field's last byte is dropped
        // whole: 254 single bytes, then one that would need bytes 254 and 255.
        Cp932Case{"character across the field end", std::string(254, 'a') + "\x95\x5C" "b.alk",
                  std::string(254, 'a')},
        Cp932Case{"character ending at the field end", std::string(253, 'a') + "\x95\x5C" "b.alk",
                  std::string(253, 'a') + "\x95\x5C"}),
    LabelOf<Cp932Case>);

struct AldNameCase {
    const char* label;
    std::string stored;  // 48 bytes, no terminator
    std::string expected;
};

class AldCp932NameTest : public ::testing::TestWithParam<AldNameCase> {};

TEST_P(AldCp932NameTest, CutsUnterminatedNamesAt48Bytes) {
    standin::CodePageScope codePage(932);
    AldMember member;
    member.name = GetParam().stored;
    ASSERT_EQ(member.name.size(), 48u);
    member.headerLength = 64;
    member.data = Bytes(16, 0x9F);  // lead bytes right behind the name
    Listed listed = List(torvatest::WriteAld({member}), "x.ald");
    ASSERT_EQ(listed.count, 1);
    EXPECT_EQ(std::string(listed.entries[0].name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, AldCp932NameTest,
    ::testing::Values(AldNameCase{"lead byte last", std::string(47, 'n') + "\x95", std::string(47, 'n')},
                      AldNameCase{"whole character last", std::string(46, 'n') + "\x95\x5C",
                                  std::string(46, 'n') + "\x95\x5C"},
                      AldNameCase{"trail byte in lead range last",
                                  std::string(45, 'n') + "\x95" "\x95\x95",
                                  std::string(45, 'n') + "\x95\x95"}),
    LabelOf<AldNameCase>);

}  // namespace
