// The names the C interface makes up for ALK members: STEM_NNN with the
// extension of what the member's bytes are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capi/member_extension.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"
#include "torvasoft/torvasoft.hpp"

namespace {

using torvatest::Bytes;

Bytes SmallQnt() {
    torvatest::QntPicture picture;
    picture.width = 16;
    picture.height = 12;
    for (uint32_t i = 0; i < picture.width * picture.height; ++i) {
        picture.bgr.insert(picture.bgr.end(), {uint8_t(i), uint8_t(i * 3), uint8_t(i * 7)});
    }
    return torvatest::WriteQnt(picture, torvatest::QntOptions());
}

Bytes SmallVsp() { return torvatest::WriteVsp(torvatest::MakeVspPicture(64, 40, 5), 5); }

Bytes Cut(Bytes bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

// Eight bytes that pass the VSP rectangle test (0,0 to 8,10), then no palette.
Bytes RectangleOnly() { return Bytes{0, 0, 0, 0, 8, 0, 10, 0, 1, 2, 3, 4}; }

struct NameCase {
    const char* what;
    Bytes data;
    const char* extension;
};

TEST(AlkMemberNames, TakeTheExtensionOfWhatTheBytesAre) {
    const Bytes qnt = SmallQnt();
    const Bytes vsp = SmallVsp();
    const std::vector<NameCase> cases = {
        {"a QNT", qnt, ".qnt"},
        {"a QNT whose streams are cut", Cut(qnt, qnt.size() - 1), ".qnt"},
        {"a PMS", torvatest::WritePms(torvatest::MakePmsPicture(16, 8, 8, false, 1, 3), 3), ".pms"},
        {"a 16-bit PMS", torvatest::WritePms(torvatest::MakePmsPicture(16, 8, 16, true, 2, 3), 3), ".pms"},
        {"a VSP", vsp, ".vsp"},
        {"a VSP whose planes are cut", Cut(vsp, vsp.size() - 1), ".dat"},
        {"a VSP rectangle without a palette", RectangleOnly(), ".dat"},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, ".dat"},
        {"a single byte", Bytes{'Q'}, ".dat"},
        {"the QNT magic alone", Bytes{'Q', 'N', 'T', 0}, ".dat"},
    };
    std::vector<torvatest::AlkMember> rows;
    for (const NameCase& c : cases) {
        torvatest::AlkMember row;
        row.data = c.data;
        rows.push_back(row);
    }
    // An empty row gets no name but keeps its number: the names carry the row.
    rows.insert(rows.begin() + 1, torvatest::AlkMember::Empty());
    const Bytes archive = torvatest::WriteAlk(rows);
    const torvasoft::Listing listing = torvasoft::List(archive.data(), archive.size(), "dir/cg.alk");
    ASSERT_EQ(listing.status, torvasoft::Status::Complete);
    ASSERT_EQ(listing.members.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string number = std::to_string(i == 0 ? 1 : i + 2);
        number.insert(0, 3 - number.size(), '0');
        EXPECT_EQ(torvasoft::Listing::NameOf(listing.members[i]), std::string("cg_") + number + cases[i].extension)
            << cases[i].what;
    }
}

TEST(AlkMemberNames, AVspNamedSoDecodesThroughTheInterface) {
    const Bytes vsp = SmallVsp();
    torvatest::AlkMember row;
    row.data = vsp;
    const Bytes archive = torvatest::WriteAlk({row});
    const torvasoft::Listing listing = torvasoft::List(archive.data(), archive.size(), "v.alk");
    ASSERT_EQ(listing.members.size(), 1u);
    const std::string name = torvasoft::Listing::NameOf(listing.members[0]);
    ASSERT_EQ(name, "v_001.vsp");
    const torvasoft::Picture picture = torvasoft::Decode(archive.data() + listing.members[0].position,
                                                         size_t(listing.members[0].size), name.c_str());
    EXPECT_EQ(picture.status, torvasoft::Status::Complete);
    EXPECT_EQ(picture.layout.width, 64u);
}

// Reads counted, to see what naming costs.
struct CountingSource {
    const Bytes* archive;
    uint64_t bytesRead = 0;
};

size_t CountingRead(void* context, uint64_t offset, void* buffer, size_t count) {
    auto* source = static_cast<CountingSource*>(context);
    if (offset >= source->archive->size()) return 0;
    const size_t delivered = std::min<size_t>(count, source->archive->size() - size_t(offset));
    std::memcpy(buffer, source->archive->data() + offset, delivered);
    source->bytesRead += delivered;
    return delivered;
}

TEST(AlkMemberNames, OnlyMembersWithinTheRoomGivenAreRead) {
    std::vector<torvatest::AlkMember> rows(3);
    for (auto& row : rows) row.data = Bytes(5000, 0x41);
    rows[1].data = SmallVsp();
    const Bytes archive = torvatest::WriteAlk(rows);
    CountingSource source{&archive};
    size_t count = 0;
    ASSERT_EQ(torvasoft_list("a.alk", CountingRead, &source, nullptr, nullptr, 0, &count), TORVASOFT_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 3u);
    // The head (here the whole file) and the table.
    const uint64_t listing = archive.size() + 8 * 3;
    EXPECT_EQ(source.bytesRead, listing) << "counting read a member";
    source.bytesRead = 0;
    std::vector<torvasoft_member> members(3);
    ASSERT_EQ(torvasoft_list("a.alk", CountingRead, &source, nullptr, members.data(), 3, &count), TORVASOFT_COMPLETE);
    // Then three heads of 64 bytes, and the VSP whole once more.
    EXPECT_EQ(source.bytesRead, listing + 3 * 64 + rows[1].data.size());
}

TEST(AlkMemberNames, TheExtensionReplacesTheLastOneWithinTheRoom) {
    struct Case {
        const char* made;
        const char* extension;
        uint32_t capacity;
        const char* expected;
    } cases[] = {
        {"cg_001.dat", ".vsp", 64, "cg_001.vsp"},
        {"a.b_001.dat", ".qnt", 64, "a.b_001.qnt"},
        {"cg_001.dat", ".pms", 9, "cg_001.p"},
        {"cg_001.dat", ".pms", 1, ""},
        {"noext", ".dat", 64, "noext.dat"},
    };
    for (const Case& c : cases) {
        char out[64];
        const uint32_t length = torva::capi::NameWithExtension(c.made, c.extension, out, c.capacity);
        EXPECT_EQ(std::string(out, length), c.expected) << c.made << " in " << c.capacity;
        EXPECT_EQ(out[length], '\0');
    }
}

}  // namespace
