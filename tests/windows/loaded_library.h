// The DLL loaded as a viewer loads it: from the directory of the running
// executable, by LoadLibrary, with its entry points found by name.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"

namespace torvatest {

// Path of torvasoft.dll beside the test executable.
inline std::string LibraryPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    const size_t slash = text.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : text.substr(0, slash + 1)) + "torvasoft.dll";
}

// A test fixture that loads the library once per suite.
class LoadedLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = LoadLibraryA(LibraryPath().c_str()); }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << LibraryPath(); }

    // The export `name` as a pointer of the entry point's type.
    template <typename Function>
    static Function Entry(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    static inline HMODULE module_ = nullptr;
};

}  // namespace torvatest
