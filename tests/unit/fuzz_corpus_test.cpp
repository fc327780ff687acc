// Replays the fuzz corpora (seeds and every input that ever failed) through
// the same host calls the fuzz targets make. A crash, a hang or a failed
// check aborts the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/encode_input.h"
#include "fuzz/fuzz_inputs.h"
#include "fuzz/inflate_input.h"

namespace {

std::vector<std::filesystem::path> CorpusFiles(const std::string& name) {
    std::string root = TORVA_FUZZ_CORPUS_DIR;
#ifdef _WIN32
    if (!root.empty() && root[0] == '/') root = "Z:" + root;  // the Unix root under Wine
#endif
    std::vector<std::filesystem::path> files;
    const std::filesystem::path directory = std::filesystem::path(root) / name;
    if (!std::filesystem::is_directory(directory)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    return files;
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Target {
    const char* corpus;
    void (*run)(const uint8_t*, size_t);
};

class FuzzCorpusTest : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpusTest, EveryInputGetsACleanAnswer) {
    const std::vector<std::filesystem::path> files = CorpusFiles(GetParam().corpus);
    EXPECT_FALSE(files.empty()) << "no corpus for " << GetParam().corpus;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = ReadAll(file);
        GetParam().run(bytes.data(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusTest,
                         ::testing::Values(Target{"archive", torvafuzz::RunArchiveInput},
                                           Target{"image", torvafuzz::RunImageInput},
                                           Target{"inflate", torvafuzz::RunInflateInput},
                                           Target{"encode", torvafuzz::RunEncodeInput}),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.corpus); });

}  // namespace
