// What an ALK member is, for the extension of the name the C interface makes
// up for it (an ALK stores no names). The plug-in's own listing keeps ".dat"
// for every member; this is the hosts' one rule, so that the tool, the
// browser page and the Python package all show the same names.
#pragma once

#include <cstdint>

#include "base/heap_buffer.h"
#include "codec/image_headers.h"
#include "formats/archive_table.h"

namespace torva {
namespace capi {

// Bytes of a member's head that decide QNT and PMS (their tests read at most
// 44 bytes) and the VSP rectangle (8).
constexpr uint32_t kMemberHeadBytes = 64;

// The most of a member read to decode it as VSP: the header and palette, then
// four planes of at most 80 columns of 400 rows, each row at worst three
// stream bytes (6, then 3, 4 or 5 with its count). A stream that takes more
// only repeats command 6, which produces nothing.
constexpr uint32_t kVspColumns = 640 / 8;
constexpr uint32_t kVspProbeBytes = kVspPlaneOffset + 3 * 4 * kVspColumns * kVspRowLimit;
// The 4-bit rows of the largest VSP picture: 320 bytes a row.
constexpr uint32_t kVspPixelBytes = kVspColumns * 4 * kVspRowLimit;

// Tells members apart; the VSP scratch (about 0.5 MiB) is allocated at the
// first member whose head passes the VSP rectangle test and kept for the
// rest of the listing.
class MemberKinds {
public:
    // ".qnt" or ".pms" when the head passes that format's header test (a
    // picture whose streams are cut stays one: it is a damaged picture);
    // ".vsp" when the head passes the VSP rectangle test and the member's
    // first kVspProbeBytes decode whole as VSP; ".dat" otherwise. Null when
    // the VSP scratch cannot be allocated.
    const char* extensionOf(archive::ArchiveSource source, uint32_t position, int32_t size);

private:
    bool decodesWholeAsVsp(archive::ArchiveSource source, uint32_t position, uint32_t bytes, bool* memory);

    HeapBuffer stream_;
    HeapBuffer pixels_;
};

// `made` (a made-up name ending in ".dat") with its last extension replaced
// by `extension`, in `out` of `capacity` bytes, cut to capacity - 1 bytes and
// NUL-terminated. Returns the length written.
uint32_t NameWithExtension(const char* made, const char* extension, char* out, uint32_t capacity);

}  // namespace capi
}  // namespace torva
