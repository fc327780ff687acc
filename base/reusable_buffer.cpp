#include "base/reusable_buffer.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>

#include "base/checked_size.h"

namespace torva {
namespace {

// Storage starts with its capacity, in a header as large as the strictest
// alignment new gives, so that the bytes after it stay aligned as well.
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);
static_assert(kHeaderBytes >= sizeof(uint32_t), "the header holds the capacity");

uint32_t CapacityOf(const unsigned char* storage) {
    uint32_t capacity;
    std::memcpy(&capacity, storage, sizeof capacity);
    return capacity;
}

// The slot; its destructor frees what it keeps when the library is unloaded
// or the program ends.
struct KeptStorage {
    std::atomic<unsigned char*> storage{nullptr};
    ~KeptStorage() { delete[] storage.exchange(nullptr); }
};
KeptStorage g_kept;

}  // namespace

bool ReusableBuffer::allocateUninitialised(uint32_t bytes) {
    release();
    unsigned char* storage = g_kept.storage.exchange(nullptr);
    if (storage != nullptr && CapacityOf(storage) < bytes) {
        delete[] storage;
        storage = nullptr;
    }
    if (storage == nullptr) {
        if (bytes > kMaxAllocationBytes) return false;
        storage = new (std::nothrow) unsigned char[std::size_t{bytes} + kHeaderBytes];
        if (storage == nullptr) return false;
        std::memcpy(storage, &bytes, sizeof bytes);
    }
    storage_ = storage;
    data_ = storage + kHeaderBytes;
    size_ = bytes;
    return true;
}

void ReusableBuffer::release() {
    if (storage_ == nullptr) return;
    if (CapacityOf(storage_) <= kKeptBufferBytes) {
        // Keeps this storage; what the slot held before goes back to the heap.
        delete[] g_kept.storage.exchange(storage_);
    } else {
        delete[] storage_;
    }
    storage_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

void ReleaseKeptBuffer() { delete[] g_kept.storage.exchange(nullptr); }

}  // namespace torva
