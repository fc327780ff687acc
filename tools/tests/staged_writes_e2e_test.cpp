// Outputs that appear whole or not at all, under two kinds of trouble: several
// torva processes writing the same files at once, and a torva interrupted at
// every step of writing a file (the tool's TORVA_TEST_PAUSE_AT hook stops it
// there and says so through a pipe, so the interrupt lands at that very step).
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/writers/qnt_writer.h"
#include "tools/tests/e2e_files.h"

namespace {

using torvae2e::Quote;
using torvae2e::ReadFile;
using torvae2e::WriteFile;

// Every regular file under `root` by relative path, with its bytes.
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

// How a run of the tool is started.
struct Launch {
    explicit Launch(std::vector<std::string> words) : arguments(std::move(words)) {}
    std::vector<std::string> arguments;
    std::string input = "/dev/null";  // standard input
    std::string pauseAt;              // TORVA_TEST_PAUSE_AT, or empty
    int pauseFd = -1;                 // the pipe's writing end, for the pause
    std::string temporary;            // TMPDIR, or empty
};

pid_t Start(const std::string& directory, const Launch& launch) {
    std::vector<std::string> words = {TORVA_NATIVE_TOOL};
    words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The child: only calls that are safe after fork, then exec.
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    const int in = open(launch.input.c_str(), O_RDONLY);
    const int null = open("/dev/null", O_WRONLY);
    if (in < 0 || null < 0 || chdir(directory.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(null, 1);
    dup2(null, 2);
    if (!launch.pauseAt.empty()) {
        setenv("TORVA_TEST_PAUSE_AT", launch.pauseAt.c_str(), 1);
        setenv("TORVA_TEST_PAUSE_FD", std::to_string(launch.pauseFd).c_str(), 1);
    }
    if (!launch.temporary.empty()) setenv("TMPDIR", launch.temporary.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

int RunToEnd(const std::string& directory, const Launch& launch) {
    const int status = Wait(Start(directory, launch));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StagedWrites : public testing::Test {
protected:
    void SetUp() override {
        work_ = testing::TempDir() + "torva_staged_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
                "_" + std::to_string(getpid());
        Shell("rm -rf " + Quote(work_) + " && mkdir -p " + Quote(work_ + "/in") + " " + Quote(work_ + "/tmp"));
    }
    void TearDown() override {
        if (!HasFailure()) Shell("rm -rf " + Quote(work_));
    }
    static void Shell(const std::string& line) { ASSERT_EQ(std::system(line.c_str()), 0) << line; }

    // `count` pictures in/pNNN.qnt, each of its own noise, so that a file
    // holding another's picture shows.
    void MakePictures(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            torvatest::QntPicture picture;
            picture.width = 40 + uint32_t(i % 7);
            picture.height = 30;
            torvatest::Random random(i + 1);
            for (uint32_t p = 0; p < picture.width * picture.height * 3; ++p) {
                picture.bgr.push_back(uint8_t(random.next()));
            }
            const torvatest::Bytes file = torvatest::WriteQnt(picture, torvatest::QntOptions());
            char name[32];
            std::snprintf(name, sizeof name, "/in/p%03zu.qnt", i);
            WriteFile(work_ + name, std::string(file.begin(), file.end()));
        }
    }

    std::string work_;
};

bool IsTemporary(const std::string& path) { return path.find(".torva-") != std::string::npos; }

TEST_F(StagedWrites, FourConvertsAtOnceIntoOneFolderWriteEveryFileWhole) {
    MakePictures(100);
    ASSERT_EQ(RunToEnd(work_, Launch({"convert", "-r", "in", "-o", "ref"})), 0);
    const auto expected = Tree(work_ + "/ref");
    ASSERT_EQ(expected.size(), 100u);
    for (int round = 0; round < 3; ++round) {
        std::vector<pid_t> runs;
        for (int i = 0; i < 4; ++i) {
            runs.push_back(Start(work_, Launch({"convert", "-r", "in", "-o", "shared", "--overwrite", "-j", "2"})));
        }
        for (pid_t pid : runs) {
            const int status = Wait(pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        const auto written = Tree(work_ + "/shared");
        ASSERT_EQ(written.size(), expected.size()) << "round " << round;
        for (const auto& file : written) {
            EXPECT_FALSE(IsTemporary(file.first)) << file.first;
            const auto want = expected.find(file.first);
            ASSERT_NE(want, expected.end()) << file.first;
            EXPECT_TRUE(file.second == want->second) << file.first << " is not its own whole picture, round " << round;
        }
    }
}

// One interruption: the tool stopped at `point` (POINT:N) and sent SIGINT.
struct Interruption {
    const char* what;
    std::vector<std::string> arguments;
    const char* input;  // standard input, relative to the work directory, or null
    std::vector<std::string> points;
};

TEST_F(StagedWrites, AnInterruptLeavesNoTemporaryFileAndNoDamagedOne) {
    MakePictures(5);
    // The outputs each command gives when left alone, and inputs for encode.
    ASSERT_EQ(RunToEnd(work_, Launch({"convert", "-r", "in", "-o", "ref/convert"})), 0);
    Shell("mkdir -p " + Quote(work_ + "/png") + " && cp " + Quote(work_ + "/ref/convert") + "/p00[0-2].png " +
          Quote(work_ + "/png"));
    ASSERT_EQ(RunToEnd(work_, Launch({"encode", "png/p000.png", "png/p001.png", "png/p002.png", "-o", "ref/encode", "--format", "qnt"})), 0);
    ASSERT_EQ(RunToEnd(work_, Launch({"pack", "in", "-r", "-o", "ref/pack/all.ald"})), 0);
    const auto reference = Tree(work_ + "/ref");
    ASSERT_EQ(reference.size(), 5u + 3u + 1u);

    // Each output a run replaces: its bytes before, and its bytes when whole.
    const std::string old = "an earlier output, to be replaced whole or not at all\n";
    const std::vector<Interruption> cases = {
        {"convert", {"convert", "-r", "in", "-o", "out/convert", "--overwrite", "-j", "1"}, nullptr,
         {"staged-open:1", "staged-open:3", "staged-open:5", "staged-write:1", "staged-write:4", "staged-commit:1",
          "staged-commit:2", "staged-commit:5"}},
        // The spool of standard input is the first staged file, the output
        // the second.
        {"convert -", {"convert", "-", "-o", "out/convert/p002.png", "--overwrite"}, "in/p002.qnt",
         {"staged-open:1", "staged-write:1", "staged-open:2", "staged-write:2", "staged-commit:1"}},
        {"encode", {"encode", "png/p000.png", "png/p001.png", "png/p002.png", "-o", "out/encode", "--format", "qnt",
                    "--overwrite"}, nullptr,
         {"staged-open:1", "staged-write:2", "staged-commit:1", "staged-commit:3"}},
        {"pack", {"pack", "in", "-r", "-o", "out/pack/all.ald", "--overwrite"}, nullptr,
         {"staged-open:1", "staged-write:1", "staged-write:3", "staged-write:6", "staged-commit:1"}},
    };
    for (const Interruption& c : cases) {
        for (const std::string& point : c.points) {
            const std::string where = std::string(c.what) + " at " + point;
            Shell("rm -rf " + Quote(work_ + "/out") + " " + Quote(work_ + "/tmp") + " && mkdir -p " +
                  Quote(work_ + "/out/convert") + " " + Quote(work_ + "/out/encode") + " " +
                  Quote(work_ + "/out/pack") + " " + Quote(work_ + "/tmp"));
            for (const char* existing : {"convert/p002.png", "encode/p001.qnt", "pack/all.ald"}) {
                WriteFile(work_ + "/out/" + existing, old);
            }
            int pipeFds[2];
            ASSERT_EQ(pipe(pipeFds), 0);
            Launch launch(c.arguments);
            if (c.input != nullptr) launch.input = work_ + "/" + c.input;
            launch.pauseAt = point;
            launch.pauseFd = pipeFds[1];
            launch.temporary = work_ + "/tmp";
            const pid_t pid = Start(work_, launch);
            close(pipeFds[1]);
            // The tool writes one byte when it has stopped at the point; the
            // pipe ends empty when it finished without reaching it.
            char byte = 0;
            ssize_t got;
            while ((got = read(pipeFds[0], &byte, 1)) < 0 && errno == EINTR) {
            }
            close(pipeFds[0]);
            EXPECT_EQ(got, 1) << where << ": the tool never stopped there";
            if (got == 1) kill(pid, SIGINT);
            const int status = Wait(pid);
            if (got == 1) {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << where;
            }

            EXPECT_TRUE(Tree(work_ + "/tmp").empty()) << where << ": the spool of standard input is left";
            for (const auto& file : Tree(work_ + "/out")) {
                EXPECT_FALSE(IsTemporary(file.first)) << where << ": " << file.first << " is left";
                if (IsTemporary(file.first)) continue;
                const auto whole = reference.find(file.first);
                const bool isOld = file.second == old;
                const bool isWhole = whole != reference.end() && file.second == whole->second;
                EXPECT_TRUE(isOld || isWhole) << where << ": " << file.first << " is damaged";
            }
        }
    }
}

}  // namespace
