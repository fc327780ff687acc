// A scratch buffer for one call whose storage may serve the next call too.
//
// Released, its storage goes to a single process-wide slot instead of back
// to the heap, and the next buffer that needs no more than it holds takes it
// from there. A decoder that inflates a whole picture into scratch memory
// would otherwise have every page of it faulted in afresh on every call,
// which under some hosts costs as much as the decoding itself. The slot keeps
// at most kKeptBufferBytes; larger storage goes back to the heap at once.
// Taking and giving back are single atomic exchanges, so concurrent calls
// each get storage of their own.
#pragma once

#include <cstdint>

namespace torva {

// Enough for the inflate buffer of a 2048 x 2048 picture.
constexpr uint32_t kKeptBufferBytes = 16u << 20;

class ReusableBuffer {
public:
    ReusableBuffer() = default;
    ReusableBuffer(const ReusableBuffer&) = delete;
    ReusableBuffer& operator=(const ReusableBuffer&) = delete;
    ~ReusableBuffer() { release(); }

    unsigned char* data() const { return data_; }
    uint32_t size() const { return size_; }

    // At least `bytes` of storage with indeterminate contents (what an
    // earlier call left there): the caller writes every byte before it reads
    // it. False (and empty) when the heap refuses, or for more than the
    // largest allocation any call may make.
    bool allocateUninitialised(uint32_t bytes);

    void release();

private:
    unsigned char* data_ = nullptr;  // within storage_, past its header
    unsigned char* storage_ = nullptr;
    uint32_t size_ = 0;
};

// Frees whatever storage the slot keeps (as happens by itself when the
// library is unloaded). Tests use it to start a call from an empty slot.
void ReleaseKeptBuffer();

}  // namespace torva
