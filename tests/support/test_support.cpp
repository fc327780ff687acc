#include "tests/support/test_support.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#ifdef _WIN32
#include <mbctype.h>
#else
#include "platform/standin/standin_control.h"
#endif

namespace torvatest {

HostRecord::HostRecord(Bytes bytes, const std::string& fileName, HANDLE file) : bytes_(std::move(bytes)) {
    build(fileName, file, static_cast<uint32_t>(bytes_.size()));
}

HostRecord::HostRecord(Bytes bytes, uint32_t headSize, const std::string& fileName, HANDLE file)
    : bytes_(std::move(bytes)) {
    if (headSize > bytes_.size()) headSize = static_cast<uint32_t>(bytes_.size());
    bytes_.resize(headSize);  // the plug-in must not see more than it is given
    build(fileName, file, headSize);
}

void HostRecord::build(const std::string& fileName, HANDLE file, uint32_t headSize) {
    const size_t nameOffset = offsetof(FileAccess, fileName);
    storage_.assign(nameOffset + fileName.size() + 1, 0);
    auto* record = reinterpret_cast<FileAccess*>(storage_.data());
    record->hFile = file;
    record->data = bytes_.empty() ? nullptr : bytes_.data();
    record->dataSize = headSize;
    std::memcpy(storage_.data() + nameOffset, fileName.c_str(), fileName.size() + 1);
}

TempFile::TempFile(const Bytes& bytes, const std::string& suffix) {
    static std::atomic<unsigned> counter{0};
    auto directory = std::filesystem::temp_directory_path();
    // Unique within the process by the counter, across processes by the clock.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name = "torva_test_" + std::to_string(static_cast<unsigned long long>(stamp) % 1000000007ull) +
                       "_" + std::to_string(counter++) + suffix;
    path_ = (directory / name).string();
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path_);
}

TempFile::~TempFile() { std::remove(path_.c_str()); }

OpenFile::OpenFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
}

OpenFile::~OpenFile() { CloseHandle(handle_); }

Bytes BlockBytes(HGLOBAL block, size_t size) {
    Bytes out(size);
    void* address = GlobalLock(block);
    if (address == nullptr) throw std::runtime_error("cannot lock block");
    std::memcpy(out.data(), address, size);
    GlobalUnlock(block);
    return out;
}

#ifdef _WIN32
MultibyteCodePage::MultibyteCodePage(unsigned codePage) : previous_(static_cast<unsigned>(_getmbcp())) {
    if (_setmbcp(static_cast<int>(codePage)) != 0) throw std::runtime_error("code page not available");
}
MultibyteCodePage::~MultibyteCodePage() { _setmbcp(static_cast<int>(previous_)); }
#else
MultibyteCodePage::MultibyteCodePage(unsigned codePage) : previous_(standin::CodePage()) {
    standin::SetCodePage(codePage);
}
MultibyteCodePage::~MultibyteCodePage() { standin::SetCodePage(previous_); }
#endif

}  // namespace torvatest

#include "plugin/entry_points.h"

namespace torvatest {

BitmapResult GetBitmap(const Bytes& file, const std::string& name, int32_t mode) {
    BitmapResult out;
    HostRecord record(file, name);
    HGLOBAL block = nullptr;
    out.result = KRV_GetImage(record.get(), &block, &out.size, mode);
    if (out.result != 0 || block == nullptr) return out;
    out.blockSize = GlobalSize(block);
    if (out.size > out.blockSize) throw std::runtime_error("reported size exceeds the block");
    out.lockCount = GlobalFlags(block) & GMEM_LOCKCOUNT;
    out.bytes = BlockBytes(block, out.size);
    if (out.size >= sizeof out.fileHeader + sizeof out.infoHeader) {
        std::memcpy(&out.fileHeader, out.bytes.data(), sizeof out.fileHeader);
        std::memcpy(&out.infoHeader, out.bytes.data() + sizeof out.fileHeader, sizeof out.infoHeader);
    }
    if (GlobalFree(block) != nullptr) throw std::runtime_error("returned block cannot be freed");
    return out;
}

}  // namespace torvatest
