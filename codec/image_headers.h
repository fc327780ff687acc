// Header layouts of the three image formats, as far as the library reads
// them. Each format's header is parsed and validated here, once, into its
// struct; detection, information, bitmap construction and the decoders all
// take that struct. Each parser reads only the supplied bytes and answers
// false when the header is not one of ours (a field past the end counts as
// not ours).
#pragma once

#include <cstdint>


// QNT: "QNT\0", a version (0, 1 or 2), in versions 1 and 2 the offset of the
// compressed colour data, then the header body. The body begins at 8 in
// version 0 and at 12 otherwise.
struct QntHeader {
    uint32_t version;
    uint32_t bodyOffset;    // file offset of the header body
    uint32_t colourOffset;  // 48 in version 0, else the stored header size
    int32_t width;          // full 32-bit values as stored
    int32_t height;
    uint32_t colourSize;  // compressed colour stream, never 0
    uint32_t alphaSize;   // compressed alpha stream, 0 = no alpha plane
    // Read for the hosts that re-encode a picture; no decoder uses them.
    int32_t x;          // body field 0: the picture's place on screen
    int32_t y;          // body field 1
    uint32_t reserved;  // body field 5, after the bit depth
};

// PMS: "PM", version 1 (header 48 bytes) or 2 (64 bytes), the depth byte
// (8 = paletted, 16 = 5-6-5 colour; not checked), size and two offsets.
struct PmsHeader {
    uint16_t version;
    uint8_t depth;
    int32_t width;
    int32_t height;
    uint32_t pixelOffset;  // never 0
    uint32_t extraOffset;  // 8-bit: the palette; 16-bit: the alpha stream (0 = none)
    // Read for the hosts that re-encode a picture; no decoder uses them.
    // Fields of a header cut before them read as 0.
    uint16_t headerSize;    // 48 (version 1) or 64 (version 2)
    uint8_t shadowDepth;    // byte 7
    uint8_t flags[8];       // bytes 8 to 15: a palette mask and reserved bytes, as stored
    int32_t x;              // 16: the picture's place on screen
    int32_t y;              // 20
    uint32_t commentOffset;  // 40: a NUL-terminated comment, 0 = none
};

// VSP: no magic; the rectangle of the picture in units of 8 pixels across
// and rows down. Recognised by the ".vsp" extension (tested by the image front
// end, which knows file names) and a plausible rectangle.
struct VspHeader {
    int32_t width;   // (right - left) x 8: 8..640
    int32_t height;  // bottom - top: 1..400
    int32_t x;       // left x 8: the picture's place on screen
    int32_t y;       // top
    uint16_t extra;  // bytes 8 and 9, not read by the decoder; 0 when cut off
};

constexpr uint32_t kQntMagic = 0x00544E51;  // "QNT\0"
constexpr uint16_t kPmsMagic = 0x4D50;      // "PM"
constexpr uint32_t kVspPaletteOffset = 10;
constexpr uint32_t kVspPaletteBytes = 48;
constexpr uint32_t kVspPlaneOffset = 58;
constexpr uint32_t kQntVersion0HeaderSize = 48;  // where version 0's colour stream begins
constexpr uint32_t kPmsCommentField = 40;
constexpr uint32_t kPmsPaletteBytes = 768;

bool ParseQntHeader(const unsigned char* data, uint32_t size, QntHeader* header);
// The QNT header's own fields alone, without ParseQntHeader's test that both
// compressed streams together are shorter than the file: a file cut inside
// its streams still has a header of ours.
bool ParseQntHeaderFields(const unsigned char* data, uint32_t size, QntHeader* header);
bool ParsePmsHeader(const unsigned char* data, uint32_t size, PmsHeader* header);
// The rectangle alone; the caller has tested the name.
bool ParseVspHeader(const unsigned char* data, uint32_t size, VspHeader* header);

// The tallest VSP picture a header may declare.
constexpr uint32_t kVspRowLimit = 400;
