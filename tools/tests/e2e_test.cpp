// torva end to end: the native tool on files made by the project's writers,
// every command with its outputs, messages and exit status; and, when a
// Windows build is there, torva.exe with torvasoft.dll under Wine on the
// same files, whose outputs must be the same bytes.
#include <gtest/gtest.h>

#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tools/torva/bitmap_view.h"

#ifdef TORVA_HAVE_LIBPNG
#include <png.h>
#endif

using torvatest::Bytes;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
void WriteFile(const std::string& path, const Bytes& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Shift-JIS bytes as UTF-8: how Wine shows a name the Windows build made.
std::string ShiftJisToUtf8(const std::string& text) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string in = text, out(text.size() * 4 + 4, '\0');
    char* src = &in[0];
    char* dst = &out[0];
    size_t srcLeft = in.size(), dstLeft = out.size();
    const size_t result = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1)) return text;
    out.resize(out.size() - dstLeft);
    return out;
}

// Every regular file under `root`, by path relative to it, with its bytes.
void Collect(const std::string& root, const std::string& relative, std::map<std::string, std::string>& files,
             bool namesFromShiftJis) {
    DIR* dir = opendir((root + "/" + relative).c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat status;
        if (stat((root + "/" + path).c_str(), &status) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            Collect(root, path, files, namesFromShiftJis);
        } else {
            files[namesFromShiftJis ? ShiftJisToUtf8(path) : path] = ReadFile(root + "/" + path);
        }
    }
    closedir(dir);
}

std::map<std::string, std::string> Tree(const std::string& root, bool namesFromShiftJis = false) {
    std::map<std::string, std::string> files;
    Collect(root, "", files, namesFromShiftJis);
    return files;
}

std::string Names(const std::map<std::string, std::string>& tree) {
    std::string names;
    for (const auto& file : tree) names += file.first + "\n";
    return names;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// One build of the tool, run from a working directory with relative paths.
class Tool {
public:
    Tool(std::string command, bool windows) : command_(std::move(command)), windows_(windows) {}
    bool windows() const { return windows_; }

    Outcome run(const std::string& directory, const std::vector<std::string>& arguments) const {
        std::string line = "cd " + Quote(directory) + " && TZ=Asia/Tokyo ";
        if (windows_) line += "WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 ";
        line += command_;
        for (const std::string& argument : arguments) {
            // Wine takes its arguments in the Unix locale and hands them to
            // the program in its code page, 932 here.
            line += " " + Quote(windows_ ? ShiftJisToUtf8(argument) : argument);
        }
        const std::string out = directory + "/.stdout", err = directory + "/.stderr";
        line += " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
        const int raw = std::system(line.c_str());
        Outcome run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadFile(out);
        run.err = ReadFile(err);
        std::remove(out.c_str());
        std::remove(err.c_str());
        return run;
    }

private:
    std::string command_;
    bool windows_;
};

std::string MakeWorkDirectory(const std::string& name) {
    const std::string path = testing::TempDir() + "torva_e2e_" + name + "_" + std::to_string(getpid());
    std::system(("rm -rf " + Quote(path) + " && mkdir -p " + Quote(path)).c_str());
    return path;
}

// The input files every test uses, in a directory of their own:
//   samples.ald, samples.alk, pictures/*  (from the sample maker)
//   hostile.ald    members named to climb out of the output directory
//   damaged.ald    a member cut off by the end of the file, another intact
//   badpic.ald     a .qnt member that is no QNT, next to a good one
//   broken.qnt     a QNT cut off inside its header
//   notes.txt      no file of ours
class Inputs {
public:
    static const std::string& Directory() {
        static const std::string directory = Make();
        return directory;
    }

private:
    static std::string Make() {
        const std::string directory = MakeWorkDirectory("inputs");
        if (std::system((Quote(TORVA_SAMPLES_TOOL) + " " + Quote(directory) + " >/dev/null").c_str()) != 0) {
            ADD_FAILURE() << "the sample maker failed";
        }
        const std::string sunset = ReadFile(directory + "/pictures/sunset.qnt");
        const Bytes picture(sunset.begin(), sunset.end());

        std::vector<torvatest::AldMember> hostile;
        for (const char* name : {"..\\..\\escape.qnt", "/absolute.qnt", "sub/dir.qnt", "..", "CON.qnt"}) {
            torvatest::AldMember member;
            member.name = name;
            member.data = picture;
            hostile.push_back(member);
        }
        WriteFile(directory + "/hostile.ald", torvatest::WriteAld(hostile));

        torvatest::AldMember whole, cut;
        whole.name = "whole.qnt";
        whole.data = picture;
        cut.name = "cut.qnt";
        cut.data = picture;
        Bytes damaged = torvatest::WriteAld({whole, cut}, torvatest::AldOptions{1, 0, 0, false});
        damaged.resize(damaged.size() - picture.size() / 2);
        WriteFile(directory + "/damaged.ald", damaged);

        torvatest::AldMember bad;
        bad.name = "bad.qnt";
        bad.data.assign(300, 0x5A);
        WriteFile(directory + "/badpic.ald", torvatest::WriteAld({bad, whole}));

        // Large and noisy enough for many deflate blocks: the builds must
        // still agree byte for byte.
        torvatest::QntPicture large;
        large.width = 512;
        large.height = 384;
        torvatest::Random random(14);
        for (uint32_t i = 0; i < large.width * large.height; ++i) {
            const uint8_t level = uint8_t(i % 512 / 2 + random.below(9));
            large.bgr.insert(large.bgr.end(), {level, uint8_t(255 - level), uint8_t(random.below(256))});
            large.alpha.push_back(uint8_t(i / 512 % 256));
        }
        WriteFile(directory + "/large.qnt", torvatest::WriteQnt(large, torvatest::QntOptions()));

        // The header itself is cut short.
        WriteFile(directory + "/broken.qnt", sunset.substr(0, 40));
        WriteFile(directory + "/notes.txt", std::string("not a picture\n"));
        return directory;
    }
};

Tool NativeTool() { return Tool(Quote(TORVA_NATIVE_TOOL), false); }

// The Windows build, when there is one and Wine to run it.
bool FindWindowsTool(std::string& command) {
    const char* fromEnvironment = std::getenv("TORVA_WINDOWS_TOOL");
    const std::string exe = fromEnvironment != nullptr ? fromEnvironment : TORVA_WINDOWS_TOOL;
    if (exe.empty() || access(exe.c_str(), R_OK) != 0) return false;
    if (std::system("command -v wine >/dev/null 2>&1") != 0) return false;
    command = "wine " + Quote(exe);
    return true;
}

// Runs the native tool with the inputs' directory as working directory and
// `out` (relative to a fresh work directory) as output.
class NativeRun : public testing::Test {
protected:
    void SetUp() override {
        work_ = MakeWorkDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
        std::system(("cp -r " + Quote(Inputs::Directory()) + "/. " + Quote(work_)).c_str());
    }
    void TearDown() override {
        if (!HasFailure()) std::system(("rm -rf " + Quote(work_)).c_str());
    }
    Outcome torva(const std::vector<std::string>& arguments) { return NativeTool().run(work_, arguments); }
    std::string work_;
};

// ---- usage and help ----

TEST_F(NativeRun, HelpForEveryCommandAndUsageErrorsExitWithTwo) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* stdoutStart;
        const char* stderrPart;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: torva COMMAND", ""},
        {{"info", "--help"}, 0, "Usage: torva info FILE...", ""},
        {{"list", "-h"}, 0, "Usage: torva list ARCHIVE", ""},
        {{"extract", "--help"}, 0, "Usage: torva extract ARCHIVE", ""},
        {{"convert", "--help"}, 0, "Usage: torva convert FILE...", ""},
        {{}, 2, "", "torva: no command given"},
        {{"frobnicate"}, 2, "", "torva: unknown command 'frobnicate'"},
        {{"info"}, 2, "", "torva: no file given\nTry 'torva info --help'."},
        {{"list"}, 2, "", "torva: no archive given"},
        {{"list", "samples.ald", "samples.alk"}, 2, "", "only one archive"},
        {{"list", "-o", "x", "samples.ald"}, 2, "", "unknown option -o"},
        {{"convert", "--format", "gif", "samples.ald"}, 2, "", "unknown format 'gif' (png or bmp)"},
        {{"convert", "--depth=8", "samples.ald"}, 2, "", "unknown depth '8' (16 or 24)"},
        {{"convert", "samples.ald", "-o"}, 2, "", "option -o needs a value"},
        {{"extract", "--bogus", "samples.ald"}, 2, "", "unknown option --bogus"},
    };
    for (const Case& c : cases) {
        const Outcome run = torva(c.arguments);
        const std::string what = c.arguments.empty() ? "(nothing)" : c.arguments[0] + " ...";
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
        EXPECT_EQ(run.out.compare(0, std::strlen(c.stdoutStart), c.stdoutStart), 0) << what << "\n" << run.out;
        EXPECT_NE(run.err.find(c.stderrPart), std::string::npos) << what << "\n" << run.err;
        // A usage error does no work: nothing is written anywhere.
        if (c.status == 2) {
            EXPECT_EQ(run.out, "") << what;
        }
    }
}

// ---- info ----

TEST_F(NativeRun, InfoTellsKindSizeAndDepthOfEachFile) {
    const Outcome run = torva({"info", "pictures/sunset.qnt", "pictures/ring_alpha.qnt", "pictures/checker.pms",
                           "pictures/gradient16.pms", "pictures/disc16_alpha.pms", "pictures/bars.vsp",
                           "samples.ald", "samples.alk"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const char* expected[] = {
        "pictures/sunset.qnt: QNT picture, 128 x 96, 24-bit, ",
        "pictures/ring_alpha.qnt: QNT picture, 96 x 96, 32-bit, ",
        "pictures/checker.pms: PMS picture, 128 x 96, 8-bit, ",
        "pictures/gradient16.pms: PMS picture, 128 x 96, 16-bit, ",
        "pictures/disc16_alpha.pms: PMS picture, 128 x 96, 16-bit, ",
        "pictures/bars.vsp: VSP picture, 128 x 80, 4-bit, ",
        "samples.ald: ALD archive, 8 members, ",
        "samples.alk: ALK archive, 5 members, ",
    };
    std::istringstream lines(run.out);
    std::string line;
    for (const char* start : expected) {
        ASSERT_TRUE(std::getline(lines, line)) << run.out;
        EXPECT_EQ(line.compare(0, std::strlen(start), start), 0) << line;
    }
}

TEST_F(NativeRun, InfoNamesEachFileItCannotReadAndGoesOn) {
    const Outcome run = torva({"info", "notes.txt", "missing.qnt", "pictures", "pictures/sunset.qnt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "torva: notes.txt: not an archive or picture that torva can read\n"
              "torva: missing.qnt: cannot open: No such file or directory\n"
              "torva: pictures: cannot open: is a directory\n");
    EXPECT_EQ(run.out.compare(0, 21, "pictures/sunset.qnt: "), 0) << run.out;
}

// ---- list ----

TEST_F(NativeRun, ListShowsPositionSizeTimeAndName) {
    const Outcome run = torva({"list", "samples.ald"});
    ASSERT_EQ(run.status, 0) << run.err;
    // The time stamps are stored in UTC (09:00) and shown in local time.
    EXPECT_NE(run.out.find("2024-05-01 18:00:00  sunset.qnt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2024-05-01 18:05:00  bars.vsp\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  \x95\x5C\x8E\x86.qnt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("8 members in ALD archive samples.ald\n"), std::string::npos) << run.out;

    // The listed position and size are where the member's bytes are.
    const std::string archive = ReadFile(work_ + "/samples.ald");
    const std::string sunset = ReadFile(work_ + "/pictures/sunset.qnt");
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);  // the heading
    std::getline(lines, line);
    unsigned long long position = 0, size = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%llu %llu", &position, &size), 2) << line;
    EXPECT_EQ(archive.substr(position, size), sunset);

    const Outcome alk = torva({"list", "samples.alk"});
    ASSERT_EQ(alk.status, 0) << alk.err;
    // ALK keeps no time stamps; members are named after the archive.
    EXPECT_NE(alk.out.find("  -" + std::string(20, ' ') + "samples_001.dat\n"), std::string::npos) << alk.out;
    EXPECT_NE(alk.out.find("samples_005.dat\n"), std::string::npos) << alk.out;
}

TEST_F(NativeRun, ListRefusesWhatIsNoArchive) {
    const Outcome picture = torva({"list", "pictures/sunset.qnt"});
    EXPECT_EQ(picture.status, 1);
    EXPECT_EQ(picture.err, "torva: pictures/sunset.qnt: not an archive (it is a QNT picture)\n");
    const Outcome text = torva({"list", "notes.txt"});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(text.err, "torva: notes.txt: not an archive or picture that torva can read\n");
}

// ---- extract ----

TEST_F(NativeRun, ExtractCopiesEveryMemberByteForByte) {
    const Outcome run = torva({"extract", "samples.ald", "-o", "out/all"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const auto tree = Tree(work_ + "/out/all");
    EXPECT_EQ(Names(tree),
              "bars.vsp\nchecker.pms\ndisc16_alpha.pms\ngradient16.pms\nreadme.txt\nring_alpha.qnt\nsunset.qnt\n"
              "\x95\x5C\x8E\x86.qnt\n");
    for (const char* name : {"sunset.qnt", "ring_alpha.qnt", "checker.pms", "gradient16.pms", "disc16_alpha.pms",
                             "bars.vsp"}) {
        EXPECT_EQ(tree.at(name), ReadFile(work_ + "/pictures/" + name)) << name;
    }
    // The double-byte name is kept as its bytes, trail byte 0x5C included.
    EXPECT_EQ(tree.at("\x95\x5C\x8E\x86.qnt"), ReadFile(work_ + "/pictures/sunset.qnt"));
}

TEST_F(NativeRun, ExtractChosenMembersAndNamesTheMissingOnes) {
    const Outcome run = torva({"extract", "samples.ald", "-o", "out", "BARS.VSP", "\x95\x5C\x8E\x86.qnt", "nosuch.pms"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "torva: samples.ald: no member named nosuch.pms\n");
    EXPECT_EQ(Names(Tree(work_ + "/out")), "bars.vsp\n\x95\x5C\x8E\x86.qnt\n");
}

TEST_F(NativeRun, ExtractKeepsHostileNamesInsideTheOutputDirectory) {
    const Outcome run = torva({"extract", "hostile.ald", "-o", "out/deep"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Names(Tree(work_ + "/out")),
              "deep/.._.._escape.qnt\ndeep/_.._\ndeep/_CON.qnt\ndeep/_absolute.qnt\ndeep/sub_dir.qnt\n");
    struct stat status;
    EXPECT_NE(stat((work_ + "/escape.qnt").c_str(), &status), 0);
    EXPECT_NE(stat("/absolute.qnt", &status), 0);
}

TEST_F(NativeRun, ExtractFromADamagedArchiveSavesWhatItCanAndLeavesNoPartialFile) {
    const Outcome run = torva({"extract", "damaged.ald", "-o", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "torva: damaged.ald: cut.qnt: damaged: the member lies beyond the end of the archive\n");
    EXPECT_EQ(Names(Tree(work_ + "/out")), "whole.qnt\n");
}

TEST_F(NativeRun, ExtractIntoAPathThatIsAFileFails) {
    const Outcome run = torva({"extract", "samples.ald", "-o", "notes.txt/sub"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot create the directory notes.txt"), std::string::npos) << run.err;
}

// ---- convert ----

// The pixels of a bitmap file image as top-down RGBA.
std::vector<uint8_t> BitmapRgba(const std::string& bmp, uint32_t& width, uint32_t& height) {
    torva::BitmapView view;
    std::string error;
    std::vector<uint8_t> rgba;
    if (!view.parse(bmp, error)) {
        ADD_FAILURE() << error;
        return rgba;
    }
    width = view.width();
    height = view.height();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = view.row(y);
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t r, g, b, a = 255;
            if (view.bitCount() <= 8) {
                const unsigned index = view.bitCount() == 8 ? row[x] : (x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
                r = view.palette()[index].red;
                g = view.palette()[index].green;
                b = view.palette()[index].blue;
            } else if (view.bitCount() == 16) {
                const unsigned p = row[2 * x] | row[2 * x + 1] << 8;
                auto widen = [](unsigned c) { return uint8_t(c << 3 | c >> 2); };
                r = widen(p >> 10 & 31), g = widen(p >> 5 & 31), b = widen(p & 31);
            } else {
                const size_t n = view.bitCount() / 8;
                b = row[n * x], g = row[n * x + 1], r = row[n * x + 2];
                if (n == 4) a = row[n * x + 3];
            }
            rgba.insert(rgba.end(), {r, g, b, a});
        }
    }
    return rgba;
}

TEST_F(NativeRun, ConvertArchiveGivesOnePngPerPictureMatchingTheBitmap) {
    const Outcome png = torva({"convert", "samples.ald", "-o", "png"});
    ASSERT_EQ(png.status, 0) << png.err;
    const Outcome bmp = torva({"convert", "samples.ald", "-o", "bmp", "--format", "bmp"});
    ASSERT_EQ(bmp.status, 0) << bmp.err;
    const auto pngs = Tree(work_ + "/png");
    const auto bmps = Tree(work_ + "/bmp");
    // readme.txt is no picture and is passed over without complaint.
    EXPECT_EQ(Names(pngs), "bars.png\nchecker.png\ndisc16_alpha.png\ngradient16.png\nring_alpha.png\nsunset.png\n"
                           "\x95\x5C\x8E\x86.png\n");
    ASSERT_EQ(bmps.size(), pngs.size());

    struct Depth {
        const char* name;
        unsigned bitCount;
    };
    for (const Depth d : {Depth{"sunset", 24}, Depth{"ring_alpha", 32}, Depth{"checker", 8},
                          Depth{"gradient16", 24}, Depth{"disc16_alpha", 32}, Depth{"bars", 4}}) {
        const std::string& bitmap = bmps.at(std::string(d.name) + ".bmp");
        EXPECT_EQ(bitmap[28], char(d.bitCount)) << d.name;
#ifdef TORVA_HAVE_LIBPNG
        uint32_t width = 0, height = 0;
        const std::vector<uint8_t> expected = BitmapRgba(bitmap, width, height);
        const std::string& file = pngs.at(std::string(d.name) + ".png");
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size())) << d.name;
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> decoded(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr)) << d.name;
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        EXPECT_TRUE(decoded == expected) << d.name;
#endif
    }
    // The pictures are really there: the sun is yellow, the ring's hole clear.
    uint32_t w = 0, h = 0;
    const auto sun = BitmapRgba(bmps.at("sunset.bmp"), w, h);
    const size_t middle = (size_t(58) * w + 64) * 4;
    EXPECT_EQ(sun[middle], 255);
    EXPECT_GT(sun[middle + 1], 200);
    const auto ring = BitmapRgba(bmps.at("ring_alpha.bmp"), w, h);
    EXPECT_EQ(ring[(size_t(48) * w + 48) * 4 + 3], 0);
    EXPECT_EQ(ring[(size_t(48) * w + 14) * 4 + 3], 255);
}

TEST_F(NativeRun, ConvertDepth16AsksForSixteenBitPms) {
    const Outcome run = torva({"convert", "pictures/gradient16.pms", "pictures/sunset.qnt", "--depth", "16", "-f",
                           "bmp", "-o", "out"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto tree = Tree(work_ + "/out");
    EXPECT_EQ(tree.at("gradient16.bmp")[28], 16);
    EXPECT_EQ(tree.at("sunset.bmp")[28], 24);  // only 16-bit PMS pictures have the choice
}

TEST_F(NativeRun, ConvertNamesTheFilesItCannotReadAndConvertsTheRest) {
    const Outcome run = torva({"convert", "notes.txt", "broken.qnt", "badpic.ald", "pictures/bars.vsp", "-o", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "torva: notes.txt: not an archive or picture that torva can read\n"
              "torva: broken.qnt: not an archive or picture that torva can read\n"
              "torva: badpic.ald: bad.qnt: not a picture that torva can read\n");
    EXPECT_EQ(Names(Tree(work_ + "/out")), "bars.png\nwhole.png\n");
}

// ---- the Windows build against the native one ----

class BothBuilds : public testing::Test {
protected:
    void SetUp() override {
        std::string command;
        if (!FindWindowsTool(command)) {
            GTEST_SKIP() << "no Windows build of torva (set TORVA_WINDOWS_TOOL) or no Wine";
        }
        windows_ = std::make_unique<Tool>(command, true);
    }
    std::unique_ptr<Tool> windows_;
};

TEST_F(BothBuilds, EveryCommandGivesTheSameBytes) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"help", {"--help"}},
        {"convert help", {"convert", "--help"}},
        {"usage error", {"convert", "--depth", "8", "samples.ald"}},
        {"unknown command", {"unpack"}},
        {"info", {"info", "pictures/sunset.qnt", "pictures/ring_alpha.qnt", "pictures/checker.pms",
                  "pictures/gradient16.pms", "pictures/disc16_alpha.pms", "pictures/bars.vsp", "samples.ald",
                  "samples.alk", "notes.txt", "broken.qnt"}},
        {"list ald", {"list", "samples.ald"}},
        {"list alk", {"list", "samples.alk"}},
        {"list a picture", {"list", "pictures/bars.vsp"}},
        {"extract all", {"extract", "samples.ald", "-o", "out"}},
        {"extract some", {"extract", "samples.ald", "-o", "out", "\x95\x5C\x8E\x86.qnt", "checker.pms", "none"}},
        {"extract hostile", {"extract", "hostile.ald", "-o", "out"}},
        {"extract damaged", {"extract", "damaged.ald", "-o", "out"}},
        {"convert ald to png", {"convert", "samples.ald", "-o", "out"}},
        {"convert a large picture", {"convert", "large.qnt", "-o", "out"}},
        {"convert alk to png", {"convert", "samples.alk", "-o", "out"}},
        {"convert to bmp", {"convert", "samples.ald", "--format", "bmp", "-o", "out"}},
        {"convert 16-bit", {"convert", "samples.ald", "--depth", "16", "-o", "out"}},
        {"convert 16-bit bmp", {"convert", "pictures/gradient16.pms", "-d", "16", "-f", "bmp", "-o", "out"}},
        {"convert files", {"convert", "pictures/sunset.qnt", "pictures/ring_alpha.qnt", "pictures/checker.pms",
                           "pictures/gradient16.pms", "pictures/disc16_alpha.pms", "pictures/bars.vsp", "-o", "out"}},
        {"convert with failures", {"convert", "notes.txt", "broken.qnt", "badpic.ald", "damaged.ald", "-o", "out"}},
    };
    const Tool native = NativeTool();
    for (const Case& c : cases) {
        const std::string nativeWork = MakeWorkDirectory("native");
        const std::string windowsWork = MakeWorkDirectory("windows");
        for (const std::string& work : {nativeWork, windowsWork}) {
            std::system(("cp -r " + Quote(Inputs::Directory()) + "/. " + Quote(work)).c_str());
        }
        const Outcome a = native.run(nativeWork, c.arguments);
        const Outcome b = windows_->run(windowsWork, c.arguments);
        EXPECT_EQ(a.status, b.status) << c.what << "\n" << b.err;
        EXPECT_EQ(a.out, b.out) << c.what;
        EXPECT_EQ(a.err, b.err) << c.what;
        const auto nativeTree = Tree(nativeWork + "/out", true);
        const auto windowsTree = Tree(windowsWork + "/out");
        EXPECT_EQ(Names(nativeTree), Names(windowsTree)) << c.what;
        EXPECT_TRUE(nativeTree == windowsTree) << c.what << ": the files differ";
        if (!HasFailure()) {
            std::system(("rm -rf " + Quote(nativeWork) + " " + Quote(windowsWork)).c_str());
        }
    }
}

}  // namespace
