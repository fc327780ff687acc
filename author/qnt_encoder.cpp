#include "author/qnt_encoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include "author/picture_limits.h"
#include "formats/qnt_filter.h"

namespace author {
namespace {

// The residual the decoder subtracts from its prediction to get the value
// back (formats/qnt_filter.h).
inline uint8_t Residual(const uint8_t* rgba, uint32_t width, uint32_t x, uint32_t y, unsigned channel) {
    const uint8_t* pixel = rgba + (uint64_t(y) * width + x) * 4 + channel;
    const unsigned left = x > 0 ? pixel[-4] : 0;
    const unsigned above = y > 0 ? pixel[-int64_t(width) * 4] : 0;
    return torva::Residual(x, y, left, above, *pixel);
}

// libdeflate at its strongest level; on the rare (small) stream where zlib's
// strongest level does better, zlib's stream is kept, so a file is never
// larger than zlib would make it.
AuthorStatus Compress(const ByteBuffer& raw, ByteBuffer& out, uint32_t* compressedSize) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    if (compressor == nullptr) return AuthorStatus::OutOfMemory;
    const size_t bound = libdeflate_zlib_compress_bound(compressor, raw.size());
    const size_t start = out.size();
    size_t written = 0;
    if (out.resize(start + bound)) {
        written = libdeflate_zlib_compress(compressor, raw.data(), raw.size(), out.data() + start, bound);
    }
    libdeflate_free_compressor(compressor);
    if (out.failed()) return AuthorStatus::OutOfMemory;
    if (written == 0 || written > UINT32_MAX || raw.size() > UINT32_MAX) return AuthorStatus::CompressionFailed;
    ByteBuffer zlib;
    uLongf length = compressBound(uLong(raw.size()));
    if (!zlib.resize(length)) return AuthorStatus::OutOfMemory;
    const int result = compress2(zlib.data(), &length, raw.data(), uLong(raw.size()), 9);
    if (result == Z_MEM_ERROR) return AuthorStatus::OutOfMemory;
    if (result == Z_OK && length < written) {
        for (size_t i = 0; i < length; ++i) out.data()[start + i] = zlib.data()[i];
        written = length;
    }
    out.resize(start + written);
    *compressedSize = uint32_t(written);
    return AuthorStatus::Ok;
}

bool AnyTranslucent(const uint8_t* rgba, uint64_t pixels) {
    for (uint64_t i = 0; i < pixels; ++i) {
        if (rgba[i * 4 + 3] != 255) return true;
    }
    return false;
}

}  // namespace

AuthorStatus QntColourResiduals(const uint8_t* rgba, uint32_t width, uint32_t height, ByteBuffer& out) {
    if (width == 0 || height == 0) return AuthorStatus::EmptyPicture;
    if (!PictureSizeAllowed(width, height)) return AuthorStatus::TooLarge;
    const uint32_t blocksAcross = (width + 1) / 2, blocksDown = (height + 1) / 2;
    out.resize(0);
    if (!out.resize(uint64_t{12} * blocksAcross * blocksDown)) return AuthorStatus::OutOfMemory;
    uint8_t* next = out.data();
    // Plane 0 is blue, 1 green, 2 red: bytes 2, 1, 0 of an RGBA pixel.
    for (unsigned plane = 0; plane < 3; ++plane) {
        const unsigned channel = 2 - plane;
        for (uint32_t y = 0; y < height; y += 2) {
            for (uint32_t x = 0; x < width; x += 2) {
                const bool right = x + 1 < width, below = y + 1 < height;
                next[0] = Residual(rgba, width, x, y, channel);
                next[1] = below ? Residual(rgba, width, x, y + 1, channel) : 0;
                next[2] = right ? Residual(rgba, width, x + 1, y, channel) : 0;
                next[3] = right && below ? Residual(rgba, width, x + 1, y + 1, channel) : 0;
                next += 4;
            }
        }
    }
    return AuthorStatus::Ok;
}

AuthorStatus QntAlphaResiduals(const uint8_t* rgba, uint32_t width, uint32_t height, ByteBuffer& out) {
    if (width == 0 || height == 0) return AuthorStatus::EmptyPicture;
    if (!PictureSizeAllowed(width, height)) return AuthorStatus::TooLarge;
    const uint64_t pitch = width + (width & 1);
    out.resize(0);
    if (!out.resize(pitch * height)) return AuthorStatus::OutOfMemory;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out.data() + pitch * y;
        for (uint32_t x = 0; x < width; ++x) row[x] = Residual(rgba, width, x, y, 3);
    }
    return AuthorStatus::Ok;
}

AuthorStatus EncodeQnt(const uint8_t* rgba, uint32_t width, uint32_t height, ByteBuffer& file, QntEncodeInfo* info,
                       const HeaderTemplate* like, uint32_t left, uint32_t top) {
    AuthorStatus status = CheckStoredPosition(width, height, left, top);
    if (status != AuthorStatus::Ok) return status;
    // The template's version says where the header body begins, and its
    // size (where the colour stream begins) must hold the whole body.
    uint32_t version = kQntVersion, headerSize = kQntHeaderSize;
    if (like != nullptr) {
        if (like->size < 8) return AuthorStatus::BadTemplate;
        version = uint32_t(like->bytes[4]) | uint32_t(like->bytes[5]) << 8 | uint32_t(like->bytes[6]) << 16 |
                  uint32_t(like->bytes[7]) << 24;
        headerSize = like->size;
        if (version > 2 || headerSize < (version == 0 ? 8u : 12u) + 32 || (version == 0 && headerSize != 48)) {
            return AuthorStatus::BadTemplate;
        }
    }
    const uint32_t body = version == 0 ? 8 : 12;
    ByteBuffer residuals;
    status = QntColourResiduals(rgba, width, height, residuals);
    if (status != AuthorStatus::Ok) return status;
    const bool alpha = AnyTranslucent(rgba, uint64_t(width) * height);

    file.resize(0);
    if (like != nullptr ? !file.append(like->bytes, like->size) : !file.resize(headerSize)) {
        return AuthorStatus::OutOfMemory;
    }
    uint32_t colourSize = 0, alphaSize = 0;
    status = Compress(residuals, file, &colourSize);
    if (status != AuthorStatus::Ok) return status;
    if (alpha) {
        status = QntAlphaResiduals(rgba, width, height, residuals);
        if (status != AuthorStatus::Ok) return status;
        status = Compress(residuals, file, &alphaSize);
        if (status != AuthorStatus::Ok) return status;
    }
    const uint8_t magic[4] = {'Q', 'N', 'T', 0};
    for (int i = 0; i < 4; ++i) file.data()[i] = magic[i];
    file.putLe32(4, version);
    if (version != 0) file.putLe32(8, headerSize);
    file.putLe32(body, left);
    file.putLe32(body + 4, top);
    file.putLe32(body + 8, width);
    file.putLe32(body + 12, height);
    file.putLe32(body + 16, 24);
    file.putLe32(body + 24, colourSize);
    file.putLe32(body + 28, alphaSize);
    if (info != nullptr) {
        info->alpha = alpha;
        info->colourStream = colourSize;
        info->alphaStream = alphaSize;
    }
    return AuthorStatus::Ok;
}

}  // namespace author
