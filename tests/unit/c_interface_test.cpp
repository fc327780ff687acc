// The C interface's own rules, beyond what the decoders report: limits,
// buffers the caller sizes, refusals that write nothing, and writing then
// reading back through the same interface.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "tests/writers/archive_writer.h"
#include "tests/writers/qnt_writer.h"
#include "torvasoft/torvasoft.hpp"

namespace {

using torvatest::Bytes;

Bytes Qnt() { return torvatest::WriteQnt(torvatest::RandomQntPicture(8, 6, true, 5), {}); }

class LimitsGuard {
public:
    ~LimitsGuard() { torvasoft_set_limits(nullptr); }
};

TEST(CInterfaceTest, LimitsRefuseLargerPicturesAndRestore) {
    LimitsGuard guard;
    const Bytes file = Qnt();
    torvasoft_layout layout;
    struct Case {
        torvasoft_limits limits;
        torvasoft_status status;
    };
    const Case cases[] = {
        {{47, 0}, TORVASOFT_TOO_LARGE},       // 48 pixels
        {{48, 0}, TORVASOFT_COMPLETE},
        {{0, 8 * 6 * 4 - 1}, TORVASOFT_TOO_LARGE},  // the RGBA output
        {{0, 8 * 6 * 4}, TORVASOFT_COMPLETE},
    };
    for (const Case& c : cases) {
        torvasoft_set_limits(&c.limits);
        EXPECT_EQ(torvasoft_decoded_layout(file.data(), file.size(), "a.qnt", TORVASOFT_AS_RGBA8, &layout), c.status)
            << c.limits.max_pixels << " " << c.limits.max_bytes;
        std::vector<uint8_t> rgba(8 * 6 * 4);
        EXPECT_EQ(torvasoft_decode_rgba(file.data(), file.size(), "a.qnt", rgba.data(), rgba.size(), nullptr), c.status);
    }
    // Above the built-in cap, and 0, mean the cap.
    const torvasoft_limits huge{0, UINT64_MAX};
    torvasoft_set_limits(&huge);
    torvasoft_limits now;
    torvasoft_get_limits(&now);
    torvasoft_set_limits(nullptr);
    torvasoft_limits defaults;
    torvasoft_get_limits(&defaults);
    EXPECT_EQ(now.max_bytes, defaults.max_bytes);
    EXPECT_LT(defaults.max_bytes, UINT64_MAX);
    EXPECT_EQ(defaults.max_pixels, 0u);
}

TEST(CInterfaceTest, ListingAsksForRoomThenFills) {
    std::vector<torvatest::AlkMember> rows(3);
    for (size_t i = 0; i < rows.size(); ++i) rows[i].data = Bytes(10 * (i + 1), uint8_t(i));
    const Bytes archive = torvatest::WriteAlk(rows);
    int kind = -1;
    size_t count = 99;
    EXPECT_EQ(torvasoft_list_memory(archive.data(), archive.size(), "a.alk", &kind, nullptr, 0, &count),
              TORVASOFT_BUFFER_TOO_SMALL);
    EXPECT_EQ(kind, TORVASOFT_KIND_ALK);
    ASSERT_EQ(count, 3u);
    std::vector<torvasoft_member> members(count + 1);
    std::memset(&members[count], 0xA5, sizeof members[count]);
    EXPECT_EQ(torvasoft_list_memory(archive.data(), archive.size(), "a.alk", &kind, members.data(), count, &count),
              TORVASOFT_COMPLETE);
    EXPECT_EQ(members[2].size, 30u);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(&members[count])[0], 0xA5) << "written past the room given";
    EXPECT_EQ(torvasoft_list_memory(archive.data(), archive.size(), "a.alk", &kind, nullptr, 2, &count),
              TORVASOFT_INVALID_ARGUMENT);
    EXPECT_EQ(torvasoft_list_memory(Bytes(40, 7).data(), 40, "a.bin", &kind, nullptr, 0, &count),
              TORVASOFT_NOT_RECOGNISED);
    EXPECT_EQ(kind, TORVASOFT_KIND_NONE);
}

int RefuseWrites(void*, const void*, size_t) { return 0; }

int CountWrites(void* context, const void*, size_t) {
    ++*static_cast<int*>(context);
    return 1;
}

TEST(CInterfaceTest, EncodingRoundTripsAndRefusalsWriteNothing) {
    // 16 x 2 pixels of four 4-bit-level colours, opaque: every format holds them exactly.
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 32; ++i) {
        const uint8_t level = uint8_t(17 * (i % 4) * 5);
        rgba.insert(rgba.end(), {level, uint8_t(255 - level), uint8_t(level / 5 * 3 / 3), 255});
    }
    for (auto& byte : rgba) byte = uint8_t(byte / 17 * 17);
    const torvasoft_picture picture{16, 2, rgba.data(), nullptr, nullptr, 0};
    struct Case {
        int format;
        const char* name;
    };
    for (const Case& c : {Case{TORVASOFT_FORMAT_QNT, "a.qnt"}, Case{TORVASOFT_FORMAT_PMS8, "a.pms"},
                          Case{TORVASOFT_FORMAT_PMS16, "a.pms"}, Case{TORVASOFT_FORMAT_VSP, "a.vsp"}}) {
        torvasoft_encode_options options{c.format, 0, 0, 0};
        std::vector<uint8_t> file;
        ASSERT_EQ(torvasoft::Encode(picture, options, file), TORVASOFT_COMPLETE) << c.name;
        const torvasoft::Picture back = torvasoft::Decode(file.data(), file.size(), c.name);
        ASSERT_EQ(back.status, torvasoft::Status::Complete) << c.name;
        if (c.format != TORVASOFT_FORMAT_PMS16) EXPECT_TRUE(back.pixels == rgba) << c.name;
        EXPECT_EQ(torvasoft_encode(&picture, &options, RefuseWrites, nullptr, nullptr), TORVASOFT_WRITE_FAILED);
    }
    // A VSP 12 pixels wide is refused before anything is written.
    const torvasoft_picture narrow{12, 2, rgba.data(), nullptr, nullptr, 0};
    torvasoft_encode_options vsp{TORVASOFT_FORMAT_VSP, 0, 0, 0};
    int writes = 0;
    EXPECT_EQ(torvasoft_encode(&narrow, &vsp, CountWrites, &writes, nullptr), TORVASOFT_BAD_WIDTH);
    EXPECT_EQ(writes, 0);
    // The whole picture must lie on the 640 x 400 screen; at its far corner it does.
    for (const auto& at : {std::pair<uint32_t, uint32_t>{632, 0}, {0, 399}, {640, 0}}) {
        vsp.x = at.first;
        vsp.y = at.second;
        EXPECT_EQ(torvasoft_encode(&picture, &vsp, CountWrites, &writes, nullptr), TORVASOFT_OFF_SCREEN);
        EXPECT_EQ(writes, 0);
    }
    vsp.x = 624;
    vsp.y = 398;
    std::vector<uint8_t> corner;
    ASSERT_EQ(torvasoft::Encode(picture, vsp, corner), TORVASOFT_COMPLETE);
    torvasoft_info info;
    ASSERT_EQ(torvasoft_inspect(corner.data(), corner.size(), "c.vsp", &info), TORVASOFT_COMPLETE);
    EXPECT_EQ(std::vector<int>({info.kind, info.has_position, info.x, info.y}),
              std::vector<int>({TORVASOFT_KIND_VSP, 1, 624, 398}));
    torvasoft_encode_options unknown{99, 0, 0, 0};
    EXPECT_EQ(torvasoft_encode(&picture, &unknown, CountWrites, &writes, nullptr), TORVASOFT_INVALID_ARGUMENT);
}

// The position every format stores, and a `like` original whose header the
// new file keeps.
TEST(CInterfaceTest, PositionsAndLikeOriginals) {
    std::vector<uint8_t> rgba(16 * 2 * 4, 255);
    for (size_t i = 0; i < rgba.size(); i += 8) rgba[i] = 0;
    const torvasoft_picture picture{16, 2, rgba.data(), nullptr, nullptr, 0};
    struct Case {
        int format;
        const char* name;
        uint32_t x, y;
        int status;
    };
    const Case cases[] = {
        {TORVASOFT_FORMAT_QNT, "a.qnt", uint32_t(-40), 7, TORVASOFT_COMPLETE},
        {TORVASOFT_FORMAT_QNT, "a.qnt", 2147483631, 0, TORVASOFT_COMPLETE},  // its right edge at INT32_MAX
        {TORVASOFT_FORMAT_QNT, "a.qnt", 2147483632, 0, TORVASOFT_OFF_SCREEN},
        {TORVASOFT_FORMAT_PMS8, "a.pms", 5, 2147483646, TORVASOFT_OFF_SCREEN},
        {TORVASOFT_FORMAT_PMS16, "a.pms", 300, 2147483645, TORVASOFT_COMPLETE},
        {TORVASOFT_FORMAT_VSP, "a.vsp", 8, 16, TORVASOFT_COMPLETE},
        {TORVASOFT_FORMAT_VSP, "a.vsp", uint32_t(-8), 0, TORVASOFT_OFF_SCREEN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(int32_t(c.x)) + "," + std::to_string(int32_t(c.y)));
        torvasoft_encode_options options{c.format, c.x, c.y, 0};
        std::vector<uint8_t> file;
        ASSERT_EQ(torvasoft::Encode(picture, options, file), c.status);
        if (c.status != TORVASOFT_COMPLETE) continue;
        torvasoft_info info;
        ASSERT_EQ(torvasoft_inspect(file.data(), file.size(), c.name, &info), TORVASOFT_COMPLETE);
        EXPECT_EQ(std::vector<int64_t>({info.has_position, info.x, info.y}),
                  std::vector<int64_t>({1, int32_t(c.x), int32_t(c.y)}));

        // The file as an original: its format and position are kept, and a
        // position given instead replaces only the position.
        torvasoft_encode_options like{};
        like.like = file.data();
        like.like_size = file.size();
        like.like_name = c.name;
        like.like_position = 1;
        std::vector<uint8_t> again;
        ASSERT_EQ(torvasoft::Encode(picture, like, again), TORVASOFT_COMPLETE);
        EXPECT_TRUE(again == file);
        like.like_position = 0;
        like.x = 0;
        like.y = 0;
        ASSERT_EQ(torvasoft::Encode(picture, like, again), TORVASOFT_COMPLETE);
        ASSERT_EQ(torvasoft_inspect(again.data(), again.size(), c.name, &info), TORVASOFT_COMPLETE);
        EXPECT_EQ(std::vector<int64_t>({info.x, info.y}), std::vector<int64_t>({0, 0}));
        // A format other than the original's is refused; the same one is not.
        like.format = c.format == TORVASOFT_FORMAT_QNT ? TORVASOFT_FORMAT_VSP : TORVASOFT_FORMAT_QNT;
        int writes = 0;
        EXPECT_EQ(torvasoft_encode(&picture, &like, CountWrites, &writes, nullptr), TORVASOFT_INVALID_ARGUMENT);
        like.format = c.format;
        EXPECT_EQ(torvasoft_encode(&picture, &like, CountWrites, &writes, nullptr), TORVASOFT_COMPLETE);
        // An original cut inside the header it would lend.
        // (QNT: its body whole, not its 52 bytes; PMS: 44 of 48; VSP: 9 of 10.)
        like.like_size = c.format == TORVASOFT_FORMAT_VSP ? 9 : c.format == TORVASOFT_FORMAT_QNT ? 48 : 44;
        EXPECT_EQ(torvasoft_encode(&picture, &like, CountWrites, &writes, nullptr), TORVASOFT_TRUNCATED);
    }
    torvasoft_encode_options none{};
    const uint8_t text[] = "no picture at all";
    none.like = text;
    none.like_size = sizeof text;
    none.like_name = "notes.txt";
    int writes = 0;
    EXPECT_EQ(torvasoft_encode(&picture, &none, CountWrites, &writes, nullptr), TORVASOFT_NOT_RECOGNISED);
    EXPECT_EQ(writes, 0);
}

struct Members {
    std::vector<Bytes> bytes;
};

int WriteMember(void* context, size_t index, torvasoft_write_fn write, void* writeContext) {
    const Bytes& member = static_cast<Members*>(context)->bytes[index];
    return write(writeContext, member.data(), member.size());
}

TEST(CInterfaceTest, PackedArchivesListAsPacked) {
    Members members{{Bytes(300, 1), Bytes(5, 2), Bytes(0, 0), Bytes(700, 3)}};
    const uint8_t* names[] = {reinterpret_cast<const uint8_t*>("one.qnt"), reinterpret_cast<const uint8_t*>("two"),
                              reinterpret_cast<const uint8_t*>("three"), reinterpret_cast<const uint8_t*>("four.pms")};
    for (int kind : {TORVASOFT_KIND_ALD, TORVASOFT_KIND_ALK}) {
        std::vector<torvasoft_pack_member> list;
        Members packed;
        for (size_t i = 0; i < members.bytes.size(); ++i) {
            // ALD members need bytes; ALK rows of 0 bytes stay empty rows.
            if (kind == TORVASOFT_KIND_ALD && members.bytes[i].empty()) continue;
            list.push_back({names[i], std::strlen(reinterpret_cast<const char*>(names[i])), members.bytes[i].size(),
                            uint64_t{133000000000000000} + i});
            packed.bytes.push_back(members.bytes[i]);
        }
        std::vector<uint8_t> archive;
        ASSERT_EQ(torvasoft_pack(kind, list.data(), list.size(), torvasoft::detail::AppendTo, &archive, WriteMember,
                                 &packed),
                  TORVASOFT_COMPLETE);
        const char* name = kind == TORVASOFT_KIND_ALD ? "x.ald" : "x.alk";
        const torvasoft::Listing listing = torvasoft::List(archive.data(), archive.size(), name);
        ASSERT_EQ(listing.status, torvasoft::Status::Complete) << name;
        std::vector<Bytes> read;
        for (const torvasoft_member& m : listing.members) {
            ASSERT_LE(m.position + m.size, archive.size());
            read.emplace_back(archive.begin() + long(m.position), archive.begin() + long(m.position + m.size));
        }
        std::vector<Bytes> expected;
        for (const Bytes& b : packed.bytes) {
            if (!b.empty()) expected.push_back(b);
        }
        EXPECT_EQ(read, expected) << name;
        if (kind == TORVASOFT_KIND_ALD) {
            EXPECT_EQ(torvasoft::Listing::NameOf(listing.members[0]), "one.qnt");
            EXPECT_EQ(listing.members[2].file_time / 10000000, (uint64_t{133000000000000000} + 3) / 10000000);
        }
        EXPECT_EQ(torvasoft_pack(kind, list.data(), list.size(), RefuseWrites, nullptr, WriteMember, &packed),
                  TORVASOFT_WRITE_FAILED);
    }
    const torvasoft_pack_member nameless{nullptr, 0, 4, 0};
    EXPECT_EQ(torvasoft_check_member(TORVASOFT_KIND_ALD, &nameless), TORVASOFT_NAME_EMPTY);
    const torvasoft_pack_member huge{names[0], 7, uint64_t{1} << 31, 0};
    EXPECT_EQ(torvasoft_check_member(TORVASOFT_KIND_ALK, &huge), TORVASOFT_MEMBER_TOO_LARGE);
    EXPECT_EQ(torvasoft_check_member(TORVASOFT_KIND_QNT, &huge), TORVASOFT_INVALID_ARGUMENT);
}

TEST(CInterfaceTest, EveryStatusHasItsOwnName) {
    std::set<std::string> names;
    const int statuses[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    for (int status : statuses) {
        EXPECT_TRUE(names.insert(torvasoft_status_name(status)).second) << status;
        EXPECT_STRNE(torvasoft_status_text(status), "unknown status") << status;
    }
    EXPECT_EQ(names.count("unknown"), 0u);
    EXPECT_STREQ(torvasoft_status_name(10), "unknown");
    EXPECT_STREQ(torvasoft_status_name(-1), "unknown");
    EXPECT_STREQ(torvasoft_version(), TORVASOFT_VERSION_STRING);
}

}  // namespace
