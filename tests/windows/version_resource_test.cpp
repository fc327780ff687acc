// The version resource of the DLL and of torva.exe, read as Windows reads it
// for a file's properties, must carry the project version the headers carry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "torvasoft/version.h"

namespace {

std::string BesideThisProgram(const std::string& file) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1) + file;
}

struct BinaryCase {
    const char* file;
    DWORD fileType;
};

class VersionResourceTest : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(VersionResourceTest, CarriesTheProjectVersion) {
    const BinaryCase& c = GetParam();
    const std::string path = BesideThisProgram(c.file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << path;
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(TORVASOFT_VERSION_MAJOR << 16 | TORVASOFT_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(TORVASOFT_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, c.fileType);

    const struct {
        const char* key;
        std::string expected;
    } strings[] = {{"FileVersion", TORVASOFT_VERSION_STRING},
                   {"ProductVersion", TORVASOFT_VERSION_STRING},
                   {"ProductName", "torvasoft"},
                   {"OriginalFilename", c.file}};
    for (const auto& s : strings) {
        char* value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + s.key;
        ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << s.key;
        EXPECT_EQ(std::string(value), s.expected) << s.key;
    }
}

INSTANTIATE_TEST_SUITE_P(Binaries, VersionResourceTest,
                         ::testing::Values(BinaryCase{"torvasoft.dll", VFT_DLL}, BinaryCase{"torva.exe", VFT_APP}),
                         [](const ::testing::TestParamInfo<BinaryCase>& info) {
                             return info.param.fileType == VFT_DLL ? std::string("Dll") : std::string("Exe");
                         });

}  // namespace
