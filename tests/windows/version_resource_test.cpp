// The version resource of the DLL and of torva.exe, read as Windows reads it
// for a file's properties, carries the version the generated header carries.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "torvasoft/version.h"

namespace {

class VersionResourceTest : public ::testing::TestWithParam<const char*> {};

TEST_P(VersionResourceTest, CarriesTheProjectVersion) {
    char self[MAX_PATH];
    std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    path = path.substr(0, path.find_last_of("\\/") + 1) + GetParam();
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    ASSERT_FALSE(data.empty()) << "no version resource in " << path;
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD{TORVASOFT_VERSION_MAJOR << 16 | TORVASOFT_VERSION_MINOR});
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD{TORVASOFT_VERSION_PATCH << 16});
    EXPECT_EQ(fixed->dwFileType, std::string(GetParam()).find(".dll") != std::string::npos ? VFT_DLL : VFT_APP);
    const std::pair<const char*, std::string> strings[] = {
        {"FileVersion", TORVASOFT_VERSION_STRING}, {"ProductVersion", TORVASOFT_VERSION_STRING},
        {"ProductName", "torvasoft"}, {"OriginalFilename", GetParam()}};
    for (const auto& [key, expected] : strings) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
        ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)) << key;
        EXPECT_EQ(std::string(value), expected) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Binaries, VersionResourceTest, ::testing::Values("torvasoft.dll", "torva.exe"));

}  // namespace
