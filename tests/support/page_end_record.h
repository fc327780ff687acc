// A host record whose name's terminator is the last readable byte of a page,
// the next page being inaccessible: any read past the name faults at once,
// natively and under Wine, with or without a sanitizer.
#pragma once

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>

#include "plugin/records.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace torvatest {

class PageEndRecord {
public:
    PageEndRecord(Bytes bytes, const std::string& fileName, HANDLE file = nullptr) : bytes_(std::move(bytes)) {
        const size_t recordBytes = offsetof(FileAccess, fileName) + fileName.size() + 1;
        const size_t page = PageSize();
        regionBytes_ = (recordBytes + page - 1) / page * page + page;
        unsigned char* region = Map(regionBytes_);
        if (region == nullptr) throw std::runtime_error("cannot map pages");
        region_ = region;
        Protect(region + regionBytes_ - page, page);
        unsigned char* start = region + regionBytes_ - page - recordBytes;
        FileAccess record{};
        record.hFile = file;
        record.data = bytes_.empty() ? nullptr : bytes_.data();
        record.dataSize = static_cast<uint32_t>(bytes_.size());
        std::memcpy(start, &record, offsetof(FileAccess, fileName));
        std::memcpy(start + offsetof(FileAccess, fileName), fileName.c_str(), fileName.size() + 1);
        record_ = reinterpret_cast<const FileAccess*>(start);
    }
    ~PageEndRecord() { Unmap(region_, regionBytes_); }
    PageEndRecord(const PageEndRecord&) = delete;
    PageEndRecord& operator=(const PageEndRecord&) = delete;

    const FileAccess* get() const { return record_; }

private:
#ifdef _WIN32
    static size_t PageSize() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwPageSize;
    }
    static unsigned char* Map(size_t bytes) {
        return static_cast<unsigned char*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    static void Protect(unsigned char* address, size_t bytes) {
        DWORD previous = 0;
        if (!VirtualProtect(address, bytes, PAGE_NOACCESS, &previous)) throw std::runtime_error("cannot guard page");
    }
    static void Unmap(void* address, size_t) { VirtualFree(address, 0, MEM_RELEASE); }
#else
    static size_t PageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
    static unsigned char* Map(size_t bytes) {
        void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return address == MAP_FAILED ? nullptr : static_cast<unsigned char*>(address);
    }
    static void Protect(unsigned char* address, size_t bytes) {
        if (mprotect(address, bytes, PROT_NONE) != 0) throw std::runtime_error("cannot guard page");
    }
    static void Unmap(void* address, size_t bytes) { munmap(address, bytes); }
#endif

    Bytes bytes_;
    void* region_ = nullptr;
    size_t regionBytes_ = 0;
    const FileAccess* record_ = nullptr;
};

}  // namespace torvatest
