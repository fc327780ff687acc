// Picture detection and the one parse of a picture's header: QNT, then PMS,
// then VSP (tried only for a ".vsp" name). Everything the hosts report about
// a picture, and every decode, starts from the PictureHeader made here.
#pragma once

#include <cstdint>

#include "base/byte_span.h"
#include "base/decode_status.h"
#include "codec/image_headers.h"
#include "formats/format.h"

namespace torva {

struct PictureHeader {
    Format format = Format::None;  // Qnt, Pms or Vsp; None when not recognised
    QntHeader qnt{};               // the header of the format found; the others stay empty
    PmsHeader pms{};
    VspHeader vsp{};
};

// What detection makes of a QNT file whose header is whole and ours but
// whose compressed streams run past the end of the bytes. The plug-in's
// detection takes it for none of its formats (Refused); the C interface
// takes it for a damaged QNT picture (Damaged), whose HeaderStatus is then
// Truncated, so that a cut file is told as cut and decodes as far as its
// streams go. No PMS or VSP header begins with the QNT magic, so the choice
// never hands a file to another format.
enum class CutQnt { Refused, Damaged };

// Detection: the first of QNT, PMS and VSP whose header parses; a header
// with format None when none does.
PictureHeader ParsePicture(ByteSpan bytes, Extension extension, CutQnt cut);

// The header of a format already decided, as the plug-in's detection takes
// it (CutQnt::Refused); false when the bytes hold none.
bool ParsePictureAs(ByteSpan bytes, Extension extension, Format format, PictureHeader* header);

// What a picture's header tells its hosts.
struct PictureFacts {
    // The low 16 bits of the stored width and height: the geometry of the
    // bitmap the picture is decoded into.
    uint16_t width;
    uint16_t height;
    // 4 for VSP; the stored depth byte for PMS (8 or 16 in practice); 24, or
    // 32 with an alpha plane, for QNT.
    uint8_t depth;
    bool hasAlpha;  // the file carries an alpha plane
    int32_t x;      // the stored screen position: VSP's rectangle, QNT's
    int32_t y;      // body fields 0 and 1, PMS's fields at 16 and 20
    bool hasPosition = false;  // every format found stores one
};

PictureFacts FactsOf(const PictureHeader& header);

// What the header alone tells about a file of `size` bytes: TooLarge for a
// QNT picture beyond 65535 pixels in either direction; OutsideFile for a
// stream or palette offset past the end; Truncated when the streams, the
// palette or the VSP planes' start run past it; Complete otherwise.
DecodeStatus HeaderStatus(const PictureHeader& header, uint32_t size);

}  // namespace torva
