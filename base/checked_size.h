// Size arithmetic that cannot overflow. Every width x height x depth and every
// offset + length that comes from a file goes through these helpers: values
// are carried in 64 bits and each step reports whether it stayed in range.
#pragma once

#include <cstdint>

namespace torva {

// The largest block or scratch buffer any single call asks for. A 32-bit host
// has at most 2 GiB of address space, shared with everything else it holds;
// 256 MiB still fits an 8192 x 8192 picture at 32 bits per pixel. Fuzzing
// builds lower it, so that their time goes to the decoders rather than to
// zero-filling huge blocks that only a declared size asks for.
#ifndef TORVA_MAX_ALLOCATION_BYTES
#define TORVA_MAX_ALLOCATION_BYTES (uint64_t{256} << 20)
#endif
constexpr uint64_t kMaxAllocationBytes = TORVA_MAX_ALLOCATION_BYTES;

inline bool CheckedAdd(uint64_t a, uint64_t b, uint64_t* sum) { return !__builtin_add_overflow(a, b, sum); }

inline bool CheckedMul(uint64_t a, uint64_t b, uint64_t* product) {
    return !__builtin_mul_overflow(a, b, product);
}

// a x b x c, or false on overflow.
inline bool CheckedMul3(uint64_t a, uint64_t b, uint64_t c, uint64_t* product) {
    uint64_t ab;
    return CheckedMul(a, b, &ab) && CheckedMul(ab, c, product);
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
inline bool RangeInside(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

// A size that one allocation of this library may take.
inline bool AllocationFits(uint64_t bytes) { return bytes <= kMaxAllocationBytes; }

// Bytes of one bitmap row of `width` pixels at `bits` per pixel, padded to a
// multiple of 4: ((width x bits + 31) >> 3) with the two low bits cleared.
// Exact for every 32-bit width and bit count.
inline uint64_t RowStride(uint64_t width, uint64_t bits) { return ((width * bits + 31) >> 3) & ~uint64_t{3}; }

}  // namespace torva
