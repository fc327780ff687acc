// The DLL as the viewer meets it. The library is loaded with LoadLibrary,
// its six entry points are looked up by their undecorated names and called
// through pointers, as a 32-bit host calls them. Beside the calls, the image
// itself is read: what it exports, what it imports (a plug-in that needs a
// runtime DLL the viewer's machine lacks does not load there) and that it is
// a 32-bit i386 library.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plugin/entry_points.h"
#include "plugin/records.h"
#include "tests/windows/loaded_library.h"
#include "tests/windows/stdcall_call.h"

namespace {

using GetPluginInfoFn = decltype(&KRV_GetPluginInfo);
using GetSupportedExtFn = decltype(&KRV_GetSupportedExt);
using IsSupportedFn = decltype(&KRV_IsSupported);
using GetArchiveInfoFn = decltype(&KRV_GetArchiveInfo);
using GetImageInfoFn = decltype(&KRV_GetImageInfo);
using GetImageFn = decltype(&KRV_GetImage);

const char* const kEntryPoints[] = {"KRV_GetArchiveInfo", "KRV_GetImage",        "KRV_GetImageInfo",
                                    "KRV_GetPluginInfo",  "KRV_GetSupportedExt", "KRV_IsSupported"};

using torvatest::LibraryPath;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A FileAccess record as the host lays it out: the fixed fields, then the
// NUL-terminated name, and nothing after it.
class Record {
public:
    Record(std::vector<unsigned char> bytes, const std::string& name) : bytes_(std::move(bytes)) {
        storage_.assign(offsetof(FileAccess, fileName) + name.size() + 1, 0);
        auto* record = reinterpret_cast<FileAccess*>(storage_.data());
        record->hFile = INVALID_HANDLE_VALUE;
        record->data = bytes_.data();
        record->dataSize = static_cast<uint32_t>(bytes_.size());
        std::memcpy(storage_.data() + offsetof(FileAccess, fileName), name.c_str(), name.size() + 1);
    }
    const FileAccess* get() const { return reinterpret_cast<const FileAccess*>(storage_.data()); }

private:
    std::vector<unsigned char> bytes_;
    std::vector<unsigned char> storage_;
};

// Bytes that no detection takes for an archive or an image, under a name
// with no extension of the plug-in's.
Record ForeignFile() {
    const char text[] = "Just some notes, nothing of the game's data.";
    return Record(std::vector<unsigned char>(text, text + sizeof text - 1), "C:\\data\\notes.txt");
}

class DllTest : public torvatest::LoadedLibraryTest {
protected:

    // The loaded image, read through its own headers.
    static const unsigned char* Base() { return reinterpret_cast<const unsigned char*>(module_); }
    static const IMAGE_NT_HEADERS32* Headers() {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
        return reinterpret_cast<const IMAGE_NT_HEADERS32*>(Base() + dos->e_lfanew);
    }
    static const IMAGE_DATA_DIRECTORY& Directory(int index) {
        return Headers()->OptionalHeader.DataDirectory[index];
    }
};

TEST_F(DllTest, IsA32BitI386Library) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_EQ(Headers()->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(Headers()->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(Headers()->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_NE(Headers()->FileHeader.Characteristics & IMAGE_FILE_DLL, 0);
    EXPECT_NE(Headers()->FileHeader.Characteristics & IMAGE_FILE_32BIT_MACHINE, 0);
}

TEST_F(DllTest, ExportsExactlyTheSixEntryPointsUndecorated) {
    const IMAGE_DATA_DIRECTORY& directory = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(directory.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(Base() + directory.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(Base() + exports->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) exported.insert(reinterpret_cast<const char*>(Base() + names[i]));
    EXPECT_EQ(exported, std::set<std::string>(std::begin(kEntryPoints), std::end(kEntryPoints)));
    EXPECT_EQ(exports->NumberOfFunctions, 6u) << "no export by ordinal only";

    for (const char* name : kEntryPoints) {
        EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
    }
    // The decorated forms of the Windows calling convention are not exported.
    EXPECT_EQ(GetProcAddress(module_, "_KRV_GetPluginInfo@4"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "KRV_GetPluginInfo@4"), nullptr);
    EXPECT_EQ(GetProcAddress(module_, "_KRV_IsSupported@12"), nullptr);
}

TEST_F(DllTest, ImportsOnlyTheKernelAndTheSystemCRuntime) {
    const IMAGE_DATA_DIRECTORY& directory = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(directory.VirtualAddress, 0u);
    std::set<std::string> imported;
    for (const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base() + directory.VirtualAddress);
         import->Name != 0; ++import) {
        imported.insert(Lower(reinterpret_cast<const char*>(Base() + import->Name)));
    }
    // zlib, libgcc, libstdc++ and the threads library are linked in.
    EXPECT_EQ(imported, (std::set<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

// Each entry point, called with arguments that are valid for it, must remove
// its own arguments from the stack and keep the callee-saved registers.
struct ConventionCase {
    const char* name;
    int32_t expectedResult;
};

class CallingConventionTest : public DllTest, public ::testing::WithParamInterface<ConventionCase> {};

TEST_P(CallingConventionTest, CalleeRemovesItsArguments) {
    const ConventionCase& c = GetParam();
    const void* function = reinterpret_cast<const void*>(GetProcAddress(module_, c.name));
    ASSERT_NE(function, nullptr);

    Record file = ForeignFile();
    PluginInfo pluginInfo;
    ImageInfo imageInfo;
    int32_t descriptionLength = 0;
    int32_t patternLength = 0;
    int32_t value = 0;
    uint32_t size = 0;
    HGLOBAL block = nullptr;
    auto word = [](const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); };

    std::vector<uint32_t> arguments;
    const std::string name = c.name;
    if (name == "KRV_GetPluginInfo") arguments = {word(&pluginInfo)};
    if (name == "KRV_GetSupportedExt")
        arguments = {2, 0, 0, word(&descriptionLength), 0, word(&patternLength)};
    if (name == "KRV_IsSupported") arguments = {word(file.get()), 2, word(&value)};
    if (name == "KRV_GetArchiveInfo") arguments = {word(file.get()), word(&block), word(&value)};
    if (name == "KRV_GetImageInfo") arguments = {word(file.get()), word(&imageInfo)};
    if (name == "KRV_GetImage") arguments = {word(file.get()), word(&block), word(&size), 0};
    ASSERT_FALSE(arguments.empty());

    const torvatest::MeasuredCall call = torvatest::CallMeasured(function, arguments);
    EXPECT_EQ(call.bytesRemoved, 4 * arguments.size());
    EXPECT_TRUE(call.registersPreserved);
    EXPECT_EQ(static_cast<int32_t>(call.result), c.expectedResult);
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, CallingConventionTest,
                         ::testing::Values(ConventionCase{"KRV_GetPluginInfo", 0},
                                           ConventionCase{"KRV_GetSupportedExt", 0},
                                           ConventionCase{"KRV_IsSupported", 0},
                                           ConventionCase{"KRV_GetArchiveInfo", 0},
                                           ConventionCase{"KRV_GetImageInfo", 0}, ConventionCase{"KRV_GetImage", 0}),
                         [](const ::testing::TestParamInfo<ConventionCase>& info) { return std::string(info.param.name); });

TEST_F(DllTest, IdentityAndExtensionTablesThroughTheExports) {
    PluginInfo info;
    std::memset(&info, 0xFF, sizeof info);
    ASSERT_EQ(Entry<GetPluginInfoFn>("KRV_GetPluginInfo")(&info), 0);
    EXPECT_EQ(info.apiVersion, 1);
    EXPECT_EQ(info.pluginKinds, 3);
    EXPECT_STREQ(info.name, "TORVASOFT");
    EXPECT_STREQ(info.author, "Tavik");
    EXPECT_STREQ(info.version, "0.1");
    EXPECT_EQ(info.archiveExtCount, 1);
    EXPECT_EQ(info.imageExtCount, 1);
    EXPECT_EQ(static_cast<unsigned char>(info.name[10]), 0xFF);

    auto query = Entry<GetSupportedExtFn>("KRV_GetSupportedExt");
    char description[32];
    char pattern[32];
    int32_t descriptionLength = sizeof description;
    int32_t patternLength = sizeof pattern;
    ASSERT_EQ(query(1, 0, description, &descriptionLength, pattern, &patternLength), 0);
    EXPECT_STREQ(description, "TORVASOFT");
    EXPECT_STREQ(pattern, "*.ald;*.alk");
    descriptionLength = sizeof description;
    patternLength = sizeof pattern;
    ASSERT_EQ(query(2, 0, description, &descriptionLength, pattern, &patternLength), 0);
    EXPECT_STREQ(pattern, "*.qnt;*.pms;*.vsp");
    EXPECT_EQ(patternLength, 18);
    EXPECT_EQ(query(2, 1, description, &descriptionLength, pattern, &patternLength), 10);
}

TEST_F(DllTest, ForeignFileIsAnsweredWithoutWritingHandlesOrRecords) {
    Record file = ForeignFile();
    for (int32_t type : {0, 1, 2, 3}) {
        int32_t result = 99;
        EXPECT_EQ(Entry<IsSupportedFn>("KRV_IsSupported")(file.get(), type, &result), 0);
        EXPECT_EQ(result, 0) << "type " << type;
    }

    HGLOBAL block = reinterpret_cast<HGLOBAL>(0x5151);
    int32_t count = 77;
    EXPECT_EQ(Entry<GetArchiveInfoFn>("KRV_GetArchiveInfo")(file.get(), &block, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(block, reinterpret_cast<HGLOBAL>(0x5151));

    ImageInfo info;
    std::memset(&info, 0xA5, sizeof info);
    ImageInfo before = info;
    EXPECT_EQ(Entry<GetImageInfoFn>("KRV_GetImageInfo")(file.get(), &info), 0);
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);

    // An image request on a foreign file still gets a bitmap: the two headers
    // alone, 54 bytes, in a block the caller owns and can free.
    uint32_t size = 1234;
    EXPECT_EQ(Entry<GetImageFn>("KRV_GetImage")(file.get(), &block, &size, 0), 0);
    EXPECT_EQ(size, 54u);
    ASSERT_NE(block, reinterpret_cast<HGLOBAL>(0x5151));
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
    EXPECT_GE(GlobalSize(block), 54u);
    EXPECT_EQ(GlobalFree(block), nullptr);
}

// The plug-in object is built by the library's static initialisation and
// destroyed at unload; a library loaded again builds it again.
TEST(DllLifecycleTest, LoadsUnloadsAndLoadsAgain) {
    const std::string path = LibraryPath();
    for (int round = 0; round < 3; ++round) {
        HMODULE module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr) << "round " << round;
        auto info = reinterpret_cast<GetPluginInfoFn>(reinterpret_cast<void*>(GetProcAddress(module, "KRV_GetPluginInfo")));
        ASSERT_NE(info, nullptr);
        PluginInfo record{};
        EXPECT_EQ(info(&record), 0);
        EXPECT_STREQ(record.name, "TORVASOFT");
        EXPECT_TRUE(FreeLibrary(module));
        EXPECT_EQ(GetModuleHandleA("torvasoft.dll"), nullptr) << "unloaded after round " << round;
    }
}

// Threads started and ended while the library is loaded send it thread
// notifications; calls from several threads at once share no state.
TEST_F(DllTest, CallsFromManyThreadsAgree) {
    auto info = Entry<GetPluginInfoFn>("KRV_GetPluginInfo");
    auto query = Entry<GetSupportedExtFn>("KRV_GetSupportedExt");
    auto isSupported = Entry<IsSupportedFn>("KRV_IsSupported");
    Record file = ForeignFile();
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                PluginInfo record{};
                char pattern[32];
                int32_t patternLength = sizeof pattern;
                int32_t descriptionLength = 0;
                int32_t result = 5;
                const int32_t type = 1 + (t + i) % 2;
                if (info(&record) != 0 || std::strcmp(record.name, "TORVASOFT") != 0) ++mismatches;
                if (query(type, 0, nullptr, &descriptionLength, pattern, &patternLength) != 0 ||
                    std::strcmp(pattern, type == 1 ? "*.ald;*.alk" : "*.qnt;*.pms;*.vsp") != 0 ||
                    descriptionLength != 9)
                    ++mismatches;
                if (isSupported(file.get(), type, &result) != 0 || result != 0) ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
