// torva end to end: the native tool on files made by the project's writers,
// every command with its outputs, messages and exit status; and, when a
// Windows build is there, torva.exe under Wine on the same files, whose
// outputs must be the same bytes.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "tools/tests/e2e_files.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tools/torva/bitmap_view.h"
#include "torvasoft/version.h"

#ifdef TORVA_HAVE_LIBPNG
#include <png.h>
#endif

using torvatest::Bytes;

namespace {

using torvae2e::Quote;
using torvae2e::ReadFile;
using torvae2e::WriteFile;

void WriteFile(const std::string& path, const Bytes& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// Every regular file under `root`, by path relative to it, with its bytes.
void Collect(const std::string& root, const std::string& relative, std::map<std::string, std::string>& files) {
    DIR* dir = opendir((root + "/" + relative).c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat status;
        if (stat((root + "/" + path).c_str(), &status) != 0) continue;
        if (S_ISDIR(status.st_mode)) {
            Collect(root, path, files);
        } else {
            files[path] = ReadFile(root + "/" + path);
        }
    }
    closedir(dir);
}

std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    Collect(root, "", files);
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

// Where a run reads and writes besides its arguments.
struct Streams {
    std::string input = "/dev/null";  // standard input, relative to the work directory
    std::string output;               // standard output to this file instead of capturing it
};

// One build of the tool, run from a working directory with relative paths.
// Both builds take their arguments as UTF-8: Wine hands them to torva.exe as
// UTF-16, whatever its code page.
class Tool {
public:
    Tool(std::string command, bool windows, std::string locale = "ja_JP.UTF-8")
        : command_(std::move(command)), windows_(windows), locale_(std::move(locale)) {}
    bool windows() const { return windows_; }

    Outcome run(const std::string& directory, const std::vector<std::string>& arguments,
                const Streams& streams = Streams()) const {
        std::string line = "cd " + Quote(directory) + " && TZ=Asia/Tokyo ";
        if (windows_) line += "WINEDEBUG=-all LC_ALL=" + locale_ + " ";
        line += command_;
        for (const std::string& argument : arguments) line += " " + Quote(argument);
        const std::string out = directory + "/.stdout", err = directory + "/.stderr";
        line += " >" + Quote(streams.output.empty() ? out : streams.output) + " 2>" + Quote(err) + " <" +
                Quote(streams.input);
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
    std::string locale_;
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
//   odd.ald        member names the code page does not wholly decode
//   tree/          pictures and an archive in folders, Japanese names included
//   cut_*.qnt|pms|vsp, cut.ald   pictures and an archive cut short
//   cut.alk        an ALK cut after its table, inside its members
//   cut1_*.qnt     QNT pictures (24-bit, 32-bit) missing their last byte
//   damagedtree/   a folder with a cut QNT among other files
//   corrupt.qnt    a QNT whose colour stream is corrupt
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

        // Names the code page decodes only in part, or not at all.
        std::vector<torvatest::AldMember> odd;
        for (const char* name : {"\x85\x40.qnt", "\xB1\xB2.qnt", "100%.qnt"}) {
            torvatest::AldMember member;
            member.name = name;
            member.data = picture;
            odd.push_back(member);
        }
        WriteFile(directory + "/odd.ald", torvatest::WriteAld(odd));

        // A tree as a game's folders hold them, with Japanese folder names.
        const std::string tree = directory + "/tree";
        std::system(("mkdir -p " + Quote(tree + "/gameA") + " " + Quote(tree + "/gameB/\xE8\xA1\xA8\xE7\xB4\x99")).c_str());
        std::system(("cp " + Quote(directory + "/samples.ald") + " " + Quote(tree + "/gameA/cg.ald")).c_str());
        WriteFile(tree + "/gameA/pic.qnt", sunset);
        WriteFile(tree + "/gameB/pic.vsp", ReadFile(directory + "/pictures/bars.vsp"));
        WriteFile(tree + "/gameB/\xE8\xA1\xA8\xE7\xB4\x99/\xE7\xB5\xB5.qnt", sunset);
        WriteFile(tree + "/readme.txt", std::string("a tree\n"));
        // ALK members are named after the archive.
        std::system(("cp " + Quote(directory + "/samples.alk") + " " + Quote(directory + "/\xE8\xA1\xA8\xE7\xB4\x99.alk")).c_str());

        // Pictures whose streams are cut, and an archive cut inside its
        // members' headers.
        for (const char* name : {"sunset.qnt", "checker.pms", "bars.vsp"}) {
            const std::string whole = ReadFile(directory + "/pictures/" + name);
            WriteFile(directory + "/cut_" + name, whole.substr(0, whole.size() * 2 / 3));
        }
        std::string corrupt = sunset;
        for (size_t i = 200; i < 260; ++i) corrupt[i] = char(corrupt[i] ^ 0x5A);  // inside the colour stream
        WriteFile(directory + "/corrupt.qnt", corrupt);
        const std::string samples = ReadFile(directory + "/samples.ald");
        WriteFile(directory + "/cut.ald", samples.substr(0, 30000));
        WriteFile(directory + "/cut.alk", ReadFile(directory + "/samples.alk").substr(0, 20000));
        for (const char* name : {"sunset.qnt", "ring_alpha.qnt"}) {
            const std::string whole = ReadFile(directory + "/pictures/" + name);
            WriteFile(directory + "/cut1_" + name, whole.substr(0, whole.size() - 1));
        }
        std::system(("mkdir -p " + Quote(directory + "/damagedtree")).c_str());
        WriteFile(directory + "/damagedtree/a.qnt", sunset);
        WriteFile(directory + "/damagedtree/b.qnt", sunset.substr(0, sunset.size() / 2));
        WriteFile(directory + "/damagedtree/notes.txt", std::string("no picture\n"));

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
    // Wine installed is not enough: a kernel without 32-bit support cannot
    // start its loader.
    if (std::system("WINEDEBUG=-all wine --version >/dev/null 2>&1") != 0) return false;
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
    Outcome torva(const std::vector<std::string>& arguments, const Streams& streams = Streams()) {
        return NativeTool().run(work_, arguments, streams);
    }
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
        {{"info", "--help"}, 0, "Usage: torva info [OPTIONS] FILE...", ""},
        {{"list", "-h"}, 0, "Usage: torva list [OPTIONS] ARCHIVE...", ""},
        {{"extract", "--help"}, 0, "Usage: torva extract [OPTIONS] ARCHIVE", ""},
        {{"convert", "--help"}, 0, "Usage: torva convert [OPTIONS] FILE...", ""},
        {{"help", "convert"}, 0, "Usage: torva convert [OPTIONS] FILE...", ""},
        {{"help"}, 0, "Usage: torva COMMAND", ""},
        {{"--version"}, 0, "torva " TORVASOFT_VERSION_STRING "\n", ""},
        {{"help", "unpack"}, 2, "", "unknown command 'unpack'"},
        {{"convert", "--depth", "16", "samples.ald"}, 2, "", "--depth 16 applies to BMP only"},
        {{"convert", "-d", "16", "-o", "x.png", "samples.ald"}, 2, "", "--depth 16 applies to BMP only"},
        {{"convert", "-", "-"}, 2, "", "standard input ('-') can be read only once"},
        {{"convert", "-j", "0", "samples.ald"}, 2, "", "the number of jobs must be from 1 to 64"},
        {{"convert", "--overwrite", "--skip-existing", "samples.ald"}, 2, "", "exclude each other"},
        {{"list", "--name", "x.ald", "samples.ald"}, 2, "", "no '-' is given"},
        {{}, 2, "", "torva: no command given"},
        {{"frobnicate"}, 2, "", "torva: unknown command 'frobnicate'"},
        {{"info"}, 2, "", "torva: no file given\nTry 'torva info --help'."},
        {{"list"}, 2, "", "torva: no archive given"},
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
              "torva: pictures: is a directory (-r walks directories)\n");
    EXPECT_EQ(run.out.compare(0, 21, "pictures/sunset.qnt: "), 0) << run.out;
}

// ---- list ----

TEST_F(NativeRun, ListShowsPositionSizeTimeAndNameInFourFields) {
    const Outcome run = torva({"list", "samples.ald"});
    ASSERT_EQ(run.status, 0) << run.err;
    // The time stamps are stored in UTC (09:00) and shown in local time; the
    // Shift-JIS name is shown as UTF-8.
    EXPECT_NE(run.out.find(" 2024-05-01T18:00:00 sunset.qnt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" 2024-05-01T18:05:00 bars.vsp\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" \xE8\xA1\xA8\xE7\xB4\x99.qnt\n"), std::string::npos) << run.out;

    // No heading nor footing: every line is a member of four fields, and
    // the position and size are where the member's bytes are.
    const std::string archive = ReadFile(work_ + "/samples.ald");
    std::istringstream lines(run.out);
    std::string line;
    int members = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string position, size, time, name, more;
        EXPECT_TRUE(fields >> position >> size >> time >> name && !(fields >> more)) << line;
        if (name == "sunset.qnt") {
            EXPECT_EQ(archive.substr(std::stoul(position), std::stoul(size)), ReadFile(work_ + "/pictures/sunset.qnt"));
        }
        ++members;
    }
    EXPECT_EQ(members, 8);

    // Several archives: each line starts with its archive. ALK keeps no time
    // stamps; its members are named after the archive and what they are.
    const Outcome both = torva({"list", "samples.alk", "samples.ald"});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_NE(both.out.find("samples.alk:         56       1551 -                   samples_001.qnt\n"),
              std::string::npos) << both.out;
    EXPECT_NE(both.out.find("samples.ald:        800       1551 2024-05-01T18:00:00 sunset.qnt\n"),
              std::string::npos) << both.out;
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
              "bars.vsp\nchecker.pms\ndisc16_alpha.pms\ngradient16.pms\nreadme.txt\nring_alpha.qnt\n"
              "samples.ald.manifest.json\nsunset.qnt\n\xE8\xA1\xA8\xE7\xB4\x99.qnt\n");
    for (const char* name : {"sunset.qnt", "ring_alpha.qnt", "checker.pms", "gradient16.pms", "disc16_alpha.pms",
                             "bars.vsp"}) {
        EXPECT_EQ(tree.at(name), ReadFile(work_ + "/pictures/" + name)) << name;
    }
    // The Shift-JIS name (trail byte 0x5C included) is written as UTF-8.
    EXPECT_EQ(tree.at("\xE8\xA1\xA8\xE7\xB4\x99.qnt"), ReadFile(work_ + "/pictures/sunset.qnt"));
    // Each file has its member's time from the archive: 09:00 UTC, a minute apart.
    const std::pair<const char*, time_t> times[] = {{"sunset.qnt", 1714554000}, {"bars.vsp", 1714554300},
                                                    {"\xE8\xA1\xA8\xE7\xB4\x99.qnt", 1714554360}};
    for (const auto& t : times) {
        struct stat status;
        ASSERT_EQ(stat((work_ + "/out/all/" + t.first).c_str(), &status), 0);
        EXPECT_EQ(status.st_mtime, t.second) << t.first;
    }
}

TEST_F(NativeRun, ExtractChosenMembersByNameOrPatternAndNamesTheMissingOnes) {
    struct Case {
        std::vector<std::string> chosen;
        int status;
        const char* err;
        const char* names;
    };
    const Case cases[] = {
        {{"BARS.VSP", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", "nosuch.pms"}, 1, "torva: samples.ald: no member named nosuch.pms\n",
         "bars.vsp\nsamples.ald.manifest.json\n\xE8\xA1\xA8\xE7\xB4\x99.qnt\n"},
        {{"*.QNT"}, 0, "", "ring_alpha.qnt\nsamples.ald.manifest.json\nsunset.qnt\n\xE8\xA1\xA8\xE7\xB4\x99.qnt\n"},
        {{"\xE8\xA1\xA8*", "???????.pms", "*.gif"}, 1, "torva: samples.ald: no member matches *.gif\n",
         "checker.pms\nsamples.ald.manifest.json\n\xE8\xA1\xA8\xE7\xB4\x99.qnt\n"},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        std::vector<std::string> arguments = {"extract", "samples.ald", "-o", "out"};
        arguments.insert(arguments.end(), c.chosen.begin(), c.chosen.end());
        const Outcome run = torva(arguments);
        EXPECT_EQ(run.status, c.status) << c.chosen[0];
        EXPECT_EQ(run.err, c.err) << c.chosen[0];
        EXPECT_EQ(Names(Tree(work_ + "/out")), c.names) << c.chosen[0];
    }
}

TEST_F(NativeRun, ExtractKeepsHostileNamesInsideTheOutputDirectory) {
    const Outcome run = torva({"extract", "hostile.ald", "-o", "out/deep"});
    ASSERT_EQ(run.status, 0) << run.err;
    // Each changed name is reported once, with what it became.
    EXPECT_EQ(run.err,
              "torva: hostile.ald: ..\\..\\escape.qnt: written as .._.._escape.qnt (the name has characters a file "
              "name cannot have)\n"
              "torva: hostile.ald: /absolute.qnt: written as _absolute.qnt (the name has characters a file name cannot "
              "have)\n"
              "torva: hostile.ald: sub/dir.qnt: written as sub_dir.qnt (the name has characters a file name cannot "
              "have)\n"
              "torva: hostile.ald: ..: written as _.._ (the name ends in a dot or space)\n"
              "torva: hostile.ald: CON.qnt: written as _CON.qnt (the name is reserved on Windows)\n");
    EXPECT_EQ(Names(Tree(work_ + "/out")),
              "deep/.._.._escape.qnt\ndeep/_.._\ndeep/_CON.qnt\ndeep/_absolute.qnt\ndeep/hostile.ald.manifest.json\n"
              "deep/sub_dir.qnt\n");
    struct stat status;
    EXPECT_NE(stat((work_ + "/escape.qnt").c_str(), &status), 0);
    EXPECT_NE(stat("/absolute.qnt", &status), 0);
}

TEST_F(NativeRun, ExtractFromADamagedArchiveSavesWhatItCanAndKeepsTheCutMemberOnlyWhenAsked) {
    const Outcome run = torva({"extract", "damaged.ald", "-o", "out"});
    EXPECT_EQ(run.status, 1);
    const std::string report = "torva: damaged.ald: cut.qnt: damaged: the member lies beyond the end of the archive";
    EXPECT_EQ(run.err.compare(0, report.size(), report), 0) << run.err;
    EXPECT_EQ(Names(Tree(work_ + "/out")), "damaged.ald.manifest.json\nwhole.qnt\n");

    const Outcome kept = torva({"extract", "damaged.ald", "-o", "kept", "--keep-damaged"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.err, run.err);
    const auto tree = Tree(work_ + "/kept");
    ASSERT_EQ(Names(tree), "cut.qnt\ndamaged.ald.manifest.json\nwhole.qnt\n");
    const std::string sunset = ReadFile(work_ + "/pictures/sunset.qnt");
    EXPECT_EQ(tree.at("cut.qnt"), sunset.substr(0, tree.at("cut.qnt").size()));
    EXPECT_LT(tree.at("cut.qnt").size(), sunset.size());
}

// The sample maker's archives come back byte for byte: through the manifest,
// and (ALK, whose row 3 is empty) through pack of the folder alone.
TEST_F(NativeRun, ExtractedSamplesPackBackByteForByte) {
    for (const char* archive : {"samples.ald", "samples.alk"}) {
        SCOPED_TRACE(archive);
        std::system(("rm -rf " + Quote(work_ + "/rk")).c_str());
        ASSERT_EQ(torva({"extract", archive, "-o", "rk"}).status, 0);
        const std::string original = ReadFile(work_ + "/" + archive);
        const std::string manifestPath = std::string("rk/") + archive + ".manifest.json";
        const Outcome manifest =
            torva({"pack", "--manifest", manifestPath, "-o", "again/" + std::string(archive), "--overwrite"});
        ASSERT_EQ(manifest.status, 0) << manifest.err;
        EXPECT_TRUE(ReadFile(work_ + "/again/" + archive) == original);
        if (std::string(archive) == "samples.alk") {
            // Row 3 is empty: no name carries its number, and row 4 keeps its own.
            const std::string listed = torva({"list", archive}).out;
            EXPECT_EQ(listed.find("samples_003."), std::string::npos) << listed;
            const size_t row4 = listed.find("samples_004.");
            ASSERT_NE(row4, std::string::npos) << listed;
            const std::string name = listed.substr(row4, listed.find('\n', row4) - row4);
            EXPECT_EQ(access((work_ + "/rk/" + name).c_str(), F_OK), 0) << name;
            ASSERT_EQ(torva({"pack", "-r", "rk", "-o", "folder.alk"}).status, 0);
            EXPECT_TRUE(ReadFile(work_ + "/folder.alk") == original);
        }
    }
}

TEST_F(NativeRun, ExtractIntoAPathThatIsAFileFails) {
    const Outcome run = torva({"extract", "samples.ald", "-o", "notes.txt/sub"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("notes.txt is a file, not a directory"), std::string::npos) << run.err;
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
    for (const char* level : {"fast", "best"}) {
        const Outcome run = torva({"convert", "samples.ald", "-o", level, "--level", level});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    // The members go into a folder named after the archive.
    const auto pngs = Tree(work_ + "/png/samples");
    const auto bmps = Tree(work_ + "/bmp/samples");
    const auto fast = Tree(work_ + "/fast/samples");
    const auto best = Tree(work_ + "/best/samples");
    // readme.txt is no picture and is passed over without complaint.
    EXPECT_EQ(Names(pngs), "bars.png\nchecker.png\ndisc16_alpha.png\ngradient16.png\nring_alpha.png\nsunset.png\n"
                           "\xE8\xA1\xA8\xE7\xB4\x99.png\n");
    ASSERT_EQ(bmps.size(), pngs.size());
    ASSERT_EQ(Names(fast), Names(pngs));
    ASSERT_EQ(Names(best), Names(pngs));

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
        // Every compression level gives the same pixels.
        for (const auto* files : {&pngs, &fast, &best}) {
            const std::string& file = files->at(std::string(d.name) + ".png");
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size())) << d.name;
            image.format = PNG_FORMAT_RGBA;
            std::vector<uint8_t> decoded(PNG_IMAGE_SIZE(image));
            ASSERT_TRUE(png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr)) << d.name;
            EXPECT_EQ(image.width, width);
            EXPECT_EQ(image.height, height);
            EXPECT_TRUE(decoded == expected) << d.name;
        }
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

// Whether the tool's bitmap file is the plug-in's: the same bytes, except
// that a 32-bit one names its alpha in a V5 header (BI_BITFIELDS, the alpha
// mask 0xFF000000) before the same rows.
testing::AssertionResult IsThePluginsBitmap(const std::string& written, const std::string& plugin) {
    auto at32 = [](const std::string& b, size_t i) {
        return i + 4 > b.size() ? 0u : uint32_t(uint8_t(b[i])) | uint32_t(uint8_t(b[i + 1])) << 8 |
                                            uint32_t(uint8_t(b[i + 2])) << 16 | uint32_t(uint8_t(b[i + 3])) << 24;
    };
    if (plugin.size() < 54 || uint8_t(plugin[28]) != 32) {
        if (written == plugin) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the bytes differ (" << written.size() << " and " << plugin.size() << ")";
    }
    if (at32(written, 14) != 124 || at32(written, 30) != 3 || at32(written, 66) != 0xFF000000u ||
        at32(written, 54) != 0x00FF0000u || at32(written, 10) != 14 + 124 || at32(written, 2) != written.size()) {
        return testing::AssertionFailure() << "no V5 header with an alpha mask";
    }
    if (written.compare(18, 12, plugin, 18, 12) != 0 || at32(written, 34) != at32(plugin, 34) || written.compare(138, std::string::npos, plugin, 54) != 0) {
        return testing::AssertionFailure() << "the geometry or the rows differ from the plug-in's";
    }
    return testing::AssertionSuccess();
}

// The tool builds its bitmaps from the library's decoded rows; they are the
// bytes the plug-in's KRV_GetImage hands a viewer, in both of its modes and
// for damaged pictures too.
TEST_F(NativeRun, BitmapsAreThePluginsOwnBytes) {
    struct Case {
        const char* file;
        int32_t mode;  // the plug-in's: -1 full colour, 0 as stored
    };
    const Case cases[] = {
        {"pictures/sunset.qnt", -1},       {"pictures/ring_alpha.qnt", -1}, {"pictures/checker.pms", -1},
        {"pictures/gradient16.pms", -1},   {"pictures/gradient16.pms", 0},  {"pictures/disc16_alpha.pms", -1},
        {"pictures/disc16_alpha.pms", 0},  {"pictures/bars.vsp", -1},       {"large.qnt", -1},
        {"cut_checker.pms", 0},            {"cut_checker.pms", -1},         {"cut_bars.vsp", -1},
        {"corrupt.qnt", -1},
    };
    for (const Case& c : cases) {
        const std::string out = std::string("out/") + (c.mode == 0 ? "d16/" : "d24/");
        const Outcome run = torva({"convert", c.file, "-f", "bmp", "-d", c.mode == 0 ? "16" : "24", "--keep-damaged",
                                   "-o", out + "one.bmp"});
        const bool damaged = std::string(c.file).find("cut_") == 0 || std::string(c.file).find("corrupt") == 0;
        EXPECT_EQ(run.status, damaged ? 1 : 0) << c.file << "\n" << run.err;
        EXPECT_EQ(run.err.find("damaged: ") != std::string::npos, damaged) << c.file << "\n" << run.err;
        const std::string written = ReadFile(work_ + "/" + out + "one.bmp");
        const std::string bytes = ReadFile(work_ + "/" + c.file);
        const std::string name = c.file + std::string(c.file).rfind('/') + 1;
        const torvatest::BitmapResult plugin = torvatest::GetBitmap(Bytes(bytes.begin(), bytes.end()), name, c.mode);
        ASSERT_EQ(plugin.result, 0) << c.file;
        ASSERT_GT(plugin.bytes.size(), 54u) << c.file;
        EXPECT_TRUE(IsThePluginsBitmap(written, std::string(plugin.bytes.begin(), plugin.bytes.end())))
            << c.file << " mode " << c.mode;
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
    }
}

TEST_F(NativeRun, ConvertNamesTheFilesItCannotReadAndConvertsTheRest) {
    const Outcome run = torva({"convert", "notes.txt", "broken.qnt", "badpic.ald", "pictures/bars.vsp", "-o", "out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "torva: notes.txt: not an archive or picture that torva can read\n"
              "torva: broken.qnt: not an archive or picture that torva can read\n"
              "torva: badpic.ald: bad.qnt: not a picture that torva can read\n");
    EXPECT_EQ(Names(Tree(work_ + "/out")), "badpic/whole.png\nbars.png\n");
}

// ---- collections: names, overwrites, trees, single outputs, streams, JSON, -j ----

TEST_F(NativeRun, MemberNamesAreDecodedOrEscapedAndWrittenSo) {
    struct Case {
        std::vector<std::string> arguments;
        const char* names;  // written under out/, or the names listed
    };
    const Case cases[] = {
        {{"extract", "odd.ald", "-o", "out"},
         "%85@.qnt\n100%.qnt\nodd.ald.manifest.json\n\xEF\xBD\xB1\xEF\xBD\xB2.qnt\n"},
        {{"extract", "odd.ald", "-o", "out", "--names", "raw"},
         "%85@.qnt\n%B1%B2.qnt\n100%25.qnt\nodd.ald.manifest.json\n"},
        {{"extract", "samples.ald", "-o", "out", "--names", "raw", "%95*"},
         "%95_%8E%86.qnt\nsamples.ald.manifest.json\n"},
        {{"convert", "samples.ald", "-o", "out", "-m", "\xE8\xA1\xA8\xE7\xB4\x99.qnt"}, "samples/\xE8\xA1\xA8\xE7\xB4\x99.png\n"},
        {{"list", "odd.ald", "--names", "raw"}, "%85@.qnt\n%B1%B2.qnt\n100%25.qnt\n"},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome run = torva(c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments[0] << " " << c.arguments.back() << "\n" << run.err;
        if (c.arguments[0] == "list") {
            std::string names;
            std::istringstream lines(run.out);
            for (std::string line; std::getline(lines, line);) names += line.substr(42) + "\n";
            EXPECT_EQ(names, c.names);
        } else {
            EXPECT_EQ(Names(Tree(work_ + "/out")), c.names) << c.arguments.back();
        }
    }
}

TEST_F(NativeRun, ExistingOutputsAreRefusedSkippedOrReplaced) {
    struct Case {
        std::vector<std::string> arguments;
        const char* target;
        const char* policy;
        int status;
        bool replaced;
    };
    const Case cases[] = {
        {{"convert", "pictures/sunset.qnt", "pictures/bars.vsp", "-o", "out"}, "out/sunset.png", "", 1, false},
        {{"convert", "pictures/sunset.qnt", "pictures/bars.vsp", "-o", "out"}, "out/sunset.png", "--skip-existing", 0,
         false},
        {{"convert", "pictures/sunset.qnt", "pictures/bars.vsp", "-o", "out"}, "out/sunset.png", "--overwrite", 0, true},
        {{"convert", "pictures/sunset.qnt", "-o", "out/one.png"}, "out/one.png", "", 1, false},
        {{"extract", "samples.ald", "-o", "out"}, "out/\xE8\xA1\xA8\xE7\xB4\x99.qnt", "", 1, false},
        {{"extract", "samples.ald", "-o", "out"}, "out/\xE8\xA1\xA8\xE7\xB4\x99.qnt", "--skip-existing", 0, false},
        {{"extract", "samples.ald", "-o", "out"}, "out/\xE8\xA1\xA8\xE7\xB4\x99.qnt", "--overwrite", 0, true},
    };
    for (Case c : cases) {
        const std::string target = c.target;
        std::system(("rm -rf " + Quote(work_ + "/out") + " && mkdir " + Quote(work_ + "/out")).c_str());
        WriteFile(work_ + "/" + target, std::string("old"));
        if (*c.policy) c.arguments.push_back(c.policy);
        const Outcome run = torva(c.arguments);
        const std::string what = c.arguments[0] + " " + c.policy;
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
        EXPECT_EQ(ReadFile(work_ + "/" + target) != "old", c.replaced) << what;
        // The refusal names the file; the other files go on.
        EXPECT_EQ(run.err, c.status == 0 ? "" : "torva: " + target +
                  ": exists; not replaced (--overwrite replaces it, --skip-existing passes it over)\n") << what;
        EXPECT_GT(Tree(work_ + "/out").size(), c.arguments.size() > 5 ? 1u : 0u) << what;
    }
}

TEST_F(NativeRun, TreesAreWalkedKeepingTheirShape) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* names;
        const char* err;
    };
    const Case cases[] = {
        {{"convert", "-r", "tree", "-m", "*.qnt", "-m", "bars.vsp", "-o", "out"}, 0,
         "gameA/cg/bars.png\ngameA/cg/ring_alpha.png\ngameA/cg/sunset.png\ngameA/cg/\xE8\xA1\xA8\xE7\xB4\x99.png\ngameA/pic.png\n"
         "gameB/pic.png\ngameB/\xE8\xA1\xA8\xE7\xB4\x99/\xE7\xB5\xB5.png\n", ""},
        {{"convert", "-r", "tree", "-m", "*.qnt", "-m", "bars.vsp", "--flat", "-o", "out"}, 0,
         "bars.png\npic.png\npic~2.png\nring_alpha.png\nsunset.png\n\xE7\xB5\xB5.png\n\xE8\xA1\xA8\xE7\xB4\x99.png\n",
         "torva: tree/gameB/pic.vsp: written as pic~2.png (pic.png is the name of an earlier output)\n"},
        {{"convert", "tree", "-o", "out"}, 1, "", "torva: tree: is a directory (-r walks directories)\n"},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome run = torva(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(Names(Tree(work_ + "/out")), c.names);
    }
    // info and list take trees too, passing over what is none of theirs.
    const Outcome list = torva({"list", "-r", "tree"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out.compare(0, 29, "tree/gameA/cg.ald:        800"), 0) << list.out;
    const Outcome info = torva({"info", "-r", "tree"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(std::count(info.out.begin(), info.out.end(), '\n'), 4) << info.out;
}

TEST_F(NativeRun, OneOutputFileStandardStreamsAndWriteErrors) {
    const std::string sunsetPng = [&]() {
        torva({"convert", "pictures/sunset.qnt", "-o", "ref"});
        return ReadFile(work_ + "/ref/sunset.png");
    }();
    const std::string sunsetBmp = [&]() {
        torva({"convert", "pictures/sunset.qnt", "-f", "bmp", "-o", "ref"});
        return ReadFile(work_ + "/ref/sunset.bmp");
    }();
    struct Case {
        std::vector<std::string> arguments;
        Streams streams;
        int status;
        const char* file;     // the one output written, "" for standard output
        std::string expected; // its bytes; "" when nothing is written
        const char* err;
    };
    Streams fromSunset;
    fromSunset.input = "pictures/sunset.qnt";
    Streams toFull;
    toFull.output = "/dev/full";
    const Case cases[] = {
        {{"convert", "pictures/sunset.qnt", "-o", "one.png"}, Streams(), 0, "one.png", sunsetPng, ""},
        {{"convert", "pictures/sunset.qnt", "-o", "one.BMP"}, Streams(), 0, "one.BMP", sunsetBmp, ""},
        {{"convert", "samples.ald", "-m", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", "-o", "cover.png"}, Streams(), 0, "cover.png", sunsetPng, ""},
        {{"convert", "pictures/sunset.qnt", "pictures/bars.vsp", "-o", "two.png"}, Streams(), 1, "two.png", "",
         "torva: two.png: names one picture's output, and there are 2\n"},
        {{"convert", "-", "--name", "sunset.qnt", "-o", "-"}, fromSunset, 0, "", sunsetPng, ""},
        {{"convert", "-", "-o", "-", "-f", "bmp"}, fromSunset, 0, "", sunsetBmp, ""},
        {{"extract", "--stdout", "samples.ald", "\xE8\xA1\xA8\xE7\xB4\x99.qnt"}, Streams(), 0, "", ReadFile(work_ + "/pictures/sunset.qnt"),
         ""},
        {{"extract", "-o", "-", "samples.ald", "*.qnt"}, Streams(), 1, "", "",
         "torva: samples.ald: --stdout writes one member, and 3 were chosen\n"},
        {{"list", "samples.ald"}, toFull, 1, "", "", "torva: standard output: cannot write: No space left on device\n"},
        {{"convert", "pictures/sunset.qnt", "-o", "-"}, toFull, 1, "", "",
         "torva: standard output: cannot write: No space left on device\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = torva(c.arguments, c.streams);
        const std::string what = c.arguments[0] + " " + c.arguments[1] + " " + c.arguments.back();
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
        EXPECT_EQ(run.err, c.err) << what;
        if (*c.file) {
            EXPECT_EQ(ReadFile(work_ + "/" + c.file), c.expected) << what;
        } else if (c.streams.output.empty()) {
            EXPECT_TRUE(run.out == c.expected) << what;
        }
    }
    // ALD and VSP are known by their names: '-' needs --name for them.
    Streams fromArchive;
    fromArchive.input = "samples.ald";
    EXPECT_EQ(torva({"list", "-", "--name", "samples.ald"}, fromArchive).out, torva({"list", "samples.ald"}).out);
    const Outcome unnamed = torva({"info", "-"}, fromArchive);
    EXPECT_EQ(unnamed.status, 1);
    EXPECT_EQ(unnamed.err, "torva: -: not an archive or picture that torva can read (an ALD archive or a VSP "
                           "picture is known by its name: --name NAME.ald or --name NAME.vsp)\n");
}

TEST_F(NativeRun, JsonDescribesArchivesAndPictures) {
    const Outcome list = torva({"list", "--json", "samples.ald", "samples.alk"});
    ASSERT_EQ(list.status, 0) << list.err;
    const Outcome info = torva({"info", "--json", "pictures/ring_alpha.qnt", "samples.alk", "notes.txt"});
    EXPECT_EQ(info.status, 1);
    const char* expected[] = {
        "{\"name\": \"\xE8\xA1\xA8\xE7\xB4\x99.qnt\", \"raw_name\": \"955c8e862e716e74\", \"position\": 43296, \"size\": 1551, "
        "\"time\": \"2024-05-01T18:06:00+09:00\"}",
        "{\"name\": \"samples_001.qnt\", \"raw_name\": null, \"position\": 56, \"size\": 1551, \"time\": null}",
        "{\"file\": \"samples.ald\", \"kind\": \"ald\", \"size\": ",
        "{\"file\": \"pictures/ring_alpha.qnt\", \"kind\": \"qnt\", \"size\": 5448, \"width\": 96, \"height\": 96, "
        "\"depth\": 32, \"alpha\": true, \"x\": 0, \"y\": 0, \"version\": 2, \"header_size\": 52, \"reserved\": 0}",
        "{\"file\": \"notes.txt\", \"error\": true, \"reason\": \"not an archive or picture that torva can read\"}",
    };
    const std::string both = list.out + info.out;
    for (const std::string part : expected) {
        EXPECT_NE(both.find(part), std::string::npos) << part << "\n" << both;
    }
    // Each is one document that a JSON reader takes.
    if (std::system("command -v python3 >/dev/null 2>&1") == 0) {
        for (const std::string& document : {list.out, info.out}) {
            WriteFile(work_ + "/doc.json", document);
            EXPECT_EQ(std::system(("python3 -m json.tool " + Quote(work_ + "/doc.json") + " >/dev/null").c_str()), 0)
                << document;
        }
    }
}

TEST_F(NativeRun, EveryNumberOfJobsGivesTheSameFilesAndMessages) {
    const std::vector<std::string> batch = {"convert", "-r", "tree", "samples.alk", "badpic.ald", "damaged.ald",
                                            "broken.qnt", "-o"};
    std::map<std::string, std::string> first;
    std::string firstErr;
    for (const char* jobs : {"1", "2", "5"}) {
        std::vector<std::string> arguments = batch;
        arguments.push_back(std::string("out") + jobs);
        arguments.insert(arguments.end(), {"-j", jobs});
        const Outcome run = torva(arguments);
        EXPECT_EQ(run.status, 1);
        const auto tree = Tree(work_ + "/out" + jobs);
        if (first.empty()) {
            first = tree;
            firstErr = run.err;
            EXPECT_EQ(tree.size(), 17u) << Names(tree);
            continue;
        }
        EXPECT_EQ(Names(tree), Names(first)) << jobs;
        EXPECT_TRUE(tree == first) << jobs;
        EXPECT_EQ(run.err, firstErr) << jobs;
    }
}

TEST_F(NativeRun, ATreeOfManyArchivesNeedsFewOpenFiles) {
    std::system(("mkdir " + Quote(work_ + "/many")).c_str());
    for (int i = 0; i < 40; ++i) {
        std::system(("cd " + Quote(work_) + " && cp samples.alk many/a" + std::to_string(i) + ".alk").c_str());
    }
    const Outcome run = Tool("ulimit -n 24 && " + Quote(TORVA_NATIVE_TOOL), false)
                            .run(work_, {"convert", "-r", "many", "-o", "out", "-j", "2", "-f", "bmp"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Tree(work_ + "/out").size(), 40u * 5);
}

#ifdef TORVA_TOOL_CHECKS_DAMAGE
TEST_F(NativeRun, DamageIsReportedAndWrittenOnlyWhenAsked) {
    struct Case {
        std::vector<std::string> arguments;
        const char* reported;  // the start of the report
        const char* written;   // the output, "" for none
    };
    const Case cases[] = {
        {{"convert", "corrupt.qnt", "-o", "out"}, "torva: corrupt.qnt: damaged: the data is corrupt", ""},
        {{"convert", "cut_checker.pms", "-o", "out"}, "torva: cut_checker.pms: damaged: ", ""},
        {{"convert", "cut_bars.vsp", "-o", "out"}, "torva: cut_bars.vsp: damaged: ", ""},
        {{"convert", "cut_checker.pms", "-o", "out", "--keep-damaged"}, "torva: cut_checker.pms: damaged: ",
         "cut_checker.png\n"},
        {{"info", "corrupt.qnt"}, "torva: corrupt.qnt: damaged: the data is corrupt", ""},
        {{"info", "cut_checker.pms"}, "torva: cut_checker.pms: damaged: ", ""},
        {{"list", "cut.ald"}, "torva: cut.ald: damaged: ", ""},
        // A QNT cut inside its streams is damaged, never "not ours".
        {{"convert", "cut_sunset.qnt", "-o", "out"}, "torva: cut_sunset.qnt: damaged: the data ends early (", ""},
        {{"convert", "-r", "damagedtree", "-o", "out"},
         "torva: damagedtree/b.qnt: damaged: the data ends early (0 of 12288 pixels decoded)\n", "a.png\n"},
        {{"test", "cut_sunset.qnt"}, "torva: cut_sunset.qnt: damaged: the data ends early (", ""},
        {{"convert", "cut1_ring_alpha.qnt", "-o", "out", "--keep-damaged"},
         "torva: cut1_ring_alpha.qnt: damaged: the data ends early (9216 of 9216 pixels decoded)\n",
         "cut1_ring_alpha.png\n"},
        // An ALK's table is whole, its members past the end.
        {{"list", "cut.alk"}, "torva: cut.alk: damaged: the archive ends early (2 of 5 members lie past its end)\n",
         ""},
        {{"info", "cut.alk"}, "torva: cut.alk: damaged: the archive ends early (2 of 5 members lie past its end)\n",
         ""},
        {{"convert", "cut.ald", "-o", "out"}, "torva: cut.ald: damaged: ",
         "cut/checker.png\ncut/gradient16.png\ncut/ring_alpha.png\ncut/sunset.png\n"},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome run = torva(c.arguments);
        EXPECT_EQ(run.status, 1) << c.arguments[1];
        EXPECT_EQ(run.err.compare(0, std::strlen(c.reported), c.reported), 0) << run.err;
        EXPECT_EQ(Names(Tree(work_ + "/out")), c.written) << c.arguments[1];
    }
}
#endif

// A picture cut by one byte (its checksum) keeps every pixel: the PNG of
// what was recovered is the PNG of the whole picture.
TEST_F(NativeRun, AQntCutByOneByteRecoversEveryPixel) {
    for (const char* name : {"sunset", "ring_alpha"}) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome whole = torva({"convert", std::string("pictures/") + name + ".qnt", "-o", "out/whole.png"});
        ASSERT_EQ(whole.status, 0) << whole.err;
        const Outcome cut = torva({"convert", std::string("cut1_") + name + ".qnt", "-o", "out/cut.png",
                                   "--keep-damaged"});
        EXPECT_EQ(cut.status, 1);
        EXPECT_NE(cut.err.find(": damaged: the data ends early ("), std::string::npos) << cut.err;
        EXPECT_TRUE(ReadFile(work_ + "/out/whole.png") == ReadFile(work_ + "/out/cut.png")) << name;
    }
}

TEST_F(NativeRun, TestDecodesEverythingAndNamesEachDamagedOne) {
    const std::vector<std::string> good = {"pictures/sunset.qnt", "pictures/ring_alpha.qnt", "pictures/checker.pms",
                                           "pictures/gradient16.pms", "pictures/disc16_alpha.pms",
                                           "pictures/bars.vsp", "samples.ald", "samples.alk", "large.qnt"};
    for (const std::string& file : good) {
        const Outcome run = torva({"test", file});
        EXPECT_EQ(run.status, 0) << file << "\n" << run.err;
        EXPECT_EQ(run.err, "") << file;
        EXPECT_EQ(run.out.compare(0, file.size() + 4, file + ": ok"), 0) << run.out;
    }
    struct Damaged {
        const char* file;
        const char* messages;  // standard error, whole
    };
    const Damaged damaged[] = {
        {"corrupt.qnt", "torva: corrupt.qnt: damaged: the data is corrupt (0 of 12288 pixels decoded)\n"},
        {"cut1_sunset.qnt", "torva: cut1_sunset.qnt: damaged: the data ends early (12288 of 12288 pixels decoded)\n"},
        {"cut_bars.vsp", "torva: cut_bars.vsp: damaged: the data ends early ("},
        {"cut_checker.pms", "torva: cut_checker.pms: damaged: the data ends early ("},
        {"badpic.ald", "torva: badpic.ald: bad.qnt: damaged: not a picture that torva can read\n"},
        {"damaged.ald", "torva: damaged.ald: cut.qnt: damaged: the member lies beyond the end of the archive ("},
        {"cut.alk",
         "torva: cut.alk: cut_005.pms: damaged: the member lies beyond the end of the archive (7045 of 13366 bytes "
         "there)\ntorva: cut.alk: cut_006.dat: damaged: the member lies beyond the end of the archive (0 of 14556 "
         "bytes there)\n"},
        {"cut.ald", "torva: cut.ald: damaged: the data ends early in the member table ("},
    };
    for (const Damaged& d : damaged) {
        const Outcome run = torva({"test", d.file});
        EXPECT_EQ(run.status, 1) << d.file;
        EXPECT_EQ(run.err.compare(0, std::strlen(d.messages), d.messages), 0) << run.err;
        EXPECT_EQ(run.out, "") << d.file;
    }
    // Good and damaged together, and the JSON document.
    const Outcome json = torva({"test", "--json", "pictures/bars.vsp", "cut.alk", "cut1_sunset.qnt"});
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out,
              "{\"files\": [\n"
              "    {\"file\": \"pictures/bars.vsp\", \"ok\": true},\n"
              "    {\"file\": \"cut.alk\", \"ok\": false, \"members\": 5, \"table_whole\": true, \"damaged\": ["
              "{\"name\": \"cut_005.pms\", \"damage\": \"the member lies beyond the end of the archive (7045 of 13366 "
              "bytes there)\"}, {\"name\": \"cut_006.dat\", \"damage\": \"the member lies beyond the end of the archive "
              "(0 of 14556 bytes there)\"}]},\n"
              "    {\"file\": \"cut1_sunset.qnt\", \"ok\": false, \"damage\": \"the data ends early (12288 of 12288 "
              "pixels decoded)\"}\n"
              "  ]}\n");
    // A tree: the files of ours, each damaged one named.
    const Outcome tree = torva({"test", "-r", "damagedtree"});
    EXPECT_EQ(tree.status, 1);
    EXPECT_EQ(tree.out, "damagedtree/a.qnt: ok\n");
    EXPECT_EQ(tree.err, "torva: damagedtree/b.qnt: damaged: the data ends early (0 of 12288 pixels decoded)\n");
}

TEST_F(NativeRun, TheSampleMakerAnswersHelpWithoutMakingAnything) {
    const Outcome run = Tool(Quote(TORVA_SAMPLES_TOOL), false).run(work_, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.compare(0, 20, "Usage: torva_samples"), 0) << run.out;
    EXPECT_FALSE(Tree(work_).count("--help/samples.ald"));
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

// Runs each case with both builds on fresh copies of the inputs and
// compares exit status, standard output and error, and the files written.
// Windows separates the output paths it names with '\\'; they are compared
// with '/'.
struct BothCase {
    const char* what;
    std::vector<std::string> arguments;
    const char* input;  // standard input, from the inputs
};

std::string Slashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

void CompareBuilds(const Tool& windows, const std::vector<BothCase>& cases) {
    const Tool native = NativeTool();
    for (const BothCase& c : cases) {
        const std::string nativeWork = MakeWorkDirectory("native");
        const std::string windowsWork = MakeWorkDirectory("windows");
        for (const std::string& work : {nativeWork, windowsWork}) {
            std::system(("cp -r " + Quote(Inputs::Directory()) + "/. " + Quote(work)).c_str());
            // An output from an earlier run, for the overwrite rules.
            std::system(("mkdir -p " + Quote(work + "/out") + " && echo old >" + Quote(work + "/out/sunset.png")).c_str());
        }
        Streams streams;
        if (c.input != nullptr) streams.input = c.input;
        const Outcome a = native.run(nativeWork, c.arguments, streams);
        const Outcome b = windows.run(windowsWork, c.arguments, streams);
        EXPECT_EQ(a.status, b.status) << c.what << "\n" << b.err;
        EXPECT_TRUE(a.out == b.out) << c.what;
        EXPECT_EQ(Slashes(a.err), Slashes(b.err)) << c.what;
        const auto nativeTree = Tree(nativeWork + "/out");
        const auto windowsTree = Tree(windowsWork + "/out");
        EXPECT_EQ(Names(nativeTree), Names(windowsTree)) << c.what;
        EXPECT_TRUE(nativeTree == windowsTree) << c.what << ": the files differ";
        if (!testing::Test::HasFailure()) {
            std::system(("rm -rf " + Quote(nativeWork) + " " + Quote(windowsWork)).c_str());
        }
    }
}

TEST_F(BothBuilds, EveryCommandGivesTheSameBytes) {
    const std::vector<BothCase> cases = {
        {"help", {"--help"}, nullptr},
        {"convert help", {"help", "convert"}, nullptr},
        {"version", {"--version"}, nullptr},
        {"usage error", {"convert", "--depth", "16", "samples.ald"}, nullptr},
        {"unknown command", {"unpack"}, nullptr},
        {"info", {"info", "pictures/sunset.qnt", "pictures/ring_alpha.qnt", "pictures/checker.pms",
                  "pictures/gradient16.pms", "pictures/disc16_alpha.pms", "pictures/bars.vsp", "samples.ald",
                  "samples.alk", "notes.txt", "broken.qnt"}, nullptr},
        {"info json", {"info", "--json", "-r", "tree", "pictures"}, nullptr},
        {"list ald", {"list", "samples.ald"}, nullptr},
        {"list several", {"list", "samples.alk", "odd.ald", "hostile.ald", "\xE8\xA1\xA8\xE7\xB4\x99.alk"}, nullptr},
        {"list raw names", {"list", "--names", "raw", "samples.ald", "odd.ald"}, nullptr},
        {"list json", {"list", "--json", "samples.ald", "samples.alk", "pictures/bars.vsp"}, nullptr},
        {"list a picture", {"list", "pictures/bars.vsp"}, nullptr},
        {"list standard input", {"list", "-", "--name", "x.ald"}, "samples.ald"},
        {"extract all", {"extract", "samples.ald", "-o", "out"}, nullptr},
        {"extract some", {"extract", "samples.ald", "-o", "out", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", "*.PMS", "none"}, nullptr},
        {"extract odd names", {"extract", "odd.ald", "-o", "out"}, nullptr},
        {"extract raw names", {"extract", "--names", "raw", "samples.ald", "-o", "out"}, nullptr},
        {"extract hostile", {"extract", "hostile.ald", "-o", "out"}, nullptr},
        {"extract damaged", {"extract", "damaged.ald", "-o", "out", "--keep-damaged"}, nullptr},
        {"extract to stdout", {"extract", "--stdout", "samples.ald", "\xE8\xA1\xA8\xE7\xB4\x99.qnt"}, nullptr},
        {"convert ald to png", {"convert", "samples.ald", "-o", "out"}, nullptr},
        {"convert a large picture", {"convert", "large.qnt", "-o", "out"}, nullptr},
        {"convert a large picture fast", {"convert", "large.qnt", "-o", "out", "--level", "fast"}, nullptr},
        {"convert alk to png", {"convert", "samples.alk", "-o", "out", "--level", "best"}, nullptr},
        {"convert to bmp", {"convert", "samples.ald", "--format", "bmp", "-o", "out"}, nullptr},
        {"convert 16-bit bmp", {"convert", "pictures/gradient16.pms", "-d", "16", "-f", "bmp", "-o", "out"}, nullptr},
        {"convert files, one refused", {"convert", "pictures/sunset.qnt", "pictures/ring_alpha.qnt",
                           "pictures/checker.pms", "pictures/gradient16.pms", "pictures/disc16_alpha.pms",
                           "pictures/bars.vsp", "-o", "out", "-j", "3"}, nullptr},
        {"convert overwriting", {"convert", "pictures/sunset.qnt", "-o", "out", "--overwrite"}, nullptr},
        {"convert a tree", {"convert", "-r", "tree", "samples.alk", "-o", "out"}, nullptr},
        {"convert a tree flat", {"convert", "-r", "tree", "--flat", "-o", "out", "-j", "1"}, nullptr},
        {"convert one file", {"convert", "samples.ald", "-m", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", "-o", "out/cover.png"}, nullptr},
        {"convert standard input", {"convert", "-", "-o", "-"}, "pictures/ring_alpha.qnt"},
        {"convert with failures", {"convert", "notes.txt", "broken.qnt", "badpic.ald", "damaged.ald", "-o", "out"},
         nullptr},
        {"damage", {"convert", "corrupt.qnt", "cut_checker.pms", "cut_bars.vsp", "cut.ald", "-o", "out"}, nullptr},
        {"damage kept", {"convert", "cut_checker.pms", "cut_bars.vsp", "-o", "out", "--keep-damaged"}, nullptr},
        {"damage told", {"info", "corrupt.qnt", "cut_sunset.qnt", "cut.ald"}, nullptr},
        {"cut archive told", {"list", "cut.alk", "samples.alk"}, nullptr},
        {"test help", {"help", "test"}, nullptr},
        {"test good", {"test", "pictures/sunset.qnt", "pictures/ring_alpha.qnt", "pictures/checker.pms",
                       "pictures/gradient16.pms", "pictures/disc16_alpha.pms", "pictures/bars.vsp", "samples.ald",
                       "samples.alk", "large.qnt"}, nullptr},
        {"test damaged", {"test", "corrupt.qnt", "cut_sunset.qnt", "cut1_sunset.qnt", "cut1_ring_alpha.qnt",
                          "cut_checker.pms", "cut_bars.vsp", "badpic.ald", "damaged.ald", "cut.ald", "cut.alk",
                          "broken.qnt", "notes.txt"}, nullptr},
        {"test json tree", {"test", "--json", "-r", "damagedtree", "tree"}, nullptr},
        {"convert a damaged tree", {"convert", "-r", "damagedtree", "-o", "out", "--keep-damaged"}, nullptr},
    };
    CompareBuilds(*windows_, cases);
}

// torva.exe's bitmaps come from the C interface linked into it; they are the
// bytes torvasoft.dll's KRV_GetImage gives a viewer (torva_dll_bitmap.exe,
// built beside torva.exe, loads the DLL and writes them), for every kind of
// picture, both modes and damaged pictures. Its PNGs hold the same pixels as
// its bitmaps, as the native run shows for the native build, whose files are
// those of torva.exe byte for byte.
TEST_F(BothBuilds, BitmapsAreTheDllsOwnBytes) {
    const char* fromEnvironment = std::getenv("TORVA_WINDOWS_TOOL");
    const std::string exe = fromEnvironment != nullptr ? fromEnvironment : TORVA_WINDOWS_TOOL;
    const std::string helper = exe.substr(0, exe.find_last_of('/') + 1) + "torva_dll_bitmap.exe";
    ASSERT_EQ(access(helper.c_str(), R_OK), 0) << helper << " is not built";
    const std::string work = MakeWorkDirectory("dll_bitmaps");
    std::system(("cp -r " + Quote(Inputs::Directory()) + "/. " + Quote(work)).c_str());
    struct Case {
        const char* file;
        const char* mode;  // the plug-in's: -1 full colour, 0 as stored
    };
    const Case cases[] = {
        {"pictures/sunset.qnt", "-1"},     {"pictures/ring_alpha.qnt", "-1"},   {"pictures/checker.pms", "-1"},
        {"pictures/gradient16.pms", "-1"}, {"pictures/gradient16.pms", "0"},    {"pictures/disc16_alpha.pms", "0"},
        {"pictures/bars.vsp", "-1"},       {"large.qnt", "-1"},                 {"cut_checker.pms", "-1"},
        {"cut_bars.vsp", "-1"},            {"corrupt.qnt", "-1"},
    };
    for (const Case& c : cases) {
        const std::string depth = std::string(c.mode) == "0" ? "16" : "24";
        windows_->run(work, {"convert", c.file, "-f", "bmp", "-d", depth, "--keep-damaged", "-o", "exe.bmp"});
        const std::string line = "cd " + Quote(work) + " && WINEDEBUG=-all wine " + Quote(helper) + " " +
                                 Quote(c.file) + " " + c.mode + " dll.bmp >/dev/null 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << c.file;
        const std::string fromExe = ReadFile(work + "/exe.bmp");
        const std::string fromDll = ReadFile(work + "/dll.bmp");
        EXPECT_GT(fromDll.size(), 54u) << c.file;
        EXPECT_TRUE(IsThePluginsBitmap(fromExe, fromDll)) << c.file << " mode " << c.mode;
        std::remove((work + "/exe.bmp").c_str());
        std::remove((work + "/dll.bmp").c_str());
    }
    if (!HasFailure()) std::system(("rm -rf " + Quote(work)).c_str());
}

// Under a code page that is not 932 torva.exe reads, shows and writes the
// same names.
TEST_F(BothBuilds, NamesDoNotDependOnTheSystemCodePage) {
    std::string command;
    ASSERT_TRUE(FindWindowsTool(command));
    const Tool windows(command, true, "C.UTF-8");
    CompareBuilds(windows, {
        {"list", {"list", "samples.ald", "odd.ald", "\xE8\xA1\xA8\xE7\xB4\x99.alk"}, nullptr},
        {"extract by name", {"extract", "samples.ald", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", "-o", "out"}, nullptr},
        {"convert a tree", {"convert", "-r", "tree", "-o", "out"}, nullptr},
    });
}

}  // namespace
