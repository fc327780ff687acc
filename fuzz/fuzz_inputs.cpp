#include "fuzz/fuzz_inputs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "plugin/entry_points.h"
#include "plugin/records.h"

namespace torvafuzz {
namespace {

const char* const kExtensions[] = {".ald", ".alk", ".qnt", ".pms", ".vsp", ".ALD", ".Vsp", ".bin", ""};
constexpr size_t kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];

// A FileAccess record with its name stored inline, as the host lays it out.
std::vector<unsigned char> MakeRecord(HANDLE file, const uint8_t* data, uint32_t size, const std::string& name) {
    std::vector<unsigned char> record(offsetof(FileAccess, fileName) + name.size() + 1, 0);
    auto* access = reinterpret_cast<FileAccess*>(record.data());
    access->hFile = file;
    access->data = data;
    access->dataSize = size;
    std::memcpy(record.data() + offsetof(FileAccess, fileName), name.c_str(), name.size() + 1);
    return record;
}

// Reads and frees a returned block, so that a wrong size or a block that is
// not really ours shows up under the sanitizers.
void ConsumeBlock(HGLOBAL block, size_t size) {
    if (block == nullptr) return;
    auto* bytes = static_cast<const unsigned char*>(GlobalLock(block));
    volatile unsigned sum = 0;
    if (bytes != nullptr) {
        for (size_t i = 0; i < size; i += 61) sum = sum + bytes[i];
        if (size > 0) sum = sum + bytes[size - 1];
        GlobalUnlock(block);
    }
    if (GlobalFree(block) != nullptr) std::abort();
}

const std::string& ScratchPath() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("torva_fuzz_" + std::to_string(std::rand()) + ".bin"))
                                        .string();
    return path;
}

}  // namespace

void RunArchiveInput(const uint8_t* data, size_t size) {
    if (size < 3) return;
    const std::string name = std::string("dir\\archive") + kExtensions[data[0] % kExtensionCount];
    const size_t headChoice = static_cast<size_t>(data[1]) << 8 | data[2];
    data += 3;
    size -= 3;
    const uint32_t head = static_cast<uint32_t>(headChoice == 0xFFFF || headChoice > size ? size : headChoice);

    {
        std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    HANDLE file = CreateFileA(ScratchPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) std::abort();
    // The plug-in sees exactly `head` bytes: a private copy, so that a read
    // past them is caught.
    std::vector<uint8_t> headBytes(data, data + head);
    std::vector<unsigned char> record = MakeRecord(file, headBytes.data(), head, name);
    const auto* access = reinterpret_cast<const FileAccess*>(record.data());

    int32_t kind = -1;
    if (KRV_IsSupported(access, 1, &kind) != 0 || kind < 0 || kind > 2) std::abort();
    HGLOBAL block = nullptr;
    int32_t count = -1;
    const int32_t result = KRV_GetArchiveInfo(access, &block, &count);
    if (result == 0 && kind != 0) {
        if (block == nullptr || count < 0) std::abort();
        if (GlobalSize(block) < static_cast<size_t>(count) * sizeof(ArchiveEntry)) std::abort();
        ConsumeBlock(block, static_cast<size_t>(count) * sizeof(ArchiveEntry));
    } else if (result == 0) {
        if (count != 0 || block != nullptr) std::abort();
    } else if (result != 1 || count != 0 || block != nullptr) {
        std::abort();
    }
    CloseHandle(file);
}

void RunImageInput(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const std::string name = std::string("C:\\pictures\\image") + kExtensions[data[0] % kExtensionCount];
    data += 1;
    size -= 1;
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<unsigned char> record =
        MakeRecord(nullptr, bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(size), name);
    const auto* access = reinterpret_cast<const FileAccess*>(record.data());

    int32_t kind = -1;
    if (KRV_IsSupported(access, 2, &kind) != 0 || kind < 0 || kind > 3) std::abort();
    ImageInfo info;
    std::memset(&info, 0, sizeof info);
    if (KRV_GetImageInfo(access, &info) != 0 || info.kind != kind) std::abort();
    for (int32_t mode : {-1, 0}) {
        HGLOBAL block = nullptr;
        uint32_t bitmapSize = 7;
        const int32_t result = KRV_GetImage(access, &block, &bitmapSize, mode);
        if (result == 0) {
            if (block == nullptr || bitmapSize < 54 || GlobalSize(block) < bitmapSize) std::abort();
            ConsumeBlock(block, bitmapSize);
        } else if (result != 1 || block != nullptr || bitmapSize != 0) {
            std::abort();
        }
    }
}

}  // namespace torvafuzz
