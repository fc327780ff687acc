// Archive detection and listing as the host drives them: KRV_IsSupported with
// the archive service type and KRV_GetArchiveInfo on files written to disk by
// the archive writers, read back through a real file handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/entry_points.h"
#include "plugin/plugin_object.h"
#include "tests/support/param_names.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"

namespace {

using torvatest::AldLayout;
using torvatest::AldMember;
using torvatest::AldOptions;
using torvatest::AlkMember;
using torvatest::Bytes;
using torvatest::HostRecord;
using torvatest::OpenFile;
using torvatest::PutAldEntry;
using torvatest::PutLe32;
using torvatest::TempFile;

const HGLOBAL kUntouched = reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(0x5EED));

using torvatest::LabelOf;

// An ALD head: the given 3-byte entries t[0], t[1], ...
Bytes AldHead(const std::vector<uint32_t>& entries, size_t size = 0) {
    Bytes bytes;
    for (size_t i = 0; i < entries.size(); ++i) PutAldEntry(bytes, i, entries[i]);
    if (bytes.size() < size) bytes.resize(size, 0);
    return bytes;
}

Bytes AlkHead(uint32_t count, uint32_t firstOffset) {
    Bytes bytes = {'A', 'L', 'K', '0'};
    PutLe32(bytes, 4, count);
    PutLe32(bytes, 8, firstOffset);
    return bytes;
}

int32_t Detect(const Bytes& bytes, const std::string& name, uint32_t headSize) {
    HostRecord record(bytes, headSize, name, nullptr);
    int32_t kind = 77;
    EXPECT_EQ(KRV_IsSupported(record.get(), ServiceArchive, &kind), 0);
    return kind;
}

// ---------------------------------------------------------------- detection

struct DetectCase {
    const char* label;
    Bytes bytes;
    std::string name;
    uint32_t headSize;  // bytes supplied; UINT32_MAX = all of them
    int32_t kind;
};

class ArchiveDetectionTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(ArchiveDetectionTest, ReportsKind) {
    const DetectCase& c = GetParam();
    EXPECT_EQ(Detect(c.bytes, c.name, c.headSize), c.kind) << c.label;
}

const uint32_t kAll = UINT32_MAX;

Bytes AldWithBadEntryAt(size_t index) {
    // t[0] = 1, increasing entries, then a decreasing one at `index`.
    Bytes bytes = AldHead({1, 2, 3, 4, 5}, 512);
    PutAldEntry(bytes, index, 1);
    return bytes;
}

Bytes AlkInsideAldName() { return AlkHead(1, 16); }

std::vector<DetectCase> DetectCases() {
    const Bytes simple = AldHead({1, 2, 3, 0});
    return {
        {"simple ald", simple, "x.ald", kAll, ArchiveAld},
        {"same bytes, other extension", simple, "x.dat", kAll, ArchiveNone},
        {"upper-case extension", simple, "C:\\GAME\\X.ALD", kAll, ArchiveAld},
        {"mixed-case extension", simple, "x.AlD", kAll, ArchiveAld},
        {"ald.bak", simple, "x.ald.bak", kAll, ArchiveNone},
        {"aldx", simple, "x.aldx", kAll, ArchiveNone},
        {"no extension", simple, "ald", kAll, ArchiveNone},
        {"dot before the backslash", simple, "C:\\dir.ald\\x", kAll, ArchiveNone},
        {"dotted directory, ald file", simple, "C:\\a.b\\x.ald", kAll, ArchiveAld},
        {"t0 255, t1 510", AldHead({255, 510, 511, 512}), "x.ald", kAll, ArchiveAld},
        {"t0 255, t1 509", AldHead({255, 509, 511, 512}), "x.ald", kAll, ArchiveNone},
        {"t0 256", AldHead({256, 512, 513, 514}), "x.ald", kAll, ArchiveNone},
        {"t1 below 2 t0", AldHead({2, 3, 5, 6}), "x.ald", kAll, ArchiveNone},
        {"t2 equal to t1", AldHead({1, 2, 2, 0}), "x.ald", kAll, ArchiveNone},
        {"repeated entry", AldHead({1, 2, 3, 3}), "x.ald", kAll, ArchiveNone},
        {"stops at 0", AldHead({1, 2, 3, 0, 2}), "x.ald", kAll, ArchiveAld},
        {"t0 0", AldHead({0, 0, 0}), "x.ald", kAll, ArchiveAld},
        // dataSize 12 with t[0] = 1: only t[2] and t[3] are tested.
        {"bad entry beyond dataSize", AldWithBadEntryAt(4), "x.ald", 12, ArchiveAld},
        {"bad entry inside dataSize", AldWithBadEntryAt(4), "x.ald", 15, ArchiveNone},
        // t[84] is the last entry wholly inside one table sector; t[85]
        // straddles its end and is not part of the table.
        {"bad entry past the table", [] {
             Bytes b = AldHead({1, 2}, 600);
             for (size_t i = 2; i <= 84; ++i) PutAldEntry(b, i, static_cast<uint32_t>(i + 1));
             PutAldEntry(b, 85, 1);
             return b;
         }(), "x.ald", kAll, ArchiveAld},
        {"bad last entry of the table", [] {
             Bytes b = AldHead({1, 2}, 600);
             for (size_t i = 2; i <= 83; ++i) PutAldEntry(b, i, static_cast<uint32_t>(i + 1));
             PutAldEntry(b, 84, 1);
             return b;
         }(), "x.ald", kAll, ArchiveNone},
        {"ald needs 6 bytes", simple, "x.ald", 5, ArchiveNone},
        {"ald with exactly 6 bytes", simple, "x.ald", 6, ArchiveAld},
        {"alk header in an .ald file", AlkInsideAldName(), "x.ald", kAll, ArchiveAlk},
        {"alk", AlkHead(1, 16), "x.alk", kAll, ArchiveAlk},
        {"alk under any name", AlkHead(3, 32), "noext", kAll, ArchiveAlk},
        {"alk count 0", AlkHead(0, 8), "x.alk", kAll, ArchiveNone},
        {"alk count negative", AlkHead(0xFFFFFFFF, 0), "x.alk", kAll, ArchiveNone},
        {"alk wrong first offset", AlkHead(2, 16), "x.alk", kAll, ArchiveNone},
        {"alk count 2^29 wraps to 8", AlkHead(536870912, 8), "x.alk", kAll, ArchiveNone},
        {"alk largest count", AlkHead(536870910, 0xFFFFFFF8), "x.alk", kAll, ArchiveAlk},
        {"alk needs 12 bytes", AlkHead(1, 16), "x.alk", 11, ArchiveNone},
        {"wrong magic", [] {
             Bytes b = AlkHead(1, 16);
             b[3] = '1';
             return b;
         }(), "x.alk", kAll, ArchiveNone},
        {"empty", Bytes(), "x.ald", kAll, ArchiveNone},
    };
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveDetectionTest, ::testing::ValuesIn(DetectCases()),
                         LabelOf<DetectCase>);

// ------------------------------------------------------------------ listing

// The result of one listing; the block, if any, is copied out and freed.
struct Listing {
    int32_t result = -1;
    int32_t count = -1;
    HGLOBAL block = kUntouched;
    size_t blockSize = 0;
    std::vector<ArchiveEntry> entries;  // every record slot of the block
    Bytes raw;                          // the whole block
    std::string name(size_t i) const { return std::string(entries.at(i).name); }
};

Listing List(const Bytes& file, const std::string& name, uint32_t headSize = kAll) {
    TempFile temp(file, ".bin");
    OpenFile handle(temp.path());
    HostRecord record(file, headSize, name, handle.handle());
    Listing out;
    out.result = KRV_GetArchiveInfo(record.get(), &out.block, &out.count);
    if (out.result == 0 && out.block != kUntouched && out.block != nullptr) {
        out.blockSize = GlobalSize(out.block);
        // The block is handed over unlocked.
        EXPECT_EQ(GlobalFlags(out.block) & GMEM_LOCKCOUNT, 0u);
        out.raw = torvatest::BlockBytes(out.block, out.blockSize);
        out.entries.resize(out.blockSize / sizeof(ArchiveEntry));
        std::memcpy(out.entries.data(), out.raw.data(), out.entries.size() * sizeof(ArchiveEntry));
        GlobalFree(out.block);
    }
    return out;
}

uint64_t FileTimeValue(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

uint64_t LocalOf(uint64_t utc) {
    FILETIME in = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    FILETIME out = {0, 0};
    FileTimeToLocalFileTime(&in, &out);
    return FileTimeValue(out);
}

Bytes Filler(size_t size, unsigned seed) {
    torvatest::Random random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(random.next());
    return bytes;
}

bool AllZero(const Bytes& bytes, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

TEST(AldListingTest, RoundTripFromWriter) {
    const uint64_t stamp = 0x01D9A1B2C3D4E5F0ull;
    std::vector<AldMember> members(3);
    members[0].name = "CG0001.QNT";
    members[0].data = Filler(700, 1);
    members[0].utcFileTime = stamp;
    members[0].headerLength = 32;
    members[1].name = "a name of more than sixteen bytes.pms";
    members[1].data = Filler(10, 2);
    members[1].utcFileTime = stamp + 36000000000ull;
    members[1].headerLength = 96;  // longer than the 64 bytes read
    members[2].name = "empty";
    members[2].utcFileTime = stamp + 1;
    AldOptions options;
    options.tableSectors = 2;
    AldLayout layout;
    const Bytes file = torvatest::WriteAld(members, options, &layout);

    Listing listing = List(file, "C:\\game\\Data.ald");
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.count, 3);
    // (2 x 256 - 3) / 3 slots, allocated whole and never shrunk.
    EXPECT_EQ(listing.blockSize, size_t{169} * 304);
    for (size_t i = 0; i < members.size(); ++i) {
        const ArchiveEntry& e = listing.entries[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(listing.name(i), members[i].name);
        EXPECT_EQ(e.position, layout.dataPositions[i]);
        EXPECT_EQ(e.storedSize, static_cast<int64_t>(members[i].data.size()));
        EXPECT_EQ(e.size, e.storedSize);
        EXPECT_EQ(e.reserved, 0u);
        EXPECT_EQ(e.archiveKind, ArchiveAld);
        EXPECT_EQ(FileTimeValue(e.timestamp), LocalOf(members[i].utcFileTime));
        EXPECT_EQ(std::memcmp(e.typeTag, "TORVAALD", 8), 0);
        // The rest of the name field is zero.
        const size_t length = members[i].name.size();
        EXPECT_TRUE(AllZero(listing.raw, i * 304 + length, i * 304 + 256));
        // The host finds the member's bytes where the record says.
        ASSERT_LE(e.position + members[i].data.size(), file.size());
        EXPECT_TRUE(std::equal(members[i].data.begin(), members[i].data.end(), file.begin() + e.position));
    }
    EXPECT_TRUE(AllZero(listing.raw, 3 * 304, listing.raw.size()));
}

TEST(AldListingTest, HeaderLength32InSector5) {
    AldMember member;
    member.name = "a";
    member.data = Filler(40, 3);
    member.headerLength = 32;
    AldOptions options;
    options.firstMemberSector = 5;
    Listing listing = List(torvatest::WriteAld({member}, options), "x.ald");
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.count, 1);
    EXPECT_EQ(listing.entries[0].position, 1312u);
}

TEST(AldListingTest, EndMarkerFirstListsNothing) {
    Bytes file = torvatest::WriteAld({}, AldOptions());
    Listing listing = List(file, "x.ald");
    EXPECT_EQ(listing.result, 0);
    EXPECT_EQ(listing.count, 0);
    EXPECT_NE(listing.block, kUntouched);
    EXPECT_NE(listing.block, nullptr);
    EXPECT_TRUE(AllZero(listing.raw, 0, listing.raw.size()));
}

TEST(AldListingTest, EndMarkerStopsTheWalk) {
    std::vector<AldMember> members(2);
    members[0].name = "one";
    members[1].name = "two";
    AldLayout layout;
    Bytes file = torvatest::WriteAld(members, AldOptions(), &layout);
    // A readable header listed after the end marker is not reached.
    PutAldEntry(file, 5, layout.memberSectors[0]);
    Listing listing = List(file, "x.ald", 12);
    ASSERT_EQ(listing.result, 0);
    EXPECT_EQ(listing.count, 2);
}

struct SizeCase {
    uint32_t field;
    int64_t expected;
};

class ArchiveSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ArchiveSizeTest, SignExtendsAldSize) {
    AldMember member;
    member.name = "m";
    member.sizeField = GetParam().field;
    Listing listing = List(torvatest::WriteAld({member}), "x.ald");
    ASSERT_EQ(listing.count, 1);
    EXPECT_EQ(listing.entries[0].storedSize, GetParam().expected);
    EXPECT_EQ(listing.entries[0].size, GetParam().expected);
}

TEST_P(ArchiveSizeTest, SignExtendsAlkSize) {
    AlkMember row;
    row.data = Filler(4, 4);
    row.sizeField = GetParam().field;
    Listing listing = List(torvatest::WriteAlk({row}), "x.alk");
    ASSERT_EQ(listing.count, GetParam().field == 0 ? 0 : 1);
    if (GetParam().field == 0) return;
    EXPECT_EQ(listing.entries[0].storedSize, GetParam().expected);
    EXPECT_EQ(listing.entries[0].size, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ArchiveSizeTest,
                         ::testing::Values(SizeCase{0xFFFFFFFFu, -1}, SizeCase{0x80000000u, -2147483648LL},
                                           SizeCase{0x7FFFFFFFu, 2147483647LL}, SizeCase{5, 5}));

TEST(AldListingTest, FullTableWalksToItsLastWholeEntry) {
    // t[0] = 1 holds t[0]..t[84]: at most 83 members. t[85] straddles the
    // table's end; it is given a readable sector so that reading it would show.
    std::vector<AldMember> members(83);
    for (size_t i = 0; i < members.size(); ++i) members[i].name = "m" + std::to_string(i);
    AldOptions options;
    options.endMarker = false;
    AldLayout layout;
    Bytes file = torvatest::WriteAld(members, options, &layout);
    ASSERT_EQ(layout.memberSectors.back(), 85u);
    file[255] = 3;  // low byte of t[85]; bytes 256 and 257 are 0
    Listing listing = List(file, "x.ald");
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.count, 83);
    EXPECT_EQ(listing.name(82), "m82");
    EXPECT_EQ(listing.blockSize, size_t{84} * 304);
    EXPECT_TRUE(AllZero(listing.raw, 83 * 304, 84 * 304));
}

TEST(AldListingTest, ShortTableReadEndsTheWalk) {
    // The file ends inside its table's second sector: the entries the read
    // does not deliver are zero.
    std::vector<AldMember> members(2);
    members[0].name = "x";
    members[1].name = "y";
    AldOptions options;
    options.tableSectors = 2;
    AldLayout layout;
    Bytes file = torvatest::WriteAld(members, options, &layout);
    Listing full = List(file, "x.ald");
    EXPECT_EQ(full.count, 2);
    Bytes cut(file.begin(), file.begin() + 9);  // t[0], t[1], t[2] only
    Listing listing = List(cut, "x.ald");
    ASSERT_EQ(listing.result, 0);
    EXPECT_EQ(listing.count, 0);  // t[2]'s sector lies past the end of the file
}

struct UnreadableCase {
    const char* label;
    uint32_t sector;  // sector of the second table member
};

class AldUnreadableHeaderTest : public ::testing::TestWithParam<UnreadableCase> {};

// A header that cannot be read whole ends the walk: the members after it in
// the table are not listed, even a readable one. The head supplied stops at
// t[3], so detection does not see that t[4] goes back.
TEST_P(AldUnreadableHeaderTest, EndsTheWalk) {
    std::vector<AldMember> members(2);
    members[0].name = "first";
    members[0].data = Filler(300, 5);
    members[1].name = "second";
    members[1].data = Filler(300, 6);
    AldLayout layout;
    Bytes file = torvatest::WriteAld(members, AldOptions(), &layout);
    uint32_t sector = GetParam().sector;
    if (sector == 0) {
        // Within the file but fewer than 64 bytes from its end.
        sector = static_cast<uint32_t>(file.size() / 256);
        file.resize(file.size() + 20, 0x11);
    }
    PutAldEntry(file, 3, sector);
    PutAldEntry(file, 4, layout.memberSectors[1]);
    PutAldEntry(file, 5, 0);
    Listing listing = List(file, "x.ald", 12);
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.count, 1);
    EXPECT_EQ(listing.name(0), "first");
}

INSTANTIATE_TEST_SUITE_P(Cases, AldUnreadableHeaderTest,
                         ::testing::Values(UnreadableCase{"header cut by the end of the file", 0},
                                           UnreadableCase{"sector past the end of the file", 4000},
                                           UnreadableCase{"sector at 2 GiB", 0x800000},
                                           UnreadableCase{"last sector below 2^24", 0xFFFFFF}),
                         LabelOf<UnreadableCase>);

TEST(AldListingTest, UnterminatedNameIsCutTo48Bytes) {
    AldMember member;
    member.name = std::string(48, 'n');
    member.headerLength = 64;
    member.data = Bytes(64, 'D');  // right behind the name, no zero
    Listing listing = List(torvatest::WriteAld({member}), "x.ald");
    ASSERT_EQ(listing.count, 1);
    EXPECT_EQ(listing.name(0), std::string(48, 'n'));
    EXPECT_TRUE(AllZero(listing.raw, 48, 256));
}

TEST(AldListingTest, TableSectorsZeroIsOutOfMemory) {
    Bytes file = AldHead({0, 0, 0}, 512);
    Listing listing = List(file, "x.ald");
    EXPECT_EQ(listing.result, 1);
    EXPECT_EQ(listing.count, 0);
    EXPECT_EQ(listing.block, kUntouched);
}

TEST(AlkListingTest, EmptyRowsDoNotAdvanceTheNumber) {
    Bytes file = {'A', 'L', 'K', '0'};
    PutLe32(file, 4, 3);
    const uint32_t rows[3][2] = {{32, 10}, {42, 0}, {42, 7}};
    for (int i = 0; i < 3; ++i) {
        PutLe32(file, 8 + 8 * i, rows[i][0]);
        PutLe32(file, 12 + 8 * i, rows[i][1]);
    }
    file.resize(49, 'z');
    Listing listing = List(file, "C:\\data\\Voice.alk");
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.count, 2);
    EXPECT_EQ(listing.name(0), "Voice_001.dat");
    EXPECT_EQ(listing.entries[0].position, 32u);
    EXPECT_EQ(listing.entries[0].size, 10);
    EXPECT_EQ(listing.name(1), "Voice_002.dat");
    EXPECT_EQ(listing.entries[1].position, 42u);
    EXPECT_EQ(listing.entries[1].storedSize, 7);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(listing.entries[i].archiveKind, ArchiveAlk);
        EXPECT_EQ(FileTimeValue(listing.entries[i].timestamp), 0u);
        EXPECT_EQ(std::memcmp(listing.entries[i].typeTag, "TORVAALK", 8), 0);
    }
    // One slot per row; the slot of the empty row's share stays zero.
    EXPECT_EQ(listing.blockSize, size_t{3} * 304);
    EXPECT_TRUE(AllZero(listing.raw, 2 * 304, 3 * 304));
}

TEST(AlkListingTest, RoundTripFromWriterWithFourDigitNumbers) {
    std::vector<AlkMember> rows;
    for (int i = 0; i < 1001; ++i) {
        if (i == 500) rows.push_back(AlkMember::Empty());
        AlkMember row;
        row.data = Filler(1 + i % 7, 100 + i);
        rows.push_back(row);
    }
    const Bytes file = torvatest::WriteAlk(rows);
    Listing listing = List(file, "bgm.alk", 64);
    ASSERT_EQ(listing.result, 0);
    ASSERT_EQ(listing.count, 1001);
    EXPECT_EQ(listing.blockSize, size_t{1002} * 304);
    EXPECT_EQ(listing.name(0), "bgm_001.dat");
    EXPECT_EQ(listing.name(500), "bgm_501.dat");  // after the empty row
    EXPECT_EQ(listing.name(998), "bgm_999.dat");
    EXPECT_EQ(listing.name(999), "bgm_1000.dat");
    EXPECT_EQ(listing.name(1000), "bgm_1001.dat");
    size_t member = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].empty) continue;
        const ArchiveEntry& e = listing.entries[member++];
        ASSERT_EQ(e.size, static_cast<int64_t>(rows[i].data.size()));
        ASSERT_TRUE(std::equal(rows[i].data.begin(), rows[i].data.end(), file.begin() + e.position));
    }
}

TEST(AlkListingTest, LastRecordEndsTheBlock) {
    // Every row filled: the last record occupies the block's last 304 bytes,
    // its tag the very last 8, and nothing is written past them.
    std::vector<AlkMember> rows(3);
    for (auto& row : rows) row.data = Filler(3, 9);
    Listing listing = List(torvatest::WriteAlk(rows), "x.alk");
    ASSERT_EQ(listing.count, 3);
    ASSERT_EQ(listing.blockSize, size_t{3} * 304);
    EXPECT_EQ(std::memcmp(listing.raw.data() + listing.raw.size() - 8, "TORVAALK", 8), 0);
}

struct BaseNameCase {
    std::string path;
    std::string first;
};

class AlkNameTest : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(AlkNameTest, FormsNamesFromTheBaseName) {
    AlkMember row;
    row.data = Filler(2, 1);
    Listing listing = List(torvatest::WriteAlk({row}), GetParam().path);
    ASSERT_EQ(listing.count, 1);
    EXPECT_EQ(listing.name(0), GetParam().first);
    EXPECT_TRUE(AllZero(listing.raw, GetParam().first.size(), 256));
}

INSTANTIATE_TEST_SUITE_P(
    Names, AlkNameTest,
    ::testing::Values(BaseNameCase{"C:\\data\\Voice.alk", "Voice_001.dat"},
                      BaseNameCase{"a.b.alk", "a.b_001.dat"}, BaseNameCase{"noext", "noext_001.dat"},
                      BaseNameCase{"C:\\dir.x\\name", "name_001.dat"},
                      BaseNameCase{"sub/dir.d/v.alk", "sub/dir.d/v_001.dat"},
                      BaseNameCase{".alk", "_001.dat"},
                      // 247 bytes of base name fill the field exactly.
                      BaseNameCase{std::string(247, 'a') + ".alk", std::string(247, 'a') + "_001.dat"},
                      // Longer ones are cut so that the field ends in a terminator.
                      BaseNameCase{std::string(250, 'b') + ".alk", std::string(250, 'b') + "_001."},
                      // A base name beyond the 260-byte buffer loses its tail,
                      // extension included, before the name is formed.
                      BaseNameCase{"C:\\" + std::string(300, 'c') + ".alk", std::string(255, 'c')}));

struct RefusedCase {
    const char* label;
    Bytes file;
    std::string name;
    int32_t result;
};

class ArchiveRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

// Files that are no archive, and archives whose block cannot be provided:
// count 0, the handle not written.
TEST_P(ArchiveRefusedTest, LeavesTheHandleAlone) {
    Listing listing = List(GetParam().file, GetParam().name);
    EXPECT_EQ(listing.result, GetParam().result);
    EXPECT_EQ(listing.count, 0);
    EXPECT_EQ(listing.block, kUntouched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveRefusedTest,
    ::testing::Values(RefusedCase{"not an archive", AldHead({1, 2, 3, 0}, 256), "x.dat", 0},
                      RefusedCase{"t0 zero", AldHead({0, 0, 0}, 256), "x.ald", 1},
                      // 8 x count is about 4 GiB: no table buffer that large.
                      RefusedCase{"alk count near 2^29", AlkHead(536870910, 0xFFFFFFF8), "x.alk", 1},
                      // The table fits, but 304 x count is beyond a block.
                      RefusedCase{"alk block too large", AlkHead(1000000, 8000008), "x.alk", 1}),
    LabelOf<RefusedCase>);

// A derived class's detection is honoured by the listing.
class FixedDetection : public FormatPlugin {
public:
    FixedDetection(int32_t result, int32_t kind)
        : FormatPlugin(1, 3, "T", "A", "V", 0, nullptr, 0, nullptr), result_(result), kind_(kind) {}
    int32_t isSupportedArchive(const FileAccess*, int32_t* kind) override {
        *kind = kind_;
        return result_;
    }

private:
    int32_t result_;
    int32_t kind_;
};

TEST(ArchiveListingDetectionTest, PassesOnADetectionFailure) {
    FixedDetection plugin(7, ArchiveAlk);
    HostRecord record(AlkHead(1, 16), "x.alk");
    HGLOBAL block = kUntouched;
    int32_t count = 5;
    EXPECT_EQ(plugin.getArchiveInfo(record.get(), &block, &count), 7);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(block, kUntouched);
}

TEST(ArchiveListingDetectionTest, HeadTooShortForTheClaimedKindIsNoArchive) {
    for (int32_t kind : {int32_t{ArchiveAld}, int32_t{ArchiveAlk}, int32_t{9}}) {
        FixedDetection plugin(0, kind);
        HostRecord record(Bytes{1, 0}, "x.ald");
        HGLOBAL block = kUntouched;
        int32_t count = 5;
        EXPECT_EQ(plugin.getArchiveInfo(record.get(), &block, &count), 0);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(block, kUntouched);
    }
}

}  // namespace

namespace {

// ------------------------------------------------ tables the file lacks

struct DeclaredTableCase {
    const char* label;
    int32_t declaredRows;  // the count in the head
    uint32_t rowsPresent;  // rows actually in the file (offset 8 x count + 8, size 5)
    int32_t members;
    size_t blockRecords;
};

void PrintTo(const DeclaredTableCase& c, std::ostream* os) { *os << c.label; }

class AlkDeclaredTableTest : public ::testing::TestWithParam<DeclaredTableCase> {};

// A head of a few bytes can declare a table of hundreds of thousands of rows.
// The block is sized for the rows the file delivers, never for the ones it
// lacks; a file with its whole table gets the full size.
TEST_P(AlkDeclaredTableTest, BlockIsSizedByTheRowsPresent) {
    const DeclaredTableCase& c = GetParam();
    // The head needs the first offset even when no whole row follows it.
    Bytes file = {'A', 'L', 'K', '0'};
    file.resize(std::max<size_t>(12, 8 + 8 * size_t{c.rowsPresent}), 0);
    torvatest::PutLe32(file, 4, static_cast<uint32_t>(c.declaredRows));
    const uint32_t dataAt = 8 * static_cast<uint32_t>(c.declaredRows) + 8;
    torvatest::PutLe32(file, 8, dataAt);
    for (uint32_t r = 0; r < c.rowsPresent; ++r) {
        torvatest::PutLe32(file, 8 + 8 * r, dataAt);
        torvatest::PutLe32(file, 12 + 8 * r, 5);
    }
    Listing listing = List(file, "big.alk");
    ASSERT_EQ(listing.result, 0);
    EXPECT_EQ(listing.count, c.members);
    EXPECT_EQ(listing.blockSize, c.blockRecords * sizeof(ArchiveEntry));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlkDeclaredTableTest,
    ::testing::Values(
        // 883011 rows is the most whose records fit in 256 MiB.
        DeclaredTableCase{"only the first offset", 883011, 0, 0, 1},
        DeclaredTableCase{"three of 883011 rows", 883011, 3, 3, 3},
        DeclaredTableCase{"three of 1000 rows", 1000, 3, 3, 3},
        DeclaredTableCase{"whole table", 4, 4, 4, 4}),
    [](const ::testing::TestParamInfo<DeclaredTableCase>& info) {
        std::string name;
        for (const char* p = info.param.label; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

}  // namespace
