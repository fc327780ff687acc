// Every decoder driven through each status it can report, by way of the
// C interface, on whole, cut, corrupt and mis-declared files; for each, the
// plug-in's bitmap must still be what it was (statuses never change an
// exported result) and hold the same pixels as the interface's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/checked_size.h"
#include "plugin/entry_points.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"
#include "torvasoft/torvasoft.hpp"

namespace {

using torvasoft::Status;
using torvatest::Bytes;

enum class Produced { None, Some, All };

Bytes Cut(Bytes file, size_t drop) {
    file.resize(file.size() - drop);
    return file;
}

Bytes Patched(Bytes file, size_t offset, uint32_t value) {
    torvatest::PutLe32(file, offset, value);
    return file;
}

Bytes Qnt(bool alpha) { return torvatest::WriteQnt(torvatest::RandomQntPicture(8, 6, alpha, 5), {}); }
// Colour residuals of an 8 x 6 picture are 144 bytes; 130 reach into the
// third plane's second block row. Alpha rows are 8 bytes; 20 give two rows.
Bytes QntShortColour() { return torvatest::AssembleQnt(8, 6, torvatest::ZlibCompress(Bytes(130, 1)), {}, {}); }
Bytes QntAlpha(const Bytes& alphaStream) {
    return torvatest::AssembleQnt(8, 6, torvatest::ZlibCompress(Bytes(144, 1)), alphaStream, {});
}
Bytes Pms(int depth, bool alpha) { return torvatest::WritePms(torvatest::MakePmsPicture(9, 7, depth, alpha, 1, 3), 4); }
Bytes Vsp() { return torvatest::WriteVsp(torvatest::MakeVspPicture(24, 10, 6), 7); }

struct StatusRow {
    const char* name;
    std::function<Bytes()> file;
    const char* fileName;
    bool fullColour16;
    Status status;
    Produced produced;
    // The C interface rebuilds what arrived of a cut QNT stream, where the
    // plug-in's bitmap stays blank (qnt_recovery_test.cpp checks the pixels).
    bool plugInBlank = false;
};

void PrintTo(const StatusRow& row, std::ostream* os) { *os << row.name; }

class PictureStatusTest : public ::testing::TestWithParam<StatusRow> {};

TEST_P(PictureStatusTest, ReportsWhatTheDecoderFound) {
    const StatusRow& row = GetParam();
    const Bytes file = row.file();
    const torvasoft::Picture picture = torvasoft::Decode(file.data(), file.size(), row.fileName,
                                                         row.fullColour16 ? TORVASOFT_AS_STORED_FULL : TORVASOFT_AS_STORED);
    ASSERT_EQ(picture.status, row.status) << torvasoft::StatusName(picture.status);
    const uint32_t width = picture.layout.width, height = picture.layout.height;
    const uint64_t all = uint64_t{width} * height;
    switch (row.produced) {
        case Produced::None: EXPECT_EQ(picture.produced, 0u); break;
        case Produced::Some:
            EXPECT_GT(picture.produced, 0u);
            EXPECT_LT(picture.produced, all);
            break;
        case Produced::All: EXPECT_EQ(picture.produced, all); break;
    }

    const torvatest::BitmapResult bitmap = torvatest::GetBitmap(file, row.fileName, row.fullColour16 ? -1 : 0);
    if (bitmap.result != 0) {  // a block beyond one call's allocation, as ever
        EXPECT_EQ(row.status, Status::TooLarge);
        return;
    }
    if (!picture.hasPixels()) return;  // refused before any pixel: the bitmap is blank
    if (row.plugInBlank) {
        const unsigned char* end = bitmap.bytes.data() + bitmap.bytes.size();
        EXPECT_TRUE(std::all_of(bitmap.pixels(), end, [](unsigned char b) { return b == 0; }));
        return;
    }
    ASSERT_EQ(bitmap.infoHeader.biWidth, int32_t(width));
    ASSERT_EQ(bitmap.infoHeader.biHeight, int32_t(height));
    const uint16_t bits = bitmap.infoHeader.biBitCount;
    const int formats[] = {TORVASOFT_INDEXED4, TORVASOFT_INDEXED8, TORVASOFT_RGB555, TORVASOFT_BGR24, TORVASOFT_BGRA32};
    const int formatIndex = bits == 4 ? 0 : bits == 8 ? 1 : bits == 16 ? 2 : bits == 24 ? 3 : 4;
    EXPECT_EQ(picture.layout.format, formats[formatIndex]);
    // The palette is the bitmap's colour table (blue, green, red, 0 each).
    ASSERT_EQ(picture.palette.size(), bits == 4 ? 16u : bits == 8 ? 256u : 0u);
    for (size_t i = 0; i < picture.palette.size(); ++i) {
        const unsigned char* entry = bitmap.bytes.data() + 54 + 4 * i;
        const torvasoft_colour& colour = picture.palette[i];
        ASSERT_EQ((std::vector<int>{colour.blue, colour.green, colour.red}),
                  (std::vector<int>{entry[0], entry[1], entry[2]})) << "entry " << i;
    }
    const size_t bitmapStride = static_cast<size_t>(torva::RowStride(width, bits));
    for (uint32_t y = 0; y < height; ++y) {
        const unsigned char* bitmapRow = bitmap.pixels() + (height - 1 - y) * bitmapStride;
        ASSERT_EQ(std::memcmp(picture.row(y), bitmapRow, picture.layout.stride), 0) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoders, PictureStatusTest,
    ::testing::Values(
        StatusRow{"Qnt24Complete", [] { return Qnt(false); }, "a.qnt", false, Status::Complete, Produced::All},
        StatusRow{"Qnt24FileCut", [] { return Cut(Qnt(false), 1); }, "a.qnt", false, Status::Truncated,
                  Produced::All, true},
        StatusRow{"Qnt32FileCut", [] { return Cut(Qnt(true), 12); }, "a.qnt", false, Status::Truncated,
                  Produced::Some, true},
        StatusRow{"Qnt24StreamShort", QntShortColour, "a.qnt", false, Status::Truncated, Produced::Some},
        StatusRow{"Qnt24Corrupt", [] { return torvatest::AssembleQnt(8, 6, Bytes(40, 0x5A), {}, {}); }, "a.qnt", false,
                  Status::Corrupt, Produced::None},
        StatusRow{"Qnt24ColourPastFile", [] { return Patched(Qnt(false), 8, 0x10000); }, "a.qnt", false,
                  Status::OutsideFile, Produced::None},
        StatusRow{"Qnt24TooWide", [] { return Patched(Qnt(false), 12 + 8, 65536 + 8); }, "a.qnt", false,
                  Status::TooLarge, Produced::None},
        StatusRow{"Qnt32Complete", [] { return Qnt(true); }, "a.qnt", false, Status::Complete, Produced::All},
        StatusRow{"Qnt32AlphaShort", [] { return QntAlpha(torvatest::ZlibCompress(Bytes(20, 2))); }, "a.qnt", false,
                  Status::Truncated, Produced::Some},
        StatusRow{"Qnt32AlphaCorrupt", [] { return QntAlpha(Bytes(30, 0x5A)); }, "a.qnt", false, Status::Corrupt,
                  Produced::All},
        StatusRow{"Pms8Complete", [] { return Pms(8, false); }, "a.pms", false, Status::Complete, Produced::All},
        StatusRow{"Pms8StreamCut", [] { return Cut(Pms(8, false), 20); }, "a.pms", false, Status::Truncated,
                  Produced::Some},
        StatusRow{"Pms8StreamPastFile", [] { return Patched(Pms(8, false), 32, 0x10000); }, "a.pms", false,
                  Status::OutsideFile, Produced::None},
        StatusRow{"Pms8PalettePastFile", [] { return Patched(Pms(8, false), 36, 0x10000); }, "a.pms", false,
                  Status::OutsideFile, Produced::All},
        StatusRow{"Pms8TooLarge", [] { return Patched(Patched(Pms(8, false), 24, 30000), 28, 30000); }, "a.pms",
                  false, Status::TooLarge, Produced::None},
        StatusRow{"Pms16Complete", [] { return Pms(16, false); }, "a.pms", false, Status::Complete, Produced::All},
        StatusRow{"Pms16StreamCut", [] { return Cut(Pms(16, false), 20); }, "a.pms", true, Status::Truncated,
                  Produced::Some},
        StatusRow{"Pms16StreamPastFile", [] { return Patched(Pms(16, false), 32, 0x10000); }, "a.pms", false,
                  Status::OutsideFile, Produced::None},
        StatusRow{"Pms16AlphaComplete", [] { return Pms(16, true); }, "a.pms", true, Status::Complete, Produced::All},
        StatusRow{"Pms16AlphaCut", [] { return Cut(Pms(16, true), 10); }, "a.pms", true, Status::Truncated,
                  Produced::Some},
        StatusRow{"Pms16AlphaPastFile", [] { return Patched(Pms(16, true), 36, 0x10000); }, "a.pms", true,
                  Status::OutsideFile, Produced::None},
        StatusRow{"VspComplete", Vsp, "a.vsp", false, Status::Complete, Produced::All},
        StatusRow{"VspStreamCut", [] { return Cut(Vsp(), 5); }, "a.vsp", false, Status::Truncated, Produced::Some},
        StatusRow{"VspNoPalette", [] { return Cut(Vsp(), Vsp().size() - 30); }, "a.vsp", false,
                  Status::Truncated, Produced::None},
        StatusRow{"NotAPicture", [] { return Bytes(64, 0x33); }, "a.bin", false, Status::NotRecognised,
                  Produced::None}),
    [](const ::testing::TestParamInfo<StatusRow>& info) { return std::string(info.param.name); });

// Archives: the members and status ListArchive gives, against the records
// KRV_GetArchiveInfo gives for the same file read through a handle.
const uint64_t kStoredTimes[2] = {0x01D0000012345678ull, 0x01D0000087654321ull};

Bytes Ald(bool marker) {
    std::vector<torvatest::AldMember> members(2);
    members[0].name = "one.qnt";
    members[0].data = Bytes(300, 1);
    members[1].name = "two.pms";
    members[1].data = Bytes(40, 2);
    for (size_t i = 0; i < 2; ++i) members[i].utcFileTime = kStoredTimes[i];
    torvatest::AldOptions options;
    options.endMarker = marker;
    return torvatest::WriteAld(members, options);
}

Bytes Alk() {
    std::vector<torvatest::AlkMember> rows(3);
    rows[0].data = Bytes(5, 1);
    rows[1] = torvatest::AlkMember::Empty();
    rows[2].data = Bytes(9, 2);
    return torvatest::WriteAlk(rows);
}

struct ArchiveRow {
    const char* name;
    std::function<Bytes()> file;
    const char* fileName;
    Status status;
    size_t members;
    std::vector<uint32_t> rows;  // each member's table row
};

void PrintTo(const ArchiveRow& row, std::ostream* os) { *os << row.name; }

class ArchiveStatusTest : public ::testing::TestWithParam<ArchiveRow> {};

TEST_P(ArchiveStatusTest, ListsWhatThePlugInLists) {
    const ArchiveRow& row = GetParam();
    const Bytes file = row.file();
    const torvasoft::Listing listing = torvasoft::List(file.data(), file.size(), row.fileName);
    EXPECT_EQ(listing.status, row.status) << torvasoft::StatusName(listing.status);
    ASSERT_EQ(listing.members.size(), row.members);

    torvatest::TempFile temp(file, ".bin");
    torvatest::OpenFile handle(temp.path());
    torvatest::HostRecord record(file, row.fileName, handle.handle());
    HGLOBAL block = nullptr;
    int32_t count = 0;
    ASSERT_EQ(KRV_GetArchiveInfo(record.get(), &block, &count), 0);
    ASSERT_EQ(size_t(count), row.members);
    const Bytes records = count == 0 ? Bytes() : torvatest::BlockBytes(block, size_t(count) * sizeof(ArchiveEntry));
    if (block != nullptr) GlobalFree(block);
    for (size_t i = 0; i < row.members; ++i) {
        ArchiveEntry entry;
        std::memcpy(&entry, records.data() + i * sizeof entry, sizeof entry);
        const torvasoft_member& member = listing.members[i];
        ASSERT_LT(i, row.rows.size());
        EXPECT_EQ(member.row, row.rows[i]) << i;
        if (member.has_time) {
            EXPECT_EQ(torvasoft::Listing::NameOf(member), std::string(entry.name)) << i;
        } else {
            // The plug-in numbers the non-empty rows, the C interface names the row.
            char plugIn[32], byRow[32];
            std::snprintf(plugIn, sizeof plugIn, "a_%03zu.dat", i + 1);
            std::snprintf(byRow, sizeof byRow, "a_%03u.dat", unsigned(row.rows[i] + 1));
            EXPECT_EQ(std::string(entry.name), plugIn) << i;
            EXPECT_EQ(torvasoft::Listing::NameOf(member), byRow) << i;
        }
        EXPECT_EQ(member.raw_name[member.raw_name_size], '\0') << i;
        EXPECT_EQ(member.position, entry.position) << i;
        EXPECT_EQ(int64_t(member.size), entry.size) << i;
        EXPECT_EQ(member.has_time != 0, entry.archiveKind == 1) << i;
        if (member.has_time) {
            EXPECT_EQ(member.file_time, kStoredTimes[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ArchiveStatusTest,
    ::testing::Values(ArchiveRow{"AldComplete", [] { return Ald(true); }, "a.ald", Status::Complete, 2, {0, 1}},
                      ArchiveRow{"AldWithoutMarker", [] { return Ald(false); }, "a.ald", Status::Complete, 2, {0, 1}},
                      // The second member's header lies in the last sector.
                      ArchiveRow{"AldHeaderCut", [] { Bytes f = Ald(false); return Cut(f, f.size() % 256 + 256 - 20); },
                                 "a.ald", Status::Truncated, 1, {0}},
                      ArchiveRow{"AldTableCut", [] { return Cut(Ald(true), Ald(true).size() - 100); }, "a.ald",
                                 Status::Truncated, 0, {}},
                      ArchiveRow{"AlkComplete", Alk, "a.alk", Status::Complete, 2, {0, 2}},
                      ArchiveRow{"AlkTableCut", [] { return Cut(Alk(), Alk().size() - 12); }, "a.alk",
                                 Status::Truncated, 0, {}},
                      ArchiveRow{"NotAnArchive", [] { return Bytes(40, 7); }, "a.bin", Status::NotRecognised, 0, {}}),
    [](const ::testing::TestParamInfo<ArchiveRow>& info) { return std::string(info.param.name); });

}  // namespace
