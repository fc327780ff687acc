// Replays the fuzz corpora (seeds and every input that ever failed) through
// the same host calls the fuzz targets make. A crash, a hang or a failed
// check aborts the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/capi_input.h"
#include "fuzz/codec_comparisons.h"
#include "fuzz/encode_input.h"
#include "fuzz/fuzz_inputs.h"
#include "fuzz/inflate_input.h"

namespace {

// The files of fuzz/<folder>/<name>, or those of fuzz/<folder> whose names
// begin with <name>- when `prefixed`.
std::vector<std::filesystem::path> InputFiles(const std::string& folder, const std::string& name, bool prefixed) {
    std::string root = std::string(TORVA_SOURCE_DIR) + "/fuzz/" + folder;
#ifdef _WIN32
    if (!root.empty() && root[0] == '/') root = "Z:" + root;  // the Unix root under Wine
#endif
    std::vector<std::filesystem::path> files;
    const std::filesystem::path directory = prefixed ? std::filesystem::path(root) : std::filesystem::path(root) / name;
    if (!std::filesystem::is_directory(directory)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (!entry.is_regular_file()) continue;
        if (prefixed && entry.path().filename().string().rfind(name + "-", 0) != 0) continue;
        files.push_back(entry.path());
    }
    return files;
}

std::vector<std::filesystem::path> CorpusFiles(const std::string& name) { return InputFiles("corpus", name, false); }

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
                                           Target{"encode", torvafuzz::RunEncodeInput},
                                           Target{"capi", torvafuzz::RunCapiInput}),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.corpus); });

class CodecCorpusTest : public ::testing::TestWithParam<torvafuzz::CodecTarget> {};

// The per-codec corpora and every regression input named for the codec:
// the fast decoder gives what the plain one gives.
TEST_P(CodecCorpusTest, FastAndPlainDecodersAgree) {
    const std::string name = GetParam().name;
    std::vector<std::filesystem::path> files = CorpusFiles(name);
    EXPECT_FALSE(files.empty()) << "no corpus for " << name;
    for (const auto& regression : InputFiles("regressions", name, true)) files.push_back(regression);
    for (const auto& file : files) {
        // Exactly the file's size, as a fuzzer hands it over: a read past the
        // end meets the sanitizers' guard.
        const std::vector<uint8_t> read = ReadAll(file);
        const std::vector<uint8_t> bytes(read.begin(), read.end());
        EXPECT_EQ(GetParam().compare(bytes.data(), bytes.size()), "") << file.string();
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecCorpusTest, ::testing::ValuesIn(torvafuzz::kCodecTargets),
                         [](const ::testing::TestParamInfo<torvafuzz::CodecTarget>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
