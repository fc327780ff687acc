#include "codec/image_headers.h"

#include "base/byte_cursor.h"

using torva::ReadLe16At;
using torva::ReadLe32At;

bool ParseQntHeaderFields(const unsigned char* data, uint32_t size, QntHeader* header) {
    uint32_t magic, version;
    if (!ReadLe32At(data, size, 0, &magic) || magic != kQntMagic) return false;
    if (!ReadLe32At(data, size, 4, &version) || version > 2) return false;
    QntHeader h{};
    h.version = version;
    h.bodyOffset = version == 0 ? 8 : 12;
    if (version == 0) {
        h.colourOffset = kQntVersion0HeaderSize;
    } else if (!ReadLe32At(data, size, 8, &h.colourOffset)) {
        return false;
    }
    uint32_t bits, width, height;
    if (!ReadLe32At(data, size, h.bodyOffset + 16, &bits) || bits != 24) return false;
    if (!ReadLe32At(data, size, h.bodyOffset + 8, &width) || static_cast<int32_t>(width) <= 0) return false;
    if (!ReadLe32At(data, size, h.bodyOffset + 12, &height) || static_cast<int32_t>(height) <= 0) return false;
    if (!ReadLe32At(data, size, h.bodyOffset + 24, &h.colourSize) || h.colourSize == 0) return false;
    if (!ReadLe32At(data, size, h.bodyOffset + 28, &h.alphaSize)) return false;
    // Inside the 32 body bytes proven present above.
    uint32_t x = 0, y = 0;
    ReadLe32At(data, size, h.bodyOffset, &x);
    ReadLe32At(data, size, h.bodyOffset + 4, &y);
    ReadLe32At(data, size, h.bodyOffset + 20, &h.reserved);
    h.x = static_cast<int32_t>(x);
    h.y = static_cast<int32_t>(y);
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);
    *header = h;
    return true;
}

bool ParseQntHeader(const unsigned char* data, uint32_t size, QntHeader* header) {
    QntHeader h;
    if (!ParseQntHeaderFields(data, size, &h)) return false;
    // Both compressed streams must be shorter, together, than the file. The
    // sum is formed in 64 bits, so a sum beyond 32 bits always fails.
    if (uint64_t{h.colourSize} + h.alphaSize >= size) return false;
    *header = h;
    return true;
}

bool ParsePmsHeader(const unsigned char* data, uint32_t size, PmsHeader* header) {
    uint16_t magic, version, headerSize;
    if (!ReadLe16At(data, size, 0, &magic) || magic != kPmsMagic) return false;
    if (!ReadLe16At(data, size, 2, &version) || !ReadLe16At(data, size, 4, &headerSize)) return false;
    if (!((version == 1 && headerSize == 48) || (version == 2 && headerSize == 64))) return false;
    uint32_t width, height, pixelOffset;
    if (!ReadLe32At(data, size, 24, &width) || static_cast<int32_t>(width) <= 0) return false;
    if (!ReadLe32At(data, size, 28, &height) || static_cast<int32_t>(height) <= 0) return false;
    if (!ReadLe32At(data, size, 32, &pixelOffset) || pixelOffset == 0) return false;
    PmsHeader h{};
    h.version = version;
    h.depth = data[6];  // inside the 36 bytes proven present above
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);
    h.pixelOffset = pixelOffset;
    // The palette or alpha offset is used only by bitmap construction, which
    // checks it against the file size; a file that ends before it reads as 0.
    if (!ReadLe32At(data, size, 36, &h.extraOffset)) h.extraOffset = 0;
    h.headerSize = headerSize;
    h.shadowDepth = data[7];
    for (uint32_t i = 0; i < 8; ++i) h.flags[i] = data[8 + i];
    uint32_t x = 0, y = 0;
    ReadLe32At(data, size, 16, &x);
    ReadLe32At(data, size, 20, &y);
    h.x = static_cast<int32_t>(x);
    h.y = static_cast<int32_t>(y);
    if (!ReadLe32At(data, size, kPmsCommentField, &h.commentOffset)) h.commentOffset = 0;
    *header = h;
    return true;
}

bool ParseVspHeader(const unsigned char* data, uint32_t size, VspHeader* header) {
    uint16_t left, top, right, bottom;
    if (!ReadLe16At(data, size, 0, &left) || !ReadLe16At(data, size, 2, &top) ||
        !ReadLe16At(data, size, 4, &right) || !ReadLe16At(data, size, 6, &bottom)) {
        return false;
    }
    const int32_t leftEdge = static_cast<int16_t>(left);
    const int32_t topRow = static_cast<int16_t>(top);
    if (leftEdge < 0 || leftEdge > 80) return false;
    if (topRow < 0 || topRow > 400) return false;
    const int32_t width = (static_cast<int16_t>(right) - leftEdge) * 8;
    const int32_t height = static_cast<int16_t>(bottom) - topRow;
    if (width <= 0 || width > 640) return false;
    if (height <= 0 || height > int32_t{kVspRowLimit}) return false;
    header->width = width;
    header->height = height;
    header->x = leftEdge * 8;
    header->y = topRow;
    uint16_t extra = 0;
    header->extra = ReadLe16At(data, size, 8, &extra) ? extra : 0;
    return true;
}
