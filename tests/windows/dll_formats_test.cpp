// Archives and pictures through the real DLL, as the viewer drives it: the
// library is loaded with LoadLibrary and every call goes through the
// exported pointers. Files come from our writers (linked here only to make
// the files; the static copy of the library they pull in is used for
// nothing but a comparison, stated where it is made).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/entry_points.h"
#include "plugin/records.h"
#include "tests/support/lead_byte_name_cases.h"
#include "tests/support/page_end_record.h"
#include "tests/support/test_support.h"
#include "tests/windows/loaded_library.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;

class DllFormatsTest : public torvatest::LoadedLibraryTest {
protected:
    // Lists an archive file through the DLL, with the handle and the head
    // bytes a host supplies.
    static std::vector<ArchiveEntry> List(const Bytes& archive, const std::string& suffix, int32_t* kindOut) {
        torvatest::TempFile file(archive, suffix);
        torvatest::OpenFile handle(file.path());
        const uint32_t head = archive.size() < 1024 ? static_cast<uint32_t>(archive.size()) : 1024;
        torvatest::HostRecord record(archive, head, file.path(), handle.handle());
        int32_t kind = -1;
        EXPECT_EQ(Entry<decltype(&KRV_IsSupported)>("KRV_IsSupported")(record.get(), 1, &kind), 0);
        *kindOut = kind;
        HGLOBAL block = nullptr;
        int32_t count = -1;
        EXPECT_EQ(Entry<decltype(&KRV_GetArchiveInfo)>("KRV_GetArchiveInfo")(record.get(), &block, &count), 0);
        std::vector<ArchiveEntry> entries;
        if (block == nullptr || count <= 0) return entries;
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u) << "handed over unlocked";
        EXPECT_GE(GlobalSize(block), static_cast<SIZE_T>(count) * sizeof(ArchiveEntry));
        Bytes raw = torvatest::BlockBytes(block, static_cast<size_t>(count) * sizeof(ArchiveEntry));
        entries.resize(static_cast<size_t>(count));
        std::memcpy(entries.data(), raw.data(), raw.size());
        EXPECT_EQ(GlobalFree(block), nullptr) << "the caller can free the block";
        return entries;
    }

    struct Bitmap {
        int32_t result = -1;
        Bytes bytes;
    };

    static Bitmap GetImage(const Bytes& file, const std::string& name, int32_t mode) {
        torvatest::HostRecord record(file, name);
        Bitmap out;
        HGLOBAL block = nullptr;
        uint32_t size = 0;
        out.result = Entry<decltype(&KRV_GetImage)>("KRV_GetImage")(record.get(), &block, &size, mode);
        if (out.result != 0) return out;
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u) << "handed over unlocked";
        EXPECT_GE(GlobalSize(block), size);
        out.bytes = torvatest::BlockBytes(block, size);
        EXPECT_EQ(GlobalFree(block), nullptr) << "the caller can free the block";
        return out;
    }
};

TEST_F(DllFormatsTest, ListsAnAldWithLocalTimeStamps) {
    ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
    std::vector<torvatest::AldMember> members(3);
    const uint64_t utc = 0x01D9000000000000ull;
    for (size_t i = 0; i < members.size(); ++i) {
        members[i].name = "member" + std::to_string(i) + ".qnt";
        members[i].data = Bytes(100 + 300 * i, static_cast<unsigned char>(i));
        members[i].utcFileTime = utc + i;
        members[i].headerLength = i == 1 ? 96 : 0;
    }
    members[2].name = "\x95\x5C\x8E\x86.pms";  // double-byte characters, one with a 0x5C trail byte
    const Bytes archive = torvatest::WriteAld(members);
    int32_t kind = 0;
    std::vector<ArchiveEntry> entries = List(archive, ".ald", &kind);
    EXPECT_EQ(kind, 1);
    ASSERT_EQ(entries.size(), 3u);
    // The zone is fixed at nine hours east of UTC for this run.
    const uint64_t bias = 9ull * 3600 * 10000000;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ArchiveEntry& e = entries[i];
        EXPECT_STREQ(e.name, members[i].name.c_str());
        const uint64_t position = e.position;
        const int64_t size = e.size;
        ASSERT_LE(position + static_cast<uint64_t>(size), archive.size());
        EXPECT_EQ(std::memcmp(archive.data() + position, members[i].data.data(), members[i].data.size()), 0);
        EXPECT_EQ(static_cast<int64_t>(e.storedSize), size);
        EXPECT_EQ(static_cast<int32_t>(e.archiveKind), 1);
        const uint64_t local = (static_cast<uint64_t>(e.timestamp.dwHighDateTime) << 32) | e.timestamp.dwLowDateTime;
        EXPECT_EQ(local, utc + i + bias);
        EXPECT_EQ(std::memcmp(e.typeTag, "TORVAALD", 8), 0);
    }
}

// In code page 932 the bytes 0x95 0x5C are one character: the 0x5C is its
// trail byte, not a backslash, so the archive's base name keeps it.
TEST_F(DllFormatsTest, DoubleByteArchiveNameKeepsItsTrailByte) {
    ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
    std::vector<torvatest::AlkMember> rows(3);
    rows[0].data = Bytes(10, 1);
    rows[1] = torvatest::AlkMember::Empty();
    rows[2].data = Bytes(7, 2);
    const Bytes archive = torvatest::WriteAlk(rows);
    torvatest::TempFile file(archive, ".alk");
    torvatest::OpenFile handle(file.path());
    const std::string name = "C:\\data\\\x95\x5C.alk";
    torvatest::HostRecord record(archive, name, handle.handle());
    HGLOBAL block = nullptr;
    int32_t count = 0;
    ASSERT_EQ(Entry<decltype(&KRV_GetArchiveInfo)>("KRV_GetArchiveInfo")(record.get(), &block, &count), 0);
    ASSERT_EQ(count, 2);
    Bytes raw = torvatest::BlockBytes(block, 2 * sizeof(ArchiveEntry));
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(raw.data()), "\x95\x5C_001.dat");
    EXPECT_STREQ(reinterpret_cast<const char*>(raw.data() + sizeof(ArchiveEntry)), "\x95\x5C_002.dat");
    EXPECT_EQ(std::memcmp(raw.data() + 296, "TORVAALK", 8), 0);

    // The same trail byte in an ALD name: the extension test sees ".ald".
    std::vector<torvatest::AldMember> members(1);
    members[0].name = "a.vsp";
    members[0].data = Bytes(5, 9);
    const Bytes ald = torvatest::WriteAld(members);
    torvatest::HostRecord aldRecord(ald, "x\x95\x5C.ald");
    int32_t kind = 0;
    EXPECT_EQ(Entry<decltype(&KRV_IsSupported)>("KRV_IsSupported")(aldRecord.get(), 1, &kind), 0);
    EXPECT_EQ(kind, 1);
}

// The 274-byte information record, byte by byte as a 32-bit host reads it.
TEST_F(DllFormatsTest, ImageInfoLayout) {
    torvatest::QntPicture picture = torvatest::RandomQntPicture(300, 200, true, 3);
    const Bytes file = torvatest::WriteQnt(picture, torvatest::QntOptions());
    torvatest::HostRecord record(file, "a.qnt");
    unsigned char raw[274 + 8];
    std::memset(raw, 0xEE, sizeof raw);
    ASSERT_EQ(Entry<decltype(&KRV_GetImageInfo)>("KRV_GetImageInfo")(record.get(), reinterpret_cast<ImageInfo*>(raw)),
              0);
    EXPECT_EQ(raw[0], 0);
    EXPECT_EQ(raw[1], 0xEE);
    const unsigned char expected[] = {0, 0, 0, 0,                                       // dataOffset
                                      static_cast<unsigned char>(file.size()),
                                      static_cast<unsigned char>(file.size() >> 8),
                                      static_cast<unsigned char>(file.size() >> 16), 0,  // dataSize
                                      300 & 0xFF, 300 >> 8, 200, 0,                      // width, height
                                      32, 1,                                            // depth, flag
                                      1, 0, 0, 0};                                      // kind at 270
    EXPECT_EQ(std::memcmp(raw + 256, expected, sizeof expected), 0);
    for (size_t i = 274; i < sizeof raw; ++i) EXPECT_EQ(raw[i], 0xEE) << "nothing past the record";
}

TEST_F(DllFormatsTest, QntPicturesMatchTheirSource) {
    for (bool alpha : {false, true}) {
        torvatest::QntPicture picture = torvatest::RandomQntPicture(101, 67, alpha, 8);
        const Bitmap bmp = GetImage(torvatest::WriteQnt(picture, torvatest::QntOptions()), "a.qnt", -1);
        ASSERT_EQ(bmp.result, 0);
        const Bytes expected = torvatest::QntBitmapPixels(picture);
        ASSERT_EQ(bmp.bytes.size(), 54 + expected.size());
        EXPECT_EQ(std::memcmp(bmp.bytes.data() + 54, expected.data(), expected.size()), 0) << "alpha " << alpha;
    }
}

TEST_F(DllFormatsTest, VspPictureMatchesItsSource) {
    torvatest::VspPicture picture = torvatest::MakeVspPicture(160, 100, 4);
    const Bitmap bmp = GetImage(torvatest::WriteVsp(picture, 2), "a.vsp", 0);
    ASSERT_EQ(bmp.result, 0);
    const Bytes table = torvatest::ExpectedVspColourTable(picture);
    const Bytes expected = torvatest::ExpectedVspPixels(picture);
    ASSERT_EQ(bmp.bytes.size(), 118 + expected.size());
    EXPECT_EQ(std::memcmp(bmp.bytes.data() + 54, table.data(), 64), 0);
    EXPECT_EQ(std::memcmp(bmp.bytes.data() + 118, expected.data(), expected.size()), 0);
}

// PMS through the DLL gives exactly what the library's own code gives when
// linked in (whose pixels the unit tests check against the source).
TEST_F(DllFormatsTest, PmsPicturesMatchTheLinkedLibrary) {
    struct Case {
        int depth;
        bool alpha;
        int32_t mode;
    };
    for (const Case& c : {Case{8, false, 0}, Case{16, false, 0}, Case{16, false, -1}, Case{16, true, -1}}) {
        torvatest::PmsPicture picture = torvatest::MakePmsPicture(77, 41, c.depth, c.alpha, 2, 5);
        const Bytes file = torvatest::WritePms(picture, 6);
        const Bitmap viaDll = GetImage(file, "a.pms", c.mode);
        const torvatest::BitmapResult linked = torvatest::GetBitmap(file, "a.pms", c.mode);
        ASSERT_EQ(viaDll.result, 0);
        ASSERT_EQ(linked.result, 0);
        EXPECT_EQ(viaDll.bytes, linked.bytes) << "depth " << c.depth << " mode " << c.mode;
    }
}

// Names that end in a lead byte, at the very end of the host's record.
TEST_F(DllFormatsTest, NameEndingInALeadByteIsNotReadPast) {
    ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
    for (const torvatest::LeadByteNameCase& c : torvatest::kLeadByteNameCases) {
        const Bytes bytes = torvatest::NameCaseBytes(c.file);
        torvatest::TempFile temp(bytes, ".bin");
        torvatest::OpenFile handle(temp.path());
        torvatest::PageEndRecord record(bytes, c.name, handle.handle());
        int32_t kind = -1;
        EXPECT_EQ(Entry<decltype(&KRV_IsSupported)>("KRV_IsSupported")(record.get(), c.service, &kind), 0);
        EXPECT_EQ(kind, c.kind) << c.name;
        HGLOBAL block = nullptr;
        int32_t count = 0;
        EXPECT_EQ(Entry<decltype(&KRV_GetArchiveInfo)>("KRV_GetArchiveInfo")(record.get(), &block, &count), 0);
        if (c.firstMember != nullptr && count > 0) {
            EXPECT_STREQ(reinterpret_cast<const char*>(torvatest::BlockBytes(block, 256).data()), c.firstMember);
        }
        if (block != nullptr) GlobalFree(block);
    }
}

}  // namespace
