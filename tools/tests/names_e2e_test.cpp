// Output and member names end to end: ALK members named by what they are,
// convert passing over what is no picture (and saying so under --verbose),
// one rule for the "~2" renames of every command, pack refusing two ALD
// members of one name, and the progress line counting pictures only.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/writers/archive_writer.h"
#include "tools/tests/e2e_files.h"

namespace {

using torvae2e::Quote;
using torvae2e::ReadFile;
using torvae2e::WriteFile;
using torvae2e::Exists;
using torvae2e::Outcome;
using torvae2e::RunTool;

// The names in a directory, sorted, one a line.
std::string Listing(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += name + "\n";
    return text;
}

torvatest::Bytes BytesOf(const std::string& text) { return torvatest::Bytes(text.begin(), text.end()); }

class Names : public testing::Test {
protected:
    void SetUp() override {
        work_ = testing::TempDir() + "torva_names_" + std::to_string(getpid());
        std::system(("rm -rf " + Quote(work_) + " && mkdir -p " + Quote(work_)).c_str());
        ASSERT_EQ(std::system((Quote(TORVA_SAMPLES_TOOL) + " " + Quote(work_) + " >/dev/null").c_str()), 0);
        const std::string bars = ReadFile(work_ + "/pictures/bars.vsp");
        WriteFile(work_ + "/notes.txt", "no picture\n");
        WriteFile(work_ + "/cut.vsp", bars.substr(0, bars.size() - 20));
        // v.alk: a QNT, a VSP, a PMS, text and a VSP whose planes are cut.
        ASSERT_EQ(torva({"pack", "pictures/sunset.qnt", "pictures/bars.vsp", "pictures/checker.pms", "notes.txt",
                         "cut.vsp", "-o", "v.alk"})
                      .status,
                  0);
        // Two members whose names differ only in case, as a game's tools may
        // have written them.
        const std::string sunset = ReadFile(work_ + "/pictures/sunset.qnt");
        torvatest::AldMember lower, upper;
        lower.name = "a.qnt";
        lower.data = BytesOf(sunset);
        upper.name = "A.QNT";
        upper.data = BytesOf(sunset);
        const torvatest::Bytes ald = torvatest::WriteAld({lower, upper});
        WriteFile(work_ + "/twice.ald", std::string(ald.begin(), ald.end()));
        // Text first, then the picture of the same stem.
        torvatest::AldMember text, picture;
        text.name = "readme.txt";
        text.data = BytesOf("about the pictures\n");
        picture.name = "readme.qnt";
        picture.data = BytesOf(sunset);
        const torvatest::Bytes notes = torvatest::WriteAld({text, picture});
        WriteFile(work_ + "/notes.ald", std::string(notes.begin(), notes.end()));
    }
    void TearDown() override {
        if (!HasFailure()) std::system(("rm -rf " + Quote(work_)).c_str());
    }
    Outcome torva(const std::vector<std::string>& arguments) { return RunTool(Quote(TORVA_NATIVE_TOOL), work_, arguments); }
    std::string work_;
};

TEST_F(Names, AlkMembersAreNamedByWhatTheyAreInEveryCommand) {
    const Outcome list = torva({"list", "v.alk"});
    ASSERT_EQ(list.status, 0) << list.err;
    std::string names;
    for (size_t start = 0; start < list.out.size();) {
        const size_t end = list.out.find('\n', start);
        const std::string line = list.out.substr(start, end - start);
        names += line.substr(line.rfind(' ') + 1) + "\n";
        start = end + 1;
    }
    const char* expected = "v_001.qnt\nv_002.vsp\nv_003.pms\nv_004.dat\nv_005.dat\n";
    EXPECT_EQ(names, expected);
    ASSERT_EQ(torva({"extract", "v.alk", "-o", "out"}).status, 0);
    EXPECT_EQ(Listing(work_ + "/out"), std::string("v.alk.manifest.json\n") + expected);
    EXPECT_EQ(ReadFile(work_ + "/out/v_002.vsp"), ReadFile(work_ + "/pictures/bars.vsp"));
    // test decodes the pictures; the cut VSP is no VSP by its name.
    const Outcome test = torva({"test", "v.alk"});
    EXPECT_EQ(test.status, 0) << test.err;
    EXPECT_EQ(test.out, "v.alk: ok, 5 members\n");
}

TEST_F(Names, ConvertTurnsEveryPictureOfAnArchiveAndNamesWhatIsNone) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        int status;
        const char* err;
        const char* written;  // the names in out/v, or in out
    };
    const Case cases[] = {
        {"all", {"convert", "v.alk", "-o", "out"}, 0, "", "v_001.png\nv_002.png\nv_003.png\n"},
        {"verbose",
         {"convert", "v.alk", "-o", "out", "--verbose"},
         0,
         "v.alk: v_001.qnt -> out/v/v_001.png\nv.alk: v_002.vsp -> out/v/v_002.png\n"
         "v.alk: v_003.pms -> out/v/v_003.png\nv.alk: v_004.dat: not a picture; not converted\n"
         "v.alk: v_005.dat: not a picture; not converted\n",
         "v_001.png\nv_002.png\nv_003.png\n"},
        {"a pattern passes over the rest", {"convert", "v.alk", "-o", "out", "-m", "v_00[45]*"}, 0, "", ""},
        {"the VSP by name", {"convert", "v.alk", "-m", "v_002.vsp", "-o", "out/one.png"}, 0, "", "one.png\n"},
        {"a member that is no picture, by name",
         {"convert", "v.alk", "-m", "v_004.dat", "-o", "out/one.png"},
         1,
         "torva: v.alk: v_004.dat: not a picture that torva can read\n",
         ""},
        {"the same into a folder",
         {"convert", "v.alk", "-m", "V_005.DAT", "-o", "out"},
         1,
         "torva: v.alk: v_005.dat: not a picture that torva can read\n",
         ""},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome run = torva(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(run.err, c.err) << c.what;
        const std::string folder = work_ + (Exists(work_ + "/out/v") ? "/out/v" : "/out");
        EXPECT_EQ(Listing(folder), c.written) << c.what;
    }
}

TEST_F(Names, EveryCommandNumbersAClashAndSaysSoOnce) {
    ASSERT_EQ(torva({"convert", "pictures/sunset.qnt", "-o", "in"}).status, 0);
    ASSERT_EQ(torva({"convert", "pictures/sunset.qnt", "--format", "bmp", "-o", "in"}).status, 0);
    struct Case {
        std::vector<std::string> arguments;
        const char* err;
        const char* folder;
        const char* written;
    };
    const Case cases[] = {
        {{"extract", "twice.ald", "-o", "out"},
         "torva: twice.ald: A.QNT: written as A~2.QNT (A.QNT is the name of an earlier output)\n", "out",
         "A~2.QNT\na.qnt\ntwice.ald.manifest.json\n"},
        {{"convert", "twice.ald", "-o", "out"},
         "torva: twice.ald: A.QNT: written as A~2.png (A.png is the name of an earlier output)\n", "out/twice",
         "A~2.png\na.png\n"},
        // A member that is likely no picture takes no name from one that is.
        {{"convert", "notes.ald", "-o", "out"}, "", "out/notes", "readme.png\n"},
        {{"encode", "in/sunset.png", "in/sunset.bmp", "--format", "qnt", "-o", "out"},
         "torva: in/sunset.bmp: written as sunset~2.qnt (sunset.qnt is the name of an earlier output)\n", "out",
         "sunset.qnt\nsunset~2.qnt\n"},
    };
    for (const Case& c : cases) {
        std::system(("rm -rf " + Quote(work_ + "/out")).c_str());
        const Outcome run = torva(c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments[0] << ": " << run.err;
        EXPECT_EQ(run.err, c.err) << c.arguments[0];
        EXPECT_EQ(Listing(work_ + "/" + c.folder), c.written) << c.arguments[0];
    }
    EXPECT_EQ(ReadFile(work_ + "/out/sunset~2.qnt"), ReadFile(work_ + "/out/sunset.qnt"));
}

TEST_F(Names, PackRefusesTwoAldMembersOfOneName) {
    std::system(("mkdir -p " + Quote(work_ + "/b")).c_str());
    WriteFile(work_ + "/b/SUNSET.QNT", ReadFile(work_ + "/pictures/sunset.qnt"));
    struct Case {
        std::vector<std::string> files;
        const char* archive;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {{"pictures/sunset.qnt", "b/SUNSET.QNT"}, "x.ald", 1,
         "torva: b/SUNSET.QNT: would be a second member named SUNSET.QNT, after pictures/sunset.qnt (ALD names differ "
         "in more than ASCII case)\ntorva: x.ald: not written\n"},
        {{"pictures/sunset.qnt", "pictures/bars.vsp", "pictures/sunset.qnt"}, "x.ald", 1,
         "torva: pictures/sunset.qnt: would be a second member named sunset.qnt, after pictures/sunset.qnt (ALD names "
         "differ in more than ASCII case)\ntorva: x.ald: not written\n"},
        // An ALK stores no names: nothing can clash.
        {{"pictures/sunset.qnt", "b/SUNSET.QNT"}, "x.alk", 0, ""},
        {{"pictures/sunset.qnt", "b/SUNSET.QNT", "pictures/bars.vsp"}, "y.ald", 1, nullptr},
    };
    for (const Case& c : cases) {
        std::remove((work_ + "/" + c.archive).c_str());
        std::vector<std::string> arguments = {"pack"};
        arguments.insert(arguments.end(), c.files.begin(), c.files.end());
        arguments.insert(arguments.end(), {"-o", c.archive});
        const Outcome run = torva(arguments);
        EXPECT_EQ(run.status, c.status) << c.archive << ": " << run.err;
        if (c.err != nullptr) EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(Exists(work_ + "/" + c.archive), c.status == 0) << c.archive;
    }
}

TEST_F(Names, TheProgressLineCountsPicturesOnly) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) to give a terminal";
    // samples.ald holds seven pictures and readme.txt; standard error is a
    // terminal only under script.
    const std::string command = Quote(TORVA_NATIVE_TOOL) + " convert samples.ald -o out -j 1";
    const std::string line = "cd " + Quote(work_) + " && script -qec " + Quote(command) + " /dev/null >progress.txt 2>&1";
    ASSERT_EQ(std::system(line.c_str()), 0);
    const std::string progress = ReadFile(work_ + "/progress.txt");
    EXPECT_NE(progress.find("] 7/7 "), std::string::npos) << progress;
    EXPECT_EQ(progress.find("/8 "), std::string::npos) << progress;
}

}  // namespace
