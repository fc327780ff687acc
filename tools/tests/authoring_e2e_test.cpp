// torva encode and torva pack end to end, in a scratch folder: outputs read
// back through torva convert and the plug-in, refusals with their reasons
// and exit statuses, overwrites, and the Windows build against the native
// one under Wine when there is one.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "author/picture_reader.h"
#include "plugin/entry_points.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tools/tests/e2e_files.h"
#include "tools/torva/bitmap_view.h"
#include "tools/torva/bitmap_png.h"

namespace {

using torvae2e::Quote;
using torvae2e::ReadFile;
using torvae2e::WriteFile;
using torvae2e::Exists;
using torvae2e::Outcome;
using torvae2e::RunTool;

Outcome RunIn(const std::string& tool, const std::string& directory, const std::vector<std::string>& arguments) {
    return RunTool("TZ=UTC WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 " + tool, directory, arguments);
}

// A 24-bit bottom-up BMP of `colours` colours made of 4-bit levels (or any
// 8-bit values past the first 16), in stripes and blocks.
std::string MakeBmp(int width, int height, int colours, bool alpha = false) {
    const int bits = alpha ? 32 : 24, stride = (width * bits / 8 + 3) & ~3;
    std::string bmp(54 + size_t(stride) * height, '\0');
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) bmp[at + i] = char(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, uint32_t(bmp.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, uint32_t(width), 4);
    put(22, uint32_t(height), 4);
    put(26, 1, 2);
    put(28, uint32_t(bits), 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int c = (y * width + x) % colours;
            const uint32_t level = c < 16 ? uint32_t(c * 17) : uint32_t(c);
            uint8_t* p = reinterpret_cast<uint8_t*>(&bmp[54 + size_t(height - 1 - y) * stride + x * bits / 8]);
            p[0] = uint8_t(level), p[1] = uint8_t(c < 16 ? 255 - level : c / 3), p[2] = uint8_t(c % 2 ? 0x33 : 0xCC);
            if (alpha) p[3] = uint8_t(x * 20);
        }
    }
    return bmp;
}

// The RGBA pixels of a picture file, read as the encoder reads its input.
std::vector<uint8_t> Pixels(const std::string& bytes) {
    author::InputPicture picture;
    const char* reason = "";
    if (!author::ReadInputPicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture, &reason)) {
        ADD_FAILURE() << reason;
        return {};
    }
    return std::vector<uint8_t>(picture.rgba.data(), picture.rgba.data() + picture.rgba.size());
}

// Every file in a directory, by name, with its bytes.
std::string Snapshot(const std::string& directory) {
    std::string all;
    if (DIR* dir = opendir(directory.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir)) names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (name != "." && name != "..") all += name + ":" + ReadFile(directory + "/" + name) + "\n";
        }
    }
    return all;
}

class Authoring : public testing::Test {
protected:
    void SetUp() override {
        work_ = testing::TempDir() + "torva_authoring_" + std::to_string(getpid());
        std::system(("rm -rf " + Quote(work_) + " && mkdir -p " + Quote(work_) + "/set/sub").c_str());
        WriteFile(work_ + "/flat.bmp", MakeBmp(24, 10, 6));
        WriteFile(work_ + "/odd.bmp", MakeBmp(25, 15, 300));
        WriteFile(work_ + "/alpha.bmp", MakeBmp(9, 5, 40, true));
        torva::BitmapView view;
        std::string png, error;
        const std::string bmp = ReadFile(work_ + "/flat.bmp");
        ASSERT_TRUE(view.parse(bmp, error)) << error;
        ASSERT_TRUE(torva::EncodePng(view, torva::PngLevel::Default, png, error)) << error;
        WriteFile(work_ + "/flat.png", png);
        WriteFile(work_ + "/cut.png", png.substr(0, png.size() / 2));
        for (const char* name : {"set/b.bin", "set/a10.bin", "set/a9.bin", "set/sub/\xe8\xa1\xa8\xe7\xb4\x99.qnt"}) {
            WriteFile(work_ + "/" + name, std::string(name) + std::string(300, 'x'));
            struct utimbuf times = {1700000000, 1700000000};
            utime((work_ + "/" + name).c_str(), &times);
        }
        WriteFile(work_ + "/set/empty.bin", "");
    }
    void TearDown() override {
        if (!HasFailure()) std::system(("rm -rf " + Quote(work_)).c_str());
    }
    Outcome torva(const std::vector<std::string>& arguments) { return RunIn(Quote(TORVA_NATIVE_TOOL), work_, arguments); }
    std::string work_;
};

TEST_F(Authoring, EncodesEveryFormatAndRefusesWithTheReason) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* output;    // written and read back against `source`, or refused and absent
        const char* source;
        const char* message;   // part of standard error
    };
    const Case cases[] = {
        {{"encode", "flat.png", "-o", "out", "--format", "qnt"}, 0, "out/flat.qnt", "flat.bmp", ""},
        {{"encode", "odd.bmp", "-o", "out/odd.qnt"}, 0, "out/odd.qnt", "odd.bmp", ""},
        {{"encode", "alpha.bmp", "-o", "out", "-f", "qnt"}, 0, "out/alpha.qnt", "alpha.bmp", ""},
        {{"encode", "flat.bmp", "-o", "out", "--format=pms8"}, 0, "out/flat.pms", "flat.bmp", ""},
        {{"encode", "flat.png", "-o", "out/f.vsp", "--at", "16,8"}, 0, "out/f.vsp", "flat.bmp", ""},
        {{"encode", "odd.bmp", "-o", "out/o.pms"}, 0, "out/o.pms", nullptr, "has 300 colours, so it is written as 16-bit PMS"},
        {{"encode", "odd.bmp", "-o", "out", "--format", "pms8"}, 1, "out/odd.pms", nullptr,
         "8-bit PMS holds at most 256 colours and the picture has 300"},
        {{"encode", "odd.bmp", "-o", "out", "--format", "vsp"}, 1, "out/odd.vsp", nullptr, "multiples of 8 and the picture is 25 x 15"},
        {{"encode", "alpha.bmp", "-o", "out", "--format", "pms8"}, 1, "out/alpha.pms", nullptr, "has translucent pixels"},
        {{"encode", "flat.bmp", "-o", "out", "--format", "vsp", "--at", "4,0"}, 1, "out/flat.vsp", nullptr, "at 4,0"},
        {{"encode", "cut.png", "-o", "out", "--format", "qnt"}, 1, "out/cut.qnt", nullptr, "cut.png: damaged"},
        {{"encode", "flat.bmp", "-o", "out", "--format", "gif"}, 2, "out/flat.gif", nullptr, "unknown format 'gif'"},
        {{"encode", "flat.bmp", "-o", "out"}, 2, "out/flat.qnt", nullptr, "say which format"},
        {{"encode", "flat.bmp", "odd.bmp", "-o", "x.qnt"}, 2, "x.qnt", nullptr, "names one file"},
        {{"encode", "flat.bmp", "-o", "out", "-f", "qnt", "--at", "8,8"}, 0, "out/flat.qnt", "flat.bmp", ""},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome run = torva(c.arguments);
        SCOPED_TRACE(c.arguments[1] + " " + c.arguments.back());
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(Exists(work_ + "/" + c.output), c.status == 0);
        if (c.source == nullptr || c.status != 0) continue;
        if (std::string(c.output) == "out/f.vsp") {
            // The position is stored in units of 8 pixels: 2, 8, 2 + 24 / 8, 8 + 10.
            EXPECT_EQ(ReadFile(work_ + "/out/f.vsp").substr(0, 8), std::string("\x02\x00\x08\x00\x05\x00\x12\x00", 8));
        }
        const Outcome back = torva({"convert", c.output, "--format", "bmp", "-o", "back", "--overwrite"});
        ASSERT_EQ(back.status, 0) << back.err;
        const std::string stem = std::string(c.output).substr(4, std::string(c.output).size() - 8);
        EXPECT_EQ(Pixels(ReadFile(work_ + "/back/" + stem + ".bmp")), Pixels(ReadFile(work_ + "/" + c.source)));
    }
}

TEST_F(Authoring, NeverOverwritesWithoutBeingTold) {
    ASSERT_EQ(torva({"encode", "flat.bmp", "-o", "out", "-f", "qnt"}).status, 0);
    WriteFile(work_ + "/out/flat.qnt", "keep");
    const Outcome refused = torva({"encode", "flat.bmp", "-o", "out", "-f", "qnt"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("exists (use --overwrite"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(work_ + "/out/flat.qnt"), "keep");
    EXPECT_EQ(torva({"pack", "set/b.bin", "-o", "out/flat.qnt.alk"}).status, 0);
    EXPECT_EQ(torva({"pack", "set/a9.bin", "-o", "out/flat.qnt.alk"}).status, 1);
    EXPECT_EQ(torva({"encode", "flat.bmp", "-o", "out", "-f", "qnt", "--overwrite"}).status, 0);
    EXPECT_NE(ReadFile(work_ + "/out/flat.qnt"), "keep");
    EXPECT_EQ(torva({"pack", "set/a9.bin", "-o", "out/flat.qnt.alk", "--overwrite"}).status, 0);
}

// name, position, size and the first bytes of each member, as the plug-in
// lists them; `times` gets the members' time stamps (local time).
std::string Listing(const std::string& directory, const std::string& name, std::vector<uint64_t>* times = nullptr) {
    const std::string path = directory + "/" + name;
    const std::string bytes = ReadFile(path);
    torvatest::TempFile temp(torvatest::Bytes(bytes.begin(), bytes.end()), ".bin");
    torvatest::OpenFile handle(temp.path());
    torvatest::HostRecord record(torvatest::Bytes(bytes.begin(), bytes.end()), name.substr(name.rfind('/') + 1),
                                 handle.handle());
    HGLOBAL block = nullptr;
    int32_t count = 0;
    if (KRV_GetArchiveInfo(record.get(), &block, &count) != 0 || block == nullptr) return "not listed";
    const torvatest::Bytes raw = torvatest::BlockBytes(block, size_t(count) * sizeof(ArchiveEntry));
    GlobalFree(block);
    std::string listing;
    for (int32_t i = 0; i < count; ++i) {
        ArchiveEntry e;
        std::memcpy(&e, raw.data() + size_t(i) * sizeof e, sizeof e);
        if (times != nullptr) times->push_back(uint64_t(e.timestamp.dwHighDateTime) << 32 | e.timestamp.dwLowDateTime);
        listing += std::string(e.name) + " " + std::to_string(e.position) + " " + std::to_string(e.size) + " " +
                   bytes.substr(size_t(e.position), size_t(e.size)).substr(0, 12) + "\n";
    }
    return listing;
}

TEST_F(Authoring, PacksInTheOrderGivenAndExtractedMembersPackTheSame) {
    WriteFile(work_ + "/order.txt", "set/b.bin\n\nset/a9.bin\r\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* listing;  // of the archive written, or part of standard error
    };
    const std::string sjis = "\x95\x5c\x8e\x86.qnt";
    const Case cases[] = {
        {{"pack", "-r", "set", "-o", "x.ald"}, 0,
         "a9.bin 800 310 set/a9.binxx\na10.bin 1312 311 set/a10.binx\nb.bin 1824 309 set/b.binxxx\n"
         "empty.bin 2336 0 \n\x95\x5c\x8e\x86.qnt 2592 318 set/sub/\xe8\xa1\xa8\xe7\n"},
        {{"pack", "set/b.bin", "--list", "order.txt", "-o", "x.alk"}, 0,
         "x_001.dat 32 309 set/b.binxxx\nx_002.dat 341 309 set/b.binxxx\nx_003.dat 650 310 set/a9.binxx\n"},
        {{"pack", "set", "-o", "y.ald"}, 1, "is a directory (use -r"},
        {{"pack", "set/a9.bin", "-o", "x.zip"}, 2, "must end in .ald or .alk"},
        {{"pack", "set/a9.bin"}, 2, "say which archive"},
    };
    for (const Case& c : cases) {
        const std::string archive = c.arguments.back();
        std::remove((work_ + "/" + archive).c_str());
        const Outcome run = torva(c.arguments);
        SCOPED_TRACE(archive);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.status == 0) {
            EXPECT_EQ(Listing(work_, archive), c.listing);
        } else {
            EXPECT_NE(run.err.find(c.listing), std::string::npos) << run.err;
            EXPECT_FALSE(Exists(work_ + "/" + archive));
        }
    }
    // ALD time stamps are the files' modification times; the plug-in lists
    // them in local time.
    std::vector<uint64_t> times;
    Listing(work_, "x.ald", &times);
    const uint64_t stamp = (1700000000 + 11644473600ull) * 10000000ull;
    FILETIME utc = {DWORD(stamp), DWORD(stamp >> 32)}, local = {0, 0};
    FileTimeToLocalFileTime(&utc, &local);
    ASSERT_EQ(times.size(), 5u);
    for (size_t i : {0, 1, 2, 4}) EXPECT_EQ(times[i], uint64_t(local.dwHighDateTime) << 32 | local.dwLowDateTime) << i;

    // Extract, pack again: the same listing and member bytes.
    for (const char* archive : {"x.ald", "x.alk"}) {
        std::system(("rm -rf " + Quote(work_ + "/un")).c_str());
        const Outcome extracted = torva({"extract", archive, "-o", "un"});
        ASSERT_EQ(extracted.status, 0) << extracted.err;
        // Named as the first, so that ALK members are named alike.
        const std::string again = std::string("un2/") + archive;
        ASSERT_EQ(torva({"pack", "-r", "un", "-o", again}).status, 0);
        // extract gives each file the member's time stamp, and pack takes it back.
        std::vector<uint64_t> before, after;
        EXPECT_EQ(Listing(work_, again, &after), Listing(work_, archive, &before)) << archive;
        EXPECT_EQ(after, before) << archive;
    }
}

// ---- exact repacking ----

// An ALD of odd framing, as no writer of ours makes it: table slack, a gap
// before the first member, a long header, junk in padding, bytes after the end.
std::string OddAld() {
    std::vector<torvatest::AldMember> members(3);
    const char* names[] = {"one.bin", "two.bin", "three.bin"};
    for (size_t i = 0; i < members.size(); ++i) {
        members[i].name = names[i];
        members[i].data = torvatest::Bytes(100 + 200 * i, static_cast<unsigned char>('a' + i));
        members[i].utcFileTime = 0x01D0000000000000ull + i;
    }
    members[1].headerLength = 128;
    torvatest::AldOptions options;
    options.tableSectors = 2;
    options.firstMemberSector = 9;
    options.endMarker = false;
    torvatest::AldLayout layout;
    torvatest::Bytes file = torvatest::WriteAld(members, options, &layout);
    file[layout.dataPositions[0] + 100 + 3] = 0xEE;
    std::string bytes(file.begin(), file.end());
    return bytes + "TRAILING BYTES";
}

TEST_F(Authoring, ExtractThenPackManifestGivesTheArchiveBack) {
    // An ALK with empty rows: files named by row, rows 2, 4 and 5 missing.
    std::system(("mkdir -p " + Quote(work_ + "/gap")).c_str());
    for (const char* name : {"g_001.dat", "g_003.dat", "g_006.dat"}) WriteFile(work_ + "/gap/" + name, name);
    ASSERT_EQ(torva({"pack", "-r", "gap", "-o", "gap.alk"}).status, 0);
    const std::string gap = ReadFile(work_ + "/gap.alk");
    ASSERT_GE(gap.size(), 56u);
    EXPECT_EQ(gap.substr(0, 8), std::string("ALK0\x06\x00\x00\x00", 8));
    for (size_t row : {1, 3, 4}) EXPECT_EQ(gap.substr(12 + 8 * row, 4), std::string(4, '\0')) << row;
    ASSERT_EQ(torva({"pack", "-r", "set", "-o", "x.ald"}).status, 0);
    ASSERT_EQ(torva({"pack", "set/b.bin", "set/a9.bin", "set/empty.bin", "set/a10.bin", "-o", "x.alk"}).status, 0);
    WriteFile(work_ + "/odd.ald", OddAld());

    for (const char* archive : {"gap.alk", "x.ald", "x.alk", "odd.ald"}) {
        SCOPED_TRACE(archive);
        const std::string dir = std::string("un-") + archive;
        const Outcome extracted = torva({"extract", archive, "-o", dir});
        ASSERT_EQ(extracted.status, 0) << extracted.err;
        const std::string manifest = dir + "/" + archive + ".manifest.json";
        ASSERT_TRUE(Exists(work_ + "/" + manifest));
        const Outcome packed = torva({"pack", "--manifest", manifest, "-o", std::string("again/") + archive});
        ASSERT_EQ(packed.status, 0) << packed.err;
        EXPECT_TRUE(ReadFile(work_ + "/again/" + archive) == ReadFile(work_ + "/" + archive));
    }
    // Without the manifest the rows keep their numbers too: the members are
    // named by row, and pack puts them back there.
    for (const char* name : {"gap_001.dat", "gap_003.dat", "gap_006.dat"}) {
        EXPECT_TRUE(Exists(work_ + "/un-gap.alk/" + name)) << name;
    }
    ASSERT_EQ(torva({"pack", "-r", "un-gap.alk", "-o", "rows/gap.alk"}).status, 0);
    EXPECT_TRUE(ReadFile(work_ + "/rows/gap.alk") == gap);
    WriteFile(work_ + "/un-gap.alk/other_003.dat", "x");
    const Outcome clash = torva({"pack", "-r", "un-gap.alk", "-o", "clash.alk"});
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.err.find("both name row 3"), std::string::npos) << clash.err;
    EXPECT_FALSE(Exists(work_ + "/clash.alk"));
}

TEST_F(Authoring, PackManifestOfAChangedMemberMovesOnlyWhatFollowsIt) {
    ASSERT_EQ(torva({"pack", "set/b.bin", "set/a9.bin", "set/a10.bin", "-o", "x.alk"}).status, 0);
    ASSERT_EQ(torva({"pack", "set/b.bin", "set/a9.bin", "set/a10.bin", "-o", "x.ald"}).status, 0);
    ASSERT_EQ(torva({"extract", "x.alk", "-o", "k"}).status, 0);
    ASSERT_EQ(torva({"extract", "x.ald", "-o", "d"}).status, 0);
    const std::string alk = ReadFile(work_ + "/x.alk"), ald = ReadFile(work_ + "/x.ald");
    struct Case {
        const char* member;
        size_t size;  // of its new bytes
    };
    // ALK rows: (32, 309), (341, 310), (651, 311). ALD: a9.bin's data at 1312 in sector 5.
    for (const Case& c : {Case{"k/x_002.dat", 1000}, Case{"k/x_002.dat", 3}, Case{"k/x_002.dat", 310},
                          Case{"d/a9.bin", 1000}, Case{"d/a9.bin", 3}}) {
        SCOPED_TRACE(std::string(c.member) + " " + std::to_string(c.size));
        const bool isAlk = c.member[0] == 'k';
        const std::string original = isAlk ? alk : ald;
        const std::string member = ReadFile(work_ + "/" + c.member);
        const std::string replacement(c.size, 'Z');
        WriteFile(work_ + "/" + c.member, replacement);
        const Outcome run = torva({"pack", "--manifest", isAlk ? "k/x.alk.manifest.json" : "d/x.ald.manifest.json",
                                   "-o", isAlk ? "new.alk" : "new.ald", "--overwrite"});
        WriteFile(work_ + "/" + c.member, member);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string rebuilt = ReadFile(work_ + (isAlk ? "/new.alk" : "/new.ald"));
        const size_t start = isAlk ? 341 : 1312, oldEnd = start + member.size(), newEnd = start + c.size;
        const size_t tableEnd = isAlk ? 32 : 256, oldFrom = isAlk ? oldEnd : (oldEnd + 255) / 256 * 256,
                     newFrom = isAlk ? newEnd : (newEnd + 255) / 256 * 256;
        ASSERT_GE(rebuilt.size(), newFrom);
        EXPECT_EQ(rebuilt.substr(start, c.size), replacement);
        if (isAlk) {
            EXPECT_EQ(rebuilt.substr(tableEnd, start - tableEnd), original.substr(tableEnd, start - tableEnd));
        } else {
            // The member's own header (sector 5) holds its new size.
            EXPECT_EQ(rebuilt.substr(tableEnd, 1280 - tableEnd), original.substr(tableEnd, 1280 - tableEnd));
            EXPECT_EQ(rebuilt.substr(1284, 4), std::string(1, char(c.size & 0xFF)) + char(c.size >> 8) + '\0' + '\0');
        }
        EXPECT_EQ(rebuilt.substr(newFrom), original.substr(oldFrom));
        // The plug-in lists the rebuilt archive with the other members' bytes.
        const std::string before = Listing(work_, isAlk ? "x.alk" : "x.ald");
        const std::string after = Listing(work_, isAlk ? "new.alk" : "new.ald");
        const std::string firstAfter = after.substr(0, after.find('\n'));
        const std::string firstBefore = before.substr(0, before.find('\n'));
        EXPECT_EQ(firstAfter.substr(firstAfter.find(' ')), firstBefore.substr(firstBefore.find(' ')));
    }
}

TEST_F(Authoring, PackManifestRefusesWhatItCannotRebuild) {
    ASSERT_EQ(torva({"pack", "set/b.bin", "set/a9.bin", "-o", "x.alk"}).status, 0);
    ASSERT_EQ(torva({"extract", "x.alk", "-o", "k"}).status, 0);
    const std::string manifest = ReadFile(work_ + "/k/x.alk.manifest.json");
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = manifest;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    struct Case {
        const char* name;
        std::string text;  // of the manifest
        std::vector<std::string> extra;
        const char* output;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"cut", manifest.substr(0, manifest.size() / 2), {}, "o.alk", 1, "line "},
        {"not ours", "{\"rows\": []}", {}, "o.alk", 1, "is not one that torva extract wrote"},
        {"nested", std::string(100, '[') + std::string(100, ']'), {}, "o.alk", 1, "nested too deeply"},
        {"outside", replaced("\"x_001.dat\"", "\"../x_001.dat\""), {}, "o.alk", 1, "outside the manifest's directory"},
        {"missing", replaced("\"x_001.dat\"", "\"gone.dat\""), {}, "o.alk", 1, "cannot open"},
        {"moved", replaced("\"position\": 24", "\"position\": 25"), {}, "o.alk", 1,
         "do not describe one archive"},
        {"kind", manifest, {}, "o.ald", 2, "its name must end in .alk"},
        {"files too", manifest, {"set/b.bin"}, "o.alk", 2, "give no files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((work_ + "/" + c.output).c_str());
        WriteFile(work_ + "/k/edited.json", c.text);
        std::vector<std::string> arguments = {"pack", "--manifest", "k/edited.json", "-o", c.output};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const Outcome run = torva(arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(work_ + "/" + c.output));
    }
}

TEST_F(Authoring, RefusesNamesThatCodePage932CannotHold) {
    WriteFile(work_ + "/caf\xc3\xa9\xf0\x9f\x98\x80.qnt", "x");
    WriteFile(work_ + "/" + std::string(48, 'n'), "x");
    const Outcome run = torva({"pack", "caf\xc3\xa9\xf0\x9f\x98\x80.qnt", std::string(48, 'n'), "set/a9.bin", "-o", "y.ald"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot be written in code page 932"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("longer than 47 bytes"), std::string::npos) << run.err;
    EXPECT_FALSE(Exists(work_ + "/y.ald"));
}

// torva.exe under Wine writes the same bytes and says the same things.
TEST_F(Authoring, WindowsBuildWritesTheSameBytes) {
    const char* exe = std::getenv("TORVA_WINDOWS_TOOL");
    const std::string windows = exe != nullptr ? exe : TORVA_WINDOWS_TOOL;
    if (windows.empty() || !Exists(windows) || std::system("WINEDEBUG=-all wine --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no Windows build of torva or no Wine";
    }
    const std::vector<std::vector<std::string>> cases = {
        {"encode", "flat.png", "odd.bmp", "alpha.bmp", "-o", "OUT", "-f", "pms16"},
        {"encode", "flat.png", "-o", "OUT/a.vsp", "--at", "8,8"},
        {"encode", "alpha.bmp", "odd.bmp", "-o", "OUT", "-f", "qnt"},
        {"encode", "odd.bmp", "-o", "OUT", "-f", "pms8"},
        {"pack", "-r", "set", "-o", "OUT/p.ald"},
        {"pack", "-r", "set", "-o", "OUT/p.alk"},
    };
    for (const auto& arguments : cases) {
        std::system(("rm -rf " + Quote(work_ + "/OUT")).c_str());
        const Outcome native = torva(arguments);
        const std::string nativeFiles = Snapshot(work_ + "/OUT");
        std::system(("rm -rf " + Quote(work_ + "/OUT")).c_str());
        const Outcome wine = RunIn("wine " + Quote(windows), work_, arguments);
        SCOPED_TRACE(arguments[1]);
        EXPECT_EQ(wine.status, native.status) << wine.err;
        EXPECT_EQ(wine.err, native.err);
        EXPECT_EQ(nativeFiles.empty(), native.status != 0);
        EXPECT_TRUE(Snapshot(work_ + "/OUT") == nativeFiles);
    }
}

}  // namespace
