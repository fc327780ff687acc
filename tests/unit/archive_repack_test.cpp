// The archive structure and the rebuild from it, over hand-made archives of
// odd framing: every archive comes back byte for byte, and a resized or
// rewritten member changes only its own bytes, its own table fields and the
// positions after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "author/archive_repacker.h"
#include "formats/archive_structure.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "torvasoft/torvasoft.h"

namespace {

using author::AuthorStatus;
using torva::archive::ArchiveStructure;
using torvatest::Bytes;

Bytes Pattern(size_t size, unsigned seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 7 + (i >> 5));
    return bytes;
}

uint32_t ReadMemory(void* context, uint32_t offset, void* buffer, uint32_t count) {
    const Bytes& file = *static_cast<const Bytes*>(context);
    if (offset >= file.size()) return 0;
    const uint32_t delivered = std::min<uint32_t>(count, uint32_t(file.size() - offset));
    std::memcpy(buffer, file.data() + offset, delivered);
    return delivered;
}

class VectorSink : public author::ArchiveSink {
public:
    explicit VectorSink(const std::vector<Bytes>& members) : members_(members) {}
    bool write(const uint8_t* bytes, size_t count) override {
        out.insert(out.end(), bytes, bytes + count);
        return true;
    }
    bool writeMember(size_t index) override {
        out.insert(out.end(), members_[index].begin(), members_[index].end());
        return true;
    }
    Bytes out;

private:
    const std::vector<Bytes>& members_;
};

bool ReadStructure(const Bytes& file, bool ald, ArchiveStructure& structure) {
    const torva::ByteSpan head{file.data(), uint32_t(std::min<size_t>(file.size(), 255 * 256))};
    return structure.read(head, ald ? torva::Format::Ald : torva::Format::Alk,
                          torva::archive::ArchiveSource{ReadMemory, const_cast<Bytes*>(&file)},
                          file.size()) == torva::archive::TableRead::Ready;
}

// The file rebuilt from its structure, with row `replaced.first`'s bytes
// replaced when given.
struct Rebuilt {
    AuthorStatus status = AuthorStatus::Ok;
    Bytes bytes;
};

Rebuilt Rebuild(const Bytes& file, bool ald, const std::map<uint32_t, Bytes>& replaced = {},
                const std::function<void(std::vector<author::RepackRow>&)>& edit = nullptr) {
    ArchiveStructure structure;
    EXPECT_TRUE(ReadStructure(file, ald, structure));
    std::vector<Bytes> members(structure.rowCount());
    std::vector<author::RepackRow> rows(structure.rowCount());
    for (uint32_t i = 0; i < structure.rowCount(); ++i) {
        const torva::archive::StructureRow& from = structure.row(i);
        author::RepackRow& to = rows[i];
        to.empty = from.empty;
        to.placed = from.placed;
        to.storedPosition = from.position;
        to.storedSize = from.size;
        to.hasTime = from.hasTime;
        to.fileTime = from.fileTime;
        to.name = from.name;
        to.nameLength = from.nameLength;
        if (from.placed) {
            members[i].assign(file.begin() + from.position, file.begin() + from.position + from.size);
        }
        const auto it = replaced.find(i);
        if (it != replaced.end()) members[i] = it->second;
        to.newSize = members[i].size();
    }
    if (edit) edit(rows);
    std::vector<author::RepackSegment> segments;
    for (uint32_t i = 0; i < structure.segmentCount(); ++i) {
        const torva::archive::Segment& from = structure.segment(i);
        author::RepackSegment to;
        to.row = from.row;
        if (from.row < 0) {
            to.bytes = file.data() + from.start;
            to.size = size_t(from.size);
        }
        segments.push_back(to);
    }
    VectorSink sink(members);
    Rebuilt rebuilt;
    rebuilt.status = author::RepackArchive(ald, rows.data(), rows.size(), segments.data(), segments.size(), sink);
    rebuilt.bytes = sink.out;
    return rebuilt;
}

// ---- the hand-made archives ----

torvatest::AldMember AldMember(const std::string& name, size_t size, unsigned seed, uint64_t time) {
    torvatest::AldMember member;
    member.name = name;
    member.data = Pattern(size, seed);
    member.utcFileTime = time;
    return member;
}

Bytes AldPlain() {
    return torvatest::WriteAld({AldMember("a.qnt", 300, 1, 0x01D0000000000001ull),
                                AldMember("b.pms", 512, 2, 0x01D0000000000002ull),
                                AldMember("c.vsp", 77, 3, 0x01D0000000000003ull)});
}

// Table slack (two table sectors, t[1] far on), a gap before the first
// member, a long header, a name of all 48 bytes, no end marker, junk in a
// member's padding and bytes after the last member.
Bytes AldOddFraming() {
    std::vector<torvatest::AldMember> members = {AldMember("first", 200, 4, 1),
                                                 AldMember(std::string(48, 'N'), 256 - 64, 5, 2),
                                                 AldMember("long-header", 700, 6, 0x0123456789ABCDEFull)};
    members[2].headerLength = 160;
    torvatest::AldOptions options;
    options.tableSectors = 2;
    options.beforeFirstSector = 9;
    options.firstMemberSector = 12;
    options.endMarker = false;
    torvatest::AldLayout layout;
    Bytes file = torvatest::WriteAld(members, options, &layout);
    // Junk in the padding after the first member's bytes.
    file[layout.dataPositions[0] + 200 + 5] = 0xEE;
    const Bytes trailing = Pattern(91, 9);
    file.insert(file.end(), trailing.begin(), trailing.end());
    return file;
}

// An end marker with sectors of junk after it.
Bytes AldMarkerAndJunk() {
    Bytes file = torvatest::WriteAld({AldMember("x", 10, 7, 5), AldMember("y", 1000, 8, 6)});
    const Bytes junk = Pattern(600, 10);
    file.insert(file.end(), junk.begin(), junk.end());
    return file;
}

Bytes AlkPlain() {
    std::vector<torvatest::AlkMember> rows(3);
    for (size_t i = 0; i < rows.size(); ++i) rows[i].data = Pattern(100 + 50 * i, unsigned(i));
    return torvatest::WriteAlk(rows);
}

Bytes AlkEmptyRows() {
    std::vector<torvatest::AlkMember> rows = {torvatest::AlkMember::Empty(), {}, torvatest::AlkMember::Empty(), {},
                                              torvatest::AlkMember::Empty()};
    rows[1].data = Pattern(33, 1);
    rows[3].data = Pattern(480, 2);
    return torvatest::WriteAlk(rows);
}

// Rows by hand over a patterned file: members out of file order, gaps
// between them, an empty row's offset that points nowhere, trailing bytes.
Bytes AlkByHand(const std::vector<std::pair<uint32_t, uint32_t>>& rows, size_t fileSize) {
    Bytes file = Pattern(fileSize, 11);
    std::memcpy(file.data(), "ALK0", 4);
    torvatest::PutLe32(file, 4, uint32_t(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        torvatest::PutLe32(file, 8 + 8 * i, rows[i].first);
        torvatest::PutLe32(file, 12 + 8 * i, rows[i].second);
    }
    return file;
}

// (The first row's offset is the table's end, as detection wants.)
Bytes AlkGaps() { return AlkByHand({{40, 100}, {300, 50}, {999, 0}, {150, 120}}, 520); }
// Two rows over the same bytes, one in the table itself, one past the end.
Bytes AlkShared() { return AlkByHand({{48, 40}, {48, 40}, {8, 20}, {200, 10}, {380, 50}}, 400); }

struct ArchiveCase {
    const char* name;
    bool ald;
    std::function<Bytes()> make;
    uint32_t placed;  // members that own their bytes
    int changeRow;    // the row the change cases rewrite
};

void PrintTo(const ArchiveCase& c, std::ostream* os) { *os << c.name; }

const ArchiveCase kArchives[] = {
    {"AldPlain", true, AldPlain, 3, 1},
    {"AldOddFraming", true, AldOddFraming, 3, 0},
    {"AldOddFramingLastMember", true, AldOddFraming, 3, 2},
    {"AldMarkerAndJunk", true, AldMarkerAndJunk, 2, 1},
    {"AlkPlain", false, AlkPlain, 3, 0},
    {"AlkEmptyRows", false, AlkEmptyRows, 2, 1},
    {"AlkGaps", false, AlkGaps, 3, 1},
    {"AlkShared", false, AlkShared, 1, 3},
};

class ArchiveRebuildTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveRebuildTest, UnchangedMembersGiveTheOriginalBytes) {
    const ArchiveCase& c = GetParam();
    const Bytes file = c.make();
    ArchiveStructure structure;
    ASSERT_TRUE(ReadStructure(file, c.ald, structure));
    uint32_t placed = 0;
    uint64_t covered = 0;
    for (uint32_t i = 0; i < structure.segmentCount(); ++i) {
        EXPECT_EQ(structure.segment(i).start, covered) << i;
        covered += structure.segment(i).size;
        placed += structure.segment(i).row >= 0 ? 1 : 0;
    }
    EXPECT_EQ(covered, file.size());
    EXPECT_EQ(placed, c.placed);
    const Rebuilt rebuilt = Rebuild(file, c.ald);
    ASSERT_EQ(rebuilt.status, AuthorStatus::Ok) << author::AuthorStatusText(rebuilt.status);
    EXPECT_TRUE(rebuilt.bytes == file);
}

// Each member as the C interface lists it: row, name, time, bytes.
struct Listed {
    uint32_t row;
    std::string name;
    uint64_t time;
    uint64_t position;
    Bytes bytes;
};

std::vector<Listed> ListAll(const Bytes& file, bool ald) {
    std::vector<torvasoft_member> members(64);
    size_t count = 0;
    int kind = 0;
    EXPECT_EQ(torvasoft_list_memory(file.data(), file.size(), ald ? "a.ald" : "a.alk", &kind, members.data(),
                                    members.size(), &count),
              TORVASOFT_COMPLETE);
    std::vector<Listed> listed;
    for (size_t i = 0; i < count && i < members.size(); ++i) {
        const torvasoft_member& m = members[i];
        Listed one{m.row, std::string(m.raw_name, m.raw_name_size), m.file_time, m.position, {}};
        if (m.position <= file.size() && m.size <= file.size() - m.position) {
            one.bytes.assign(file.begin() + m.position, file.begin() + m.position + m.size);
        }
        listed.push_back(one);
    }
    return listed;
}

uint64_t RoundUp(uint64_t offset) { return (offset + 255) / 256 * 256; }

enum class Change { Bigger, Smaller, SameSize, Emptied };

struct ChangeCase {
    ArchiveCase archive;
    Change change;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.archive.name << int(c.change); }

class MemberChangeTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(MemberChangeTest, ChangesOnlyTheMemberAndWhatFollowsIt) {
    const ArchiveCase& c = GetParam().archive;
    const Bytes file = c.make();
    ArchiveStructure structure;
    ASSERT_TRUE(ReadStructure(file, c.ald, structure));
    const uint32_t row = uint32_t(c.changeRow);
    const torva::archive::StructureRow& changed = structure.row(row);
    ASSERT_TRUE(changed.placed);
    const uint64_t oldStart = changed.position, oldEnd = oldStart + uint64_t(changed.size);

    Bytes replacement;
    switch (GetParam().change) {
        case Change::Bigger: replacement = Pattern(size_t(changed.size) + 300, 99); break;
        case Change::Smaller: replacement = Pattern(size_t(changed.size) - 1, 98); break;
        case Change::SameSize: replacement = Pattern(size_t(changed.size), 97); break;
        case Change::Emptied: break;
    }
    const Rebuilt rebuilt = Rebuild(file, c.ald, {{row, replacement}});
    ASSERT_EQ(rebuilt.status, AuthorStatus::Ok) << author::AuthorStatusText(rebuilt.status);
    const Bytes& out = rebuilt.bytes;

    // Every member as before but the changed one, which has its new bytes.
    const std::vector<Listed> before = ListAll(file, c.ald), after = ListAll(out, c.ald);
    const bool emptiedAlk = !c.ald && replacement.empty();
    ASSERT_EQ(after.size() + (emptiedAlk ? 1 : 0), before.size());
    size_t k = 0;
    for (const Listed& old : before) {
        if (emptiedAlk && old.row == row) continue;
        ASSERT_LT(k, after.size());
        const Listed& now = after[k++];
        EXPECT_EQ(now.row, old.row);
        EXPECT_EQ(now.name, old.name);
        EXPECT_EQ(now.time, old.time);
        if (old.row == row) {
            EXPECT_EQ(now.position, oldStart);
            EXPECT_TRUE(now.bytes == replacement) << old.row;
        } else if (structure.row(old.row).placed) {
            EXPECT_TRUE(now.bytes == old.bytes) << old.row;
        }
    }

    // Between the table and the member nothing changed but the member's own
    // header size; after it the original's bytes follow, moved (ALD: from
    // the next sector on).
    const uint64_t tableEnd = c.ald ? uint64_t(file[0] | file[1] << 8 | file[2] << 16) * 256
                                    : 8 + 8 * uint64_t(structure.rowCount());
    ASSERT_LE(oldStart, out.size());
    Bytes expectedBefore(file.begin() + tableEnd, file.begin() + oldStart);
    if (c.ald) torvatest::PutLe32(expectedBefore, changed.headerPosition + 4 - tableEnd, uint32_t(replacement.size()));
    EXPECT_TRUE(std::equal(expectedBefore.begin(), expectedBefore.end(), out.begin() + tableEnd));
    const uint64_t newEnd = oldStart + replacement.size();
    uint64_t oldFrom = oldEnd, newFrom = newEnd;
    if (c.ald && replacement.size() != size_t(changed.size) && RoundUp(oldEnd) <= file.size()) {
        oldFrom = RoundUp(oldEnd);
        newFrom = RoundUp(newEnd);
        // The new padding is zeros.
        EXPECT_TRUE(std::all_of(out.begin() + newEnd, out.begin() + newFrom, [](unsigned char b) { return b == 0; }));
    }
    ASSERT_EQ(out.size() - newFrom, file.size() - oldFrom);
    EXPECT_TRUE(std::equal(file.begin() + oldFrom, file.end(), out.begin() + newFrom));
}

std::vector<ChangeCase> AllChanges() {
    std::vector<ChangeCase> cases;
    for (const ArchiveCase& archive : kArchives) {
        for (Change change : {Change::Bigger, Change::Smaller, Change::SameSize, Change::Emptied}) {
            cases.push_back(ChangeCase{archive, change});
        }
    }
    return cases;
}

std::string ArchiveName(const ::testing::TestParamInfo<ArchiveCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(HandMade, ArchiveRebuildTest, ::testing::ValuesIn(kArchives), ArchiveName);

std::string ChangeName(const ::testing::TestParamInfo<ChangeCase>& info) {
    const char* changes[] = {"Bigger", "Smaller", "SameSize", "Emptied"};
    return std::string(info.param.archive.name) + changes[int(info.param.change)];
}

INSTANTIATE_TEST_SUITE_P(HandMade, MemberChangeTest, ::testing::ValuesIn(AllChanges()), ChangeName);

// Rows and framing that do not describe one archive, or a member that
// cannot be stored, are refused and nothing is written.
struct RefusalCase {
    const char* name;
    bool ald;
    std::function<Bytes()> make;
    std::function<void(std::vector<author::RepackRow>&)> edit;
    AuthorStatus status;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RebuildRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RebuildRefusalTest, WritesNothing) {
    const RefusalCase& c = GetParam();
    const Rebuilt rebuilt = Rebuild(c.make(), c.ald, {}, c.edit);
    EXPECT_EQ(rebuilt.status, c.status) << author::AuthorStatusText(rebuilt.status);
    EXPECT_TRUE(rebuilt.bytes.empty());
}

const uint8_t kOtherName[] = "other.qnt";

INSTANTIATE_TEST_SUITE_P(
    Rows, RebuildRefusalTest,
    ::testing::Values(
        RefusalCase{"AlkPositionMoved", false, AlkPlain,
                    [](std::vector<author::RepackRow>& rows) { rows[1].storedPosition += 1; },
                    AuthorStatus::LayoutMismatch},
        RefusalCase{"AlkSizeDisagrees", false, AlkGaps,
                    [](std::vector<author::RepackRow>& rows) { rows[2].empty = false; }, AuthorStatus::LayoutMismatch},
        RefusalCase{"AlkMemberTooLarge", false, AlkPlain,
                    [](std::vector<author::RepackRow>& rows) { rows[0].newSize = uint64_t{1} << 31; },
                    AuthorStatus::MemberTooLarge},
        RefusalCase{"AldRenamed", true, AldPlain,
                    [](std::vector<author::RepackRow>& rows) {
                        rows[0].name = kOtherName;
                        rows[0].nameLength = sizeof kOtherName - 1;
                    },
                    AuthorStatus::LayoutMismatch},
        RefusalCase{"AldPlacedTwice", true, AldPlain,
                    [](std::vector<author::RepackRow>& rows) { rows[1].placed = false; },
                    AuthorStatus::LayoutMismatch},
        RefusalCase{"AldArchiveTooLarge", true, AldPlain,
                    [](std::vector<author::RepackRow>& rows) { rows[2].newSize = INT32_MAX; },
                    AuthorStatus::ArchiveTooLarge}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// A changed time stamp is stored in the member's header, and nothing else moves.
TEST(ArchiveRebuild, AldTimeFromTheRowGoesIntoItsHeader) {
    const Bytes file = AldPlain();
    const Rebuilt rebuilt =
        Rebuild(file, true, {}, [](std::vector<author::RepackRow>& rows) { rows[1].fileTime = 0x01D1222233334444ull; });
    ASSERT_EQ(rebuilt.status, AuthorStatus::Ok);
    const std::vector<Listed> listed = ListAll(rebuilt.bytes, true);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1].time, 0x01D1222233334444ull);
    size_t differing = 0;
    for (size_t i = 0; i < file.size(); ++i) differing += file[i] != rebuilt.bytes[i] ? 1 : 0;
    EXPECT_LE(differing, 8u);
    EXPECT_GT(differing, 0u);
}

}  // namespace
