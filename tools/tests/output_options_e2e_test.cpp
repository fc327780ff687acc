// torva end to end on the edges of its command line: where output goes (a
// file, a folder, standard output, a terminal), what '-' and --name read,
// lists of files, JSON errors and bitmaps with alpha.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/tests/e2e_files.h"

namespace {

using torvae2e::Quote;
using torvae2e::ReadFile;
using torvae2e::WriteFile;
using torvae2e::Exists;
using torvae2e::Outcome;
using torvae2e::RunTool;

uint32_t Le32(const std::string& bytes, size_t at) {
    if (at + 4 > bytes.size()) return 0;
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

// A scratch folder holding the sample pictures and archives, and the tool
// run in it with standard input from `input` ("" for /dev/null).
class OutputOptions : public testing::Test {
protected:
    void SetUp() override {
        work_ = testing::TempDir() + "torva_output_" +
                testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + std::to_string(getpid());
        ASSERT_EQ(std::system(("rm -rf " + Quote(work_) + " && mkdir -p " + Quote(work_) + " && " +
                               Quote(TORVA_SAMPLES_TOOL) + " " + Quote(work_) + " >/dev/null")
                                  .c_str()),
                  0);
    }
    void TearDown() override {
        if (!HasFailure()) std::system(("rm -rf " + Quote(work_)).c_str());
    }

    Outcome torva(const std::vector<std::string>& arguments, const std::string& input = "") {
        return RunTool(Quote(TORVA_NATIVE_TOOL), work_, arguments, input);
    }

    std::string file(const std::string& relative) { return ReadFile(work_ + "/" + relative); }

    std::string work_;
};

// The tool with a pseudo-terminal as standard output: what came to the
// terminal (with its line-end translation) and the exit status.
Outcome RunOnTerminal(const std::string& directory, const std::vector<std::string>& arguments) {
    Outcome outcome;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
        ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
        if (master >= 0) close(master);
        return outcome;
    }
    // The parent holds the terminal open until the child has it, so that the
    // end of the child's output is the end of the terminal's: reading the
    // master side then fails, and nothing waits on time.
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ADD_FAILURE() << "cannot open the pseudo-terminal: " << std::strerror(errno);
        close(master);
        return outcome;
    }
    std::string line = "cd " + Quote(directory) + " && exec " + Quote(TORVA_NATIVE_TOOL);
    for (const std::string& argument : arguments) line += " " + Quote(argument);
    line += " 2>.err </dev/null";
    const pid_t child = fork();
    if (child == 0) {
        close(master);
        if (dup2(slave, STDOUT_FILENO) < 0) _exit(127);
        close(slave);
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(slave);
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got > 0) {
            outcome.out.append(buffer, size_t(got));
        } else if (got == 0 || errno != EINTR) {
            break;  // EIO: the terminal's last holder has closed it
        }
    }
    int raw = 0;
    if (child > 0) waitpid(child, &raw, 0);
    close(master);
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.err = ReadFile(directory + "/.err");
    std::remove((directory + "/.err").c_str());
    return outcome;
}

TEST_F(OutputOptions, OutputNamesAreFilesOrDirectoriesByTheirExtension) {
    ASSERT_EQ(torva({"convert", "pictures/sunset.qnt", "-o", "ref"}).status, 0);
    ASSERT_EQ(std::system(("mkdir " + Quote(work_ + "/made.d")).c_str()), 0);
    WriteFile(work_ + "/afile", "not a folder\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* err;      // part of standard error
        const char* written;  // a file that must be there after, or ""
        const char* absent;   // a path that must not be there after, or ""
    };
    const Case cases[] = {
        {{"convert", "pictures/sunset.qnt", "-o", "one.jpg"}, 2, "no output convert knows: a .png or .bmp file", "",
         "one.jpg"},
        {{"convert", "pictures/sunset.qnt", "-o", "folder.d/"}, 0, "", "folder.d/sunset.png", ""},
        {{"convert", "pictures/sunset.qnt", "-o", "made.d"}, 0, "", "made.d/sunset.png", ""},
        {{"convert", "pictures/sunset.qnt", "-o", "plain"}, 0, "", "plain/sunset.png", ""},
        {{"convert", "pictures/sunset.qnt", "-o", "afile"}, 1, "afile is a file, not a directory", "", ""},
        {{"extract", "samples.ald", "-o", "afile"}, 1, "afile is a file, not a directory", "", ""},
        {{"encode", "ref/sunset.png", "-o", "x.gif"}, 2, "no output encode knows: a .qnt, .pms or .vsp file", "",
         "x.gif"},
        {{"encode", "ref/sunset.png", "-f", "qnt", "-o", "afile"}, 1, "afile is a file, not a directory", "", ""},
        {{"encode", "ref/sunset.png", "-f", "qnt", "-o", "-"}, 0, "", "", "-"},
        {{"encode", "ref/sunset.png", "-o", "-"}, 2, "say which format to write", "", "-"},
        {{"encode", "ref/sunset.png", "pictures/sunset.qnt", "-f", "qnt", "-o", "-"}, 2, "names one file", "", "-"},
    };
    for (const Case& c : cases) {
        const Outcome run = torva(c.arguments);
        const std::string what = c.arguments[0] + " -o " + c.arguments.back();
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << what << "\n" << run.err;
        if (*c.written) {
            EXPECT_TRUE(Exists(work_ + "/" + c.written)) << what;
        }
        if (*c.absent) {
            EXPECT_FALSE(Exists(work_ + "/" + c.absent)) << what;
        }
    }
    EXPECT_EQ(file("afile"), "not a folder\n");
}

TEST_F(OutputOptions, StandardInputAndOutputForEveryCommandThatReadsOrWrites) {
    ASSERT_EQ(torva({"convert", "pictures/sunset.qnt", "-o", "ref"}).status, 0);
    ASSERT_EQ(torva({"encode", "ref/sunset.png", "-o", "ref/sunset.qnt"}).status, 0);
    const std::string encoded = file("ref/sunset.qnt");
    ASSERT_FALSE(encoded.empty());

    // encode: to standard output, from standard input (named by --name or
    // as stdin).
    Outcome run = torva({"encode", "ref/sunset.png", "--format", "qnt", "-o", "-"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out == encoded);
    run = torva({"encode", "-", "--name", "cover.png", "-f", "qnt", "-o", "dir"}, "ref/sunset.png");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(file("dir/cover.qnt") == encoded);
    run = torva({"encode", "-", "-f", "qnt"}, "ref/sunset.png");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(file("stdin.qnt") == encoded);
    run = torva({"encode", "-", "-f", "qnt", "-o", "-"}, "ref/sunset.png");
    EXPECT_TRUE(run.out == encoded);
    EXPECT_EQ(torva({"encode", "-", "-", "-f", "qnt"}).status, 2);
    EXPECT_EQ(torva({"encode", "ref/sunset.png", "--name", "x.png", "-f", "qnt"}).status, 2);

    // Messages name standard input as --name does.
    run = torva({"info", "--name", "a.vsp", "-"}, "pictures/bars.vsp");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.compare(0, 19, "a.vsp: VSP picture,"), 0) << run.out;
    run = torva({"test", "--name", "c.qnt", "-"}, "pictures/sunset.qnt");
    EXPECT_EQ(run.out, "c.qnt: ok\n");
    // An ALD is known by its name: without one, the message says how.
    run = torva({"list", "-"}, "samples.ald");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--name NAME.ald"), std::string::npos) << run.err;
    EXPECT_EQ(torva({"list", "-", "--name", "s.ald"}, "samples.ald").out, torva({"list", "samples.ald"}).out);
}

TEST_F(OutputOptions, PackTakesListsFromFilesAndStandardInput) {
    ASSERT_EQ(torva({"extract", "samples.ald", "-o", "members"}).status, 0);
    ASSERT_EQ(torva({"pack", "members/sunset.qnt", "members/bars.vsp", "-o", "ref.ald"}).status, 0);
    const std::string expected = file("ref.ald");
    struct Case {
        const char* name;
        std::string list;  // the list's bytes
        bool fromStandardInput;
    };
    const Case cases[] = {
        {"plain", "sunset.qnt\nbars.vsp\n", false},
        {"with a byte-order mark and CR LF", "\xEF\xBB\xBFsunset.qnt\r\nbars.vsp\r\n\r\n", false},
        {"on standard input", "members/sunset.qnt\nmembers/bars.vsp", true},
        {"on standard input with a byte-order mark", "\xEF\xBB\xBFmembers/sunset.qnt\nmembers/bars.vsp\n", true},
    };
    for (const Case& c : cases) {
        WriteFile(work_ + "/members/list.txt", c.list);
        std::remove((work_ + "/out.ald").c_str());
        const Outcome run = c.fromStandardInput ? torva({"pack", "-", "-o", "out.ald"}, "members/list.txt")
                                                : torva({"pack", "--list", "members/list.txt", "-o", "out.ald"});
        EXPECT_EQ(run.status, 0) << c.name << "\n" << run.err;
        EXPECT_TRUE(file("out.ald") == expected) << c.name;
    }
    WriteFile(work_ + "/members/list.txt", "sunset.qnt\n");
    EXPECT_EQ(torva({"pack", "-", "--list", "-", "-o", "twice.ald"}, "members/list.txt").status, 2);
}

TEST_F(OutputOptions, JsonErrorsSayWhy) {
    WriteFile(work_ + "/notes.txt", "not a picture\n");
    struct Case {
        const char* command;
        const char* file;
        const char* reason;
    };
    const Case cases[] = {
        {"info", "notes.txt", "\"reason\": \"not an archive or picture that torva can read\""},
        {"info", "missing.qnt", "\"reason\": \"cannot open: "},
        {"list", "pictures/sunset.qnt", "\"reason\": \"not an archive (it is a QNT picture)\""},
        {"test", "notes.txt", "\"reason\": \"not an archive or picture that torva can read\""},
        {"test", "missing.qnt", "\"reason\": \"cannot open: "},
    };
    for (const Case& c : cases) {
        const Outcome run = torva({c.command, "--json", c.file});
        EXPECT_EQ(run.status, 1) << c.command << " " << c.file;
        const std::string entry = std::string("{\"file\": \"") + c.file + "\", \"error\": true, " + c.reason;
        EXPECT_NE(run.out.find(entry), std::string::npos) << c.command << "\n" << run.out;
    }
}

// Every key of every JSON document a command writes is named in its help,
// over whole, damaged and unreadable files.
TEST_F(OutputOptions, EveryJsonFieldIsInTheHelp) {
    const std::string sunset = file("pictures/sunset.qnt");
    WriteFile(work_ + "/cut.qnt", sunset.substr(0, sunset.size() / 2));
    WriteFile(work_ + "/cut.ald", file("samples.ald").substr(0, 30000));
    WriteFile(work_ + "/notes.txt", "not a picture\n");
    const std::vector<std::string> files = {"pictures/sunset.qnt", "pictures/disc16_alpha.pms", "pictures/bars.vsp",
                                            "samples.ald", "samples.alk", "cut.qnt", "cut.ald", "notes.txt",
                                            "missing.qnt"};
    for (const char* command : {"info", "list", "test"}) {
        std::vector<std::string> arguments = {command, "--json"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        const std::string json = torva(arguments).out;
        const std::string help = torva({command, "--help"}).out;
        ASSERT_NE(json.find("\"files\": ["), std::string::npos) << command << "\n" << json;
        size_t keys = 0;
        for (size_t at = json.find("\": "); at != std::string::npos; at = json.find("\": ", at + 1)) {
            const size_t start = json.rfind('"', at - 1);
            const std::string key = json.substr(start, at - start + 1);
            ++keys;
            EXPECT_NE(help.find(key), std::string::npos) << command << " --json writes " << key
                                                         << ", which its help does not name";
        }
        EXPECT_GT(keys, 10u) << command;
    }
}

// A bitmap with alpha says so in a V5 header; one without keeps the plain
// 40-byte header; and the alpha comes back when the bitmap is encoded again.
TEST_F(OutputOptions, BitmapsWithAlphaCarryAnAlphaMask) {
    struct Case {
        const char* picture;
        uint32_t headerSize, compression, alphaMask;
    };
    const Case cases[] = {
        {"ring_alpha.qnt", 124, 3, 0xFF000000u},
        {"disc16_alpha.pms", 124, 3, 0xFF000000u},
        {"sunset.qnt", 40, 0, 0},
        {"checker.pms", 40, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string name = c.picture;
        const std::string stem = name.substr(0, name.find('.'));
        ASSERT_EQ(torva({"convert", "pictures/" + name, "-f", "bmp", "-o", "bmp"}).status, 0) << name;
        const std::string bmp = file("bmp/" + stem + ".bmp");
        EXPECT_EQ(Le32(bmp, 14), c.headerSize) << name;
        EXPECT_EQ(Le32(bmp, 30), c.compression) << name;
        EXPECT_EQ(Le32(bmp, 2), bmp.size()) << name;
        if (c.headerSize == 124) {
            EXPECT_EQ(Le32(bmp, 10), 14u + 124u) << name;
            EXPECT_EQ(Le32(bmp, 54), 0x00FF0000u) << name;
            EXPECT_EQ(Le32(bmp, 58), 0x0000FF00u) << name;
            EXPECT_EQ(Le32(bmp, 62), 0x000000FFu) << name;
            EXPECT_EQ(Le32(bmp, 66), c.alphaMask) << name;
        }
    }
    // The translucent ring survives BMP and QNT: its PNG is the same.
    ASSERT_EQ(torva({"encode", "bmp/ring_alpha.bmp", "-o", "again/ring_alpha.qnt"}).status, 0);
    ASSERT_EQ(torva({"convert", "again/ring_alpha.qnt", "-o", "png/again"}).status, 0);
    ASSERT_EQ(torva({"convert", "pictures/ring_alpha.qnt", "-o", "png/original"}).status, 0);
    EXPECT_TRUE(file("png/again/ring_alpha.png") == file("png/original/ring_alpha.png"));
}

TEST_F(OutputOptions, CommandLineWordsAsUsersTypeThem) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* outStart;
        const char* errPart;
    };
    const Case cases[] = {
        {{"help", "help"}, 0, "Usage: torva help [COMMAND]", ""},
        {{"help", "--help"}, 0, "Usage: torva help [COMMAND]", ""},
        {{"--version", "extra"}, 2, "", "--version takes nothing after it"},
        {{"--version"}, 0, "torva ", ""},
        {{"convert", "-rv", "pictures", "-o", "grouped"}, 0, "", "pictures/bars.vsp -> grouped/bars.png"},
        {{"convert", "pictures/sunset.qnt", "-oattached.png"}, 0, "", ""},
        {{"convert", "pictures/sunset.qnt", "-vo", "separate.png"}, 0, "", "-> separate.png"},
        {{"convert", "-rq", "pictures"}, 2, "", "unknown option -q"},
        {{"list", "-rj", "1", "."}, 2, "", "unknown option -j"},
    };
    for (const Case& c : cases) {
        const Outcome run = torva(c.arguments);
        std::string what;
        for (const std::string& argument : c.arguments) what += argument + " ";
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
        EXPECT_EQ(run.out.compare(0, std::strlen(c.outStart), c.outStart), 0) << what << "\n" << run.out;
        EXPECT_NE(run.err.find(c.errPart), std::string::npos) << what << "\n" << run.err;
    }
    EXPECT_TRUE(Exists(work_ + "/attached.png"));
    EXPECT_TRUE(Exists(work_ + "/separate.png"));
}

// Binary output is not thrown at a terminal unless --force asks for it.
TEST_F(OutputOptions, BinaryOutputToATerminalIsRefusedUnlessForced) {
    ASSERT_EQ(torva({"convert", "pictures/sunset.qnt", "-o", "ref"}).status, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"convert", "pictures/sunset.qnt", "-o", "-"},
        {"extract", "--stdout", "samples.ald", "sunset.qnt"},
        {"encode", "ref/sunset.png", "-f", "qnt", "-o", "-"},
    };
    for (const std::vector<std::string>& command : commands) {
        const Outcome refused = RunOnTerminal(work_, command);
        EXPECT_EQ(refused.status, 1) << command[0] << "\n" << refused.err;
        EXPECT_NE(refused.err.find("torva: standard output: is a terminal"), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "") << command[0];

        std::vector<std::string> forced = command;
        forced.push_back("--force");
        const Outcome written = RunOnTerminal(work_, forced);
        EXPECT_EQ(written.status, 0) << command[0] << "\n" << written.err;
        EXPECT_GT(written.out.size(), 100u) << command[0];
        // To a file or a pipe nothing needs forcing.
        EXPECT_EQ(torva(command).status, 0) << command[0];
    }
}

}  // namespace
