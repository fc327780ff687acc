// Building blocks shared by the two PMS decoders. Both keep every decoded
// pixel in an unpadded history, W pixels to a row, so that "one row up" is a
// fixed distance back. These helpers produce a code's run directly inside that
// history, in bytes: the 16-bit decoder passes pixel counts times two.
#pragma once

#include <cstddef>
#include <cstring>

namespace pms_detail {

// Writes `totalBytes` bytes at `to` by repeating the `patternBytes` bytes of
// `pattern`; a run that ends inside the pattern takes only its first bytes.
// The filled part is doubled with each copy, so long fills cost a handful of
// block copies rather than one store per pixel.
inline void FillPattern(unsigned char* to, const unsigned char* pattern, size_t patternBytes, size_t totalBytes) {
    size_t done = totalBytes < patternBytes ? totalBytes : patternBytes;
    std::memcpy(to, pattern, done);
    while (done < totalBytes) {
        size_t chunk = totalBytes - done < done ? totalBytes - done : done;
        std::memcpy(to + done, to, chunk);
        done += chunk;
    }
}

// Produces `count` bytes at history[at] where each one is the byte `distance`
// before it, read at the moment it is produced: a copy that overlaps its own
// output repeats what it has just written.
//
// A source before the start of the history reads as 0, as if the history were
// preceded by zeros: the first rows of a picture may refer to the rows above
// them, and that is the value the zero-filled history would give. Nothing
// outside the history is ever read. A distance of 0 (the pixel "above and to
// the right" in a picture one pixel wide) names the slot being produced, which
// has never been written and still holds its initial 0.
inline void CopyFromEarlier(unsigned char* history, size_t at, size_t count, size_t distance) {
    if (distance == 0) {
        std::memset(history + at, 0, count);
        return;
    }
    if (at < distance) {
        size_t zeros = distance - at < count ? distance - at : count;
        std::memset(history + at, 0, zeros);
        at += zeros;
        count -= zeros;
    }
    // Chunks no longer than the distance never overlap their own source.
    while (count > 0) {
        size_t chunk = count < distance ? count : distance;
        std::memcpy(history + at, history + at - distance, chunk);
        at += chunk;
        count -= chunk;
    }
}

}  // namespace pms_detail
