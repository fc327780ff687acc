// A host record whose name's terminator is the last readable byte of a page
// and the next page inaccessible: a read past the name faults at once.
#pragma once

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
    PageEndRecord(Bytes bytes, const std::string& name, HANDLE file) : bytes_(std::move(bytes)) {
        const size_t head = offsetof(FileAccess, fileName), recordBytes = head + name.size() + 1;
#ifdef _WIN32
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        mappedBytes_ = (recordBytes / page + 2) * page;
        region_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, mappedBytes_, MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (region_ == nullptr || !VirtualProtect(region_ + mappedBytes_ - page, page, PAGE_NOACCESS, &old))
            throw std::runtime_error("cannot guard a page");
#else
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        mappedBytes_ = (recordBytes / page + 2) * page;
        void* mapped = mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        region_ = static_cast<unsigned char*>(mapped);
        if (mapped == MAP_FAILED || mprotect(region_ + mappedBytes_ - page, page, PROT_NONE) != 0)
            throw std::runtime_error("cannot guard a page");
#endif
        unsigned char* start = region_ + mappedBytes_ - page - recordBytes;
        FileAccess record{file, bytes_.data(), static_cast<uint32_t>(bytes_.size()), {0}};
        std::memcpy(start, &record, head);
        std::memcpy(start + head, name.c_str(), name.size() + 1);
        record_ = reinterpret_cast<const FileAccess*>(start);
    }
#ifdef _WIN32
    ~PageEndRecord() { VirtualFree(region_, 0, MEM_RELEASE); }
#else
    ~PageEndRecord() { munmap(region_, mappedBytes_); }
#endif
    PageEndRecord(const PageEndRecord&) = delete;
    PageEndRecord& operator=(const PageEndRecord&) = delete;
    const FileAccess* get() const { return record_; }

private:
    Bytes bytes_;
    unsigned char* region_ = nullptr;
    size_t mappedBytes_ = 0;
    const FileAccess* record_ = nullptr;
};

}  // namespace torvatest
