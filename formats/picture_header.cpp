#include "formats/picture_header.h"

#include <initializer_list>

namespace torva {

namespace {

bool ParseAs(ByteSpan bytes, Extension extension, Format format, CutQnt cut, PictureHeader* header) {
    // No bytes at all are an empty file.
    const unsigned char* data = bytes.data;
    const uint32_t size = data == nullptr ? 0 : bytes.size;
    PictureHeader parsed;
    bool found = false;
    if (format == Format::Qnt) {
        found = cut == CutQnt::Damaged ? ParseQntHeaderFields(data, size, &parsed.qnt)
                                       : ParseQntHeader(data, size, &parsed.qnt);
    } else if (format == Format::Pms) {
        found = ParsePmsHeader(data, size, &parsed.pms);
    } else if (format == Format::Vsp) {
        found = extension == Extension::Vsp && ParseVspHeader(data, size, &parsed.vsp);
    }
    if (!found) return false;
    parsed.format = format;
    *header = parsed;
    return true;
}

}  // namespace

bool ParsePictureAs(ByteSpan bytes, Extension extension, Format format, PictureHeader* header) {
    return ParseAs(bytes, extension, format, CutQnt::Refused, header);
}

PictureHeader ParsePicture(ByteSpan bytes, Extension extension, CutQnt cut) {
    PictureHeader header;
    for (Format format : {Format::Qnt, Format::Pms, Format::Vsp}) {
        if (ParseAs(bytes, extension, format, cut, &header)) break;
    }
    return header;
}

PictureFacts FactsOf(const PictureHeader& header) {
    PictureFacts facts{0, 0, 0, false, 0, 0};
    switch (header.format) {
        case Format::Qnt:
            facts.width = static_cast<uint16_t>(header.qnt.width);
            facts.height = static_cast<uint16_t>(header.qnt.height);
            facts.hasAlpha = header.qnt.alphaSize != 0;
            facts.depth = facts.hasAlpha ? 32 : 24;
            facts.x = header.qnt.x;
            facts.y = header.qnt.y;
            break;
        case Format::Pms:
            facts.width = static_cast<uint16_t>(header.pms.width);
            facts.height = static_cast<uint16_t>(header.pms.height);
            facts.depth = header.pms.depth;
            // The alpha offset of an 8-bit picture is its palette's.
            facts.hasAlpha = header.pms.depth != 8 && header.pms.extraOffset != 0;
            facts.x = header.pms.x;
            facts.y = header.pms.y;
            break;
        case Format::Vsp:
            facts.width = static_cast<uint16_t>(header.vsp.width);
            facts.height = static_cast<uint16_t>(header.vsp.height);
            facts.depth = 4;
            facts.x = header.vsp.x;
            facts.y = header.vsp.y;
            break;
        default:
            return facts;
    }
    facts.hasPosition = true;
    return facts;
}

DecodeStatus HeaderStatus(const PictureHeader& header, uint32_t size) {
    switch (header.format) {
        case Format::Qnt: {
            const QntHeader& qnt = header.qnt;
            if (qnt.width > 65535 || qnt.height > 65535) return DecodeStatus::TooLarge;
            if (qnt.colourOffset > size) return DecodeStatus::OutsideFile;
            if (uint64_t{qnt.colourOffset} + qnt.colourSize + qnt.alphaSize > size) return DecodeStatus::Truncated;
            return DecodeStatus::Complete;
        }
        case Format::Pms: {
            const PmsHeader& pms = header.pms;
            if (pms.pixelOffset > size || pms.extraOffset > size) return DecodeStatus::OutsideFile;
            if (pms.depth == 8 && uint64_t{pms.extraOffset} + kPmsPaletteBytes > size) return DecodeStatus::Truncated;
            return DecodeStatus::Complete;
        }
        case Format::Vsp:
            return size < kVspPlaneOffset ? DecodeStatus::Truncated : DecodeStatus::Complete;
        default:
            return DecodeStatus::Complete;
    }
}

}  // namespace torva
