#include "capi/like_original.h"

#include "formats/file_names.h"
#include "formats/picture_header.h"

namespace torva {
namespace capi {
namespace {

// The VSP bytes an encoding keeps: the rectangle (rewritten) and bytes 8, 9.
constexpr uint32_t kVspKeptBytes = 10;
// A comment longer than this is taken for no comment: its terminator is
// looked for no further.
constexpr uint32_t kLongestComment = 65536;

// The NUL-terminated comment at `offset`, with its NUL; nothing when the
// offset is 0 or past the file, or no NUL ends it in time.
void FindComment(const uint8_t* bytes, uint32_t size, uint32_t offset, author::HeaderTemplate& header) {
    if (offset == 0 || offset >= size) return;
    const uint32_t limit = size - offset < kLongestComment ? size - offset : kLongestComment;
    for (uint32_t i = 0; i < limit; ++i) {
        if (bytes[offset + i] == 0) {
            header.comment = bytes + offset;
            header.commentSize = i + 1;
            return;
        }
    }
}

}  // namespace

torvasoft_status ReadLikeOriginal(const uint8_t* bytes, size_t size, const char* name, LikeOriginal* like) {
    if (bytes == nullptr && size != 0) return TORVASOFT_INVALID_ARGUMENT;
    if (size > UINT32_MAX) return TORVASOFT_TOO_LARGE;
    const uint32_t length = static_cast<uint32_t>(size);
    // A QNT file cut inside its streams still lends its whole header.
    const PictureHeader header =
        ParsePicture(ByteSpan{bytes, length}, ExtensionOfName(name), CutQnt::Damaged);
    const PictureFacts facts = FactsOf(header);
    LikeOriginal out;
    uint32_t kept = 0;
    switch (header.format) {
        case Format::Qnt:
            out.format = author::PictureFormat::Qnt;
            kept = header.qnt.colourOffset;
            break;
        case Format::Pms:
            if (header.pms.depth != 8 && header.pms.depth != 16) return TORVASOFT_INVALID_ARGUMENT;
            out.format = header.pms.depth == 8 ? author::PictureFormat::Pms8 : author::PictureFormat::Pms16;
            kept = header.pms.headerSize;
            FindComment(bytes, length, header.pms.commentOffset, out.header);
            break;
        case Format::Vsp:
            out.format = author::PictureFormat::Vsp;
            kept = kVspKeptBytes;
            break;
        default:
            return TORVASOFT_NOT_RECOGNISED;
    }
    if (kept > length) return TORVASOFT_TRUNCATED;
    out.header.bytes = bytes;
    out.header.size = kept;
    out.x = static_cast<uint32_t>(facts.x);
    out.y = static_cast<uint32_t>(facts.y);
    *like = out;
    return TORVASOFT_COMPLETE;
}

}  // namespace capi
}  // namespace torva
