#include "author/picture_reader.h"

#include <spng.h>

#include <cstring>

#include "author/picture_limits.h"

namespace author {
namespace {

bool Fail(const char** reason, const char* text) {
    *reason = text;
    return false;
}

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool Allocate(InputPicture& picture, uint32_t width, uint32_t height, bool paletted, const char** reason) {
    if (width == 0 || height == 0) return Fail(reason, "the picture has no pixels");
    if (!PictureSizeAllowed(width, height)) return Fail(reason, "the picture is too large (at most 65535 x 65535 and 256 MiB)");
    picture.width = width;
    picture.height = height;
    const uint64_t count = uint64_t(width) * height;
    if (!picture.rgba.resize(count * 4) || (paletted && !picture.indices.resize(count))) {
        return Fail(reason, "out of memory");
    }
    return true;
}

// Fills the RGBA rows of a palette picture from its indices.
bool PaintFromPalette(InputPicture& picture, const char** reason) {
    const uint64_t count = uint64_t(picture.width) * picture.height;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t index = picture.indices.data()[i];
        if (index >= picture.paletteSize) return Fail(reason, "damaged: a pixel's index lies beyond the palette");
        std::memcpy(picture.rgba.data() + i * 4, picture.palette + index * 4, 4);
    }
    return true;
}

// ---------------------------------------------------------------- PNG

class SpngContext {
public:
    SpngContext() : ctx_(spng_ctx_new(0)) {}
    ~SpngContext() {
        if (ctx_ != nullptr) spng_ctx_free(ctx_);
    }
    SpngContext(const SpngContext&) = delete;
    SpngContext& operator=(const SpngContext&) = delete;
    spng_ctx* get() const { return ctx_; }

private:
    spng_ctx* ctx_;
};

bool ReadPng(const uint8_t* bytes, size_t size, InputPicture& picture, const char** reason) {
    SpngContext context;
    spng_ctx* ctx = context.get();
    if (ctx == nullptr) return Fail(reason, "out of memory");
    // No chunk may ask for more than the largest picture's worth of memory.
    spng_set_chunk_limits(ctx, kLargestBitmapBytes, kLargestBitmapBytes);
    spng_set_image_limits(ctx, 65535, 65535);
    spng_set_png_buffer(ctx, bytes, size);
    spng_ihdr ihdr;
    if (spng_get_ihdr(ctx, &ihdr) != 0) return Fail(reason, "damaged or unsupported PNG: its header cannot be read");
    const bool paletted = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED;
    if (!Allocate(picture, ihdr.width, ihdr.height, paletted, reason)) return false;
    picture.narrowed = ihdr.bit_depth == 16;
    spng_offs offs;
    if (spng_get_offs(ctx, &offs) == 0 && offs.unit_specifier == 0) {
        picture.hasPosition = true;
        picture.x = offs.x;
        picture.y = offs.y;
    }

    if (!paletted) {
        if (spng_decode_image(ctx, picture.rgba.data(), picture.rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) {
            return Fail(reason, "damaged PNG: its pixels cannot be decoded");
        }
        return true;
    }

    spng_plte plte;
    if (spng_get_plte(ctx, &plte) != 0) return Fail(reason, "damaged PNG: a palette picture without a palette");
    picture.paletteSize = plte.n_entries;
    for (uint32_t e = 0; e < plte.n_entries; ++e) {
        uint8_t* entry = picture.palette + e * 4;
        entry[0] = plte.entries[e].red;
        entry[1] = plte.entries[e].green;
        entry[2] = plte.entries[e].blue;
        entry[3] = 255;
    }
    spng_trns trns;
    if (spng_get_trns(ctx, &trns) == 0) {
        for (uint32_t e = 0; e < trns.n_type3_entries && e < plte.n_entries; ++e) picture.palette[e * 4 + 3] = trns.type3_alpha[e];
    }
    // The indices as stored: rows of `bit_depth`-bit values, first pixel in
    // the high bits, each row ending on a byte.
    size_t packedSize = 0;
    if (spng_decoded_image_size(ctx, SPNG_FMT_PNG, &packedSize) != 0) return Fail(reason, "damaged PNG");
    ByteBuffer packed;
    if (!packed.resize(packedSize)) return Fail(reason, "out of memory");
    if (spng_decode_image(ctx, packed.data(), packed.size(), SPNG_FMT_PNG, 0) != 0) {
        return Fail(reason, "damaged PNG: its pixels cannot be decoded");
    }
    const unsigned bits = ihdr.bit_depth;
    const uint64_t rowBytes = (uint64_t(picture.width) * bits + 7) / 8;
    if (rowBytes * picture.height > packed.size()) return Fail(reason, "damaged PNG");
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = packed.data() + rowBytes * y;
        uint8_t* out = picture.indices.data() + uint64_t(picture.width) * y;
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint64_t bit = uint64_t(x) * bits;
            out[x] = uint8_t((row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1));
        }
    }
    return PaintFromPalette(picture, reason);
}

// ---------------------------------------------------------------- BMP

struct Channel {
    uint32_t mask = 0, shift = 0, max = 0;
    void set(uint32_t m) {
        mask = m;
        shift = 0;
        max = 0;
        if (m == 0) return;
        while (((m >> shift) & 1) == 0) ++shift;
        max = m >> shift;
    }
    // The channel widened to 8 bits (`fallback` when the mask is empty).
    uint8_t of(uint32_t pixel, uint8_t fallback) const {
        if (mask == 0) return fallback;
        const uint64_t v = (pixel & mask) >> shift;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

bool ReadBmp(const uint8_t* bytes, size_t size, InputPicture& picture, const char** reason) {
    if (size < 54) return Fail(reason, "damaged BMP: shorter than its headers");
    const uint32_t offBits = Le32(bytes + 10), headerSize = Le32(bytes + 14);
    if (headerSize < 40 || headerSize > size - 14) return Fail(reason, "unsupported BMP: an old or damaged info header");
    const int32_t width = int32_t(Le32(bytes + 18)), rawHeight = int32_t(Le32(bytes + 22));
    const uint16_t bits = Le16(bytes + 28);
    const uint32_t compression = Le32(bytes + 30), coloursUsed = Le32(bytes + 46);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return Fail(reason, "damaged BMP: no pixels");
    const bool topDown = rawHeight < 0;
    const uint32_t height = uint32_t(topDown ? -int64_t(rawHeight) : rawHeight);
    const bool bitfields = compression == 3 && (bits == 16 || bits == 32);
    if (compression != 0 && !bitfields) return Fail(reason, "unsupported BMP: compressed pixels");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return Fail(reason, "unsupported BMP: bit depth");
    }
    const bool paletted = bits <= 8;
    if (!Allocate(picture, uint32_t(width), height, paletted, reason)) return false;

    // Channel masks: inside a longer header, or right after a 40-byte one.
    Channel red, green, blue, alpha;
    if (bitfields) {
        const uint64_t at = 14 + 40;
        if (at + (headerSize >= 56 ? 16 : 12) > size) return Fail(reason, "damaged BMP: the channel masks are missing");
        red.set(Le32(bytes + at));
        green.set(Le32(bytes + at + 4));
        blue.set(Le32(bytes + at + 8));
        if (headerSize >= 56) alpha.set(Le32(bytes + at + 12));
    } else if (bits == 16) {
        red.set(0x7C00);
        green.set(0x03E0);
        blue.set(0x001F);
    }
    if (paletted) {
        const uint64_t entries = coloursUsed == 0 ? (uint64_t{1} << bits) : coloursUsed;
        const uint64_t at = 14 + uint64_t(headerSize);
        if (entries > 256 || at + entries * 4 > size) return Fail(reason, "damaged BMP: the colour table does not fit");
        picture.paletteSize = uint32_t(entries);
        for (uint32_t e = 0; e < entries; ++e) {
            const uint8_t* bgr = bytes + at + e * 4;
            uint8_t* entry = picture.palette + e * 4;
            entry[0] = bgr[2];
            entry[1] = bgr[1];
            entry[2] = bgr[0];
            entry[3] = 255;
        }
    }
    const uint64_t stride = ((uint64_t(width) * bits + 31) >> 3) & ~uint64_t{3};
    if (offBits > size || stride * height > size - offBits) return Fail(reason, "damaged BMP: the pixel rows run past the end");

    // 32-bit pixels without masks: the fourth byte is alpha unless it is 0
    // throughout, as in files that leave it unused.
    bool fourthByteIsAlpha = false;
    if (bits == 32 && !bitfields) {
        for (uint32_t y = 0; y < height && !fourthByteIsAlpha; ++y) {
            const uint8_t* row = bytes + offBits + stride * y;
            for (int32_t x = 0; x < width; ++x) fourthByteIsAlpha = fourthByteIsAlpha || row[x * 4 + 3] != 0;
        }
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = bytes + offBits + stride * (topDown ? y : height - 1 - y);
        uint8_t* out = picture.rgba.data() + uint64_t(width) * 4 * y;
        for (uint32_t x = 0; x < uint32_t(width); ++x, out += 4) {
            if (paletted) {
                const uint64_t bit = uint64_t(x) * bits;
                picture.indices.data()[uint64_t(width) * y + x] =
                    uint8_t((row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1));
            } else if (bits == 24 || (bits == 32 && !bitfields)) {
                const uint8_t* p = row + x * (bits / 8);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                out[3] = bits == 32 && fourthByteIsAlpha ? p[3] : 255;
            } else {
                const uint32_t p = bits == 16 ? Le16(row + x * 2) : Le32(row + x * 4);
                out[0] = red.of(p, 0);
                out[1] = green.of(p, 0);
                out[2] = blue.of(p, 0);
                out[3] = alpha.of(p, 255);
            }
        }
    }
    return !paletted || PaintFromPalette(picture, reason);
}

}  // namespace

SourcePicture InputPicture::source() const {
    SourcePicture s;
    s.width = width;
    s.height = height;
    s.rgba = rgba.data();
    if (paletteSize > 0) {
        s.indices = indices.data();
        s.palette = palette;
        s.paletteSize = paletteSize;
    }
    return s;
}

bool ReadInputPicture(const uint8_t* bytes, size_t size, InputPicture& picture, const char** reason) {
    picture.width = picture.height = picture.paletteSize = 0;
    picture.rgba.resize(0);
    picture.indices.resize(0);
    picture.hasPosition = false;
    picture.x = picture.y = 0;
    bool ok;
    if (size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0) {
        ok = ReadPng(bytes, size, picture, reason);
    } else if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        ok = ReadBmp(bytes, size, picture, reason);
    } else {
        ok = Fail(reason, "not a PNG or BMP file");
    }
    if (!ok) {
        picture.width = picture.height = picture.paletteSize = 0;
        picture.rgba.resize(0);
        picture.indices.resize(0);
    }
    return ok;
}

}  // namespace author
