#include "capi/member_extension.h"

#include <cstring>

#include "codec/vsp_decoder.h"
#include "formats/picture_header.h"

namespace torva {
namespace capi {

const char* MemberKinds::extensionOf(archive::ArchiveSource source, uint32_t position, int32_t size) {
    if (size <= 0) return ".dat";
    const uint32_t bytes = static_cast<uint32_t>(size);
    unsigned char head[kMemberHeadBytes] = {};
    const uint32_t wanted = bytes < kMemberHeadBytes ? bytes : kMemberHeadBytes;
    const uint32_t got = source.readAt(source.context, position, head, wanted);
    const ByteSpan span{head, got};
    // The name decides nothing here: QNT and PMS are told by their magic.
    const PictureHeader header = ParsePicture(span, Extension::Other, CutQnt::Damaged);
    if (header.format == Format::Qnt) return ".qnt";
    if (header.format == Format::Pms) return ".pms";
    VspHeader vsp;
    if (!ParseVspHeader(head, got, &vsp)) return ".dat";
    bool memory = true;
    const bool whole = decodesWholeAsVsp(source, position, bytes, &memory);
    if (!memory) return nullptr;
    return whole ? ".vsp" : ".dat";
}

bool MemberKinds::decodesWholeAsVsp(archive::ArchiveSource source, uint32_t position, uint32_t bytes,
                                    bool* memory) {
    if (stream_.data() == nullptr &&
        (!stream_.allocateUninitialised(kVspProbeBytes) || !pixels_.allocateUninitialised(kVspPixelBytes))) {
        stream_.release();
        *memory = false;
        return false;
    }
    const uint32_t wanted = bytes < kVspProbeBytes ? bytes : kVspProbeBytes;
    const ByteSpan file{stream_.data(), source.readAt(source.context, position, stream_.data(), wanted)};
    VspHeader header;
    if (!ParseVspHeader(file.data, file.size, &header)) return false;
    unsigned char colourTable[64];
    if (ReadVspPalette(file, colourTable) != DecodeStatus::Complete) return false;
    const PixelSpan out{pixels_.data(), kVspColumns * 4, kVspRowLimit};
    return DecodeVspPlanes(header, file, out).status == DecodeStatus::Complete;
}

uint32_t NameWithExtension(const char* made, const char* extension, char* out, uint32_t capacity) {
    if (capacity == 0) return 0;
    const char* dot = std::strrchr(made, '.');
    const size_t stem = dot == nullptr ? std::strlen(made) : static_cast<size_t>(dot - made);
    const size_t tail = std::strlen(extension);
    size_t length = 0;
    for (size_t i = 0; i < stem && length + 1 < capacity; ++i) out[length++] = made[i];
    for (size_t i = 0; i < tail && length + 1 < capacity; ++i) out[length++] = extension[i];
    out[length] = '\0';
    return static_cast<uint32_t>(length);
}

}  // namespace capi
}  // namespace torva
