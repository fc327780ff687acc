#include "tools/torva/mount_picture_png.h"

#include <cstdint>
#include <cstring>

#include "tools/torva/bitmap_view.h"
#include "tools/torva/bitmap_png.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace {

void Put16(std::string& out, size_t at, uint32_t value) {
    out[at] = char(value & 0xFF);
    out[at + 1] = char((value >> 8) & 0xFF);
}
void Put32(std::string& out, size_t at, uint32_t value) {
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

unsigned BitsOf(int format) {
    switch (format) {
        case TORVASOFT_INDEXED4: return 4;
        case TORVASOFT_INDEXED8: return 8;
        case TORVASOFT_BGR24: return 24;
        case TORVASOFT_BGRA32: return 32;
        default: return 0;
    }
}

std::string StatusText(torvasoft_status status) {
    return std::string(torvasoft_status_text(status)) + " (" + torvasoft_status_name(status) + ")";
}

// A bottom-up bitmap file image (BITMAPINFOHEADER, uncompressed, rows padded
// to four bytes) of the decoded rows, as the plug-in builds it.
bool BuildBitmap(const torvasoft_layout& layout, const std::string& rows, const torvasoft_colour* palette,
                 std::string& bitmap, std::string& error) {
    const unsigned bits = BitsOf(layout.format);
    if (bits == 0 || layout.width == 0 || layout.height == 0 || layout.width > INT32_MAX ||
        layout.height > INT32_MAX) {
        error = "the picture has no bitmap form";
        return false;
    }
    const uint64_t rowLength = ((uint64_t(layout.width) * bits + 31) / 32) * 4;
    const uint64_t entries = bits <= 8 ? uint64_t(1) << bits : 0;
    const uint64_t pixelOffset = 54 + entries * 4;
    const uint64_t total = pixelOffset + rowLength * layout.height;  // at most about 2^64 / 2^31: no overflow
    if (total > UINT32_MAX || layout.stride > rowLength || rows.size() < layout.size) {
        error = "the picture is too large for a bitmap";
        return false;
    }
    bitmap.assign(size_t(total), '\0');
    bitmap[0] = 'B';
    bitmap[1] = 'M';
    Put32(bitmap, 2, uint32_t(total));
    Put32(bitmap, 10, uint32_t(pixelOffset));
    Put32(bitmap, 14, 40);
    Put32(bitmap, 18, layout.width);
    Put32(bitmap, 22, layout.height);
    Put16(bitmap, 26, 1);
    Put16(bitmap, 28, bits);
    Put32(bitmap, 34, uint32_t(rowLength * layout.height));
    Put32(bitmap, 46, uint32_t(entries));
    for (uint64_t i = 0; i < entries; ++i) {
        const size_t at = size_t(54 + i * 4);
        bitmap[at] = char(palette[i].blue);
        bitmap[at + 1] = char(palette[i].green);
        bitmap[at + 2] = char(palette[i].red);
    }
    for (uint32_t y = 0; y < layout.height; ++y) {
        const size_t to = size_t(pixelOffset + rowLength * (layout.height - 1 - y));
        std::memcpy(&bitmap[to], rows.data() + size_t(y) * layout.stride, layout.stride);
    }
    return true;
}

}  // namespace

bool PictureToPng(const std::string& bytes, const std::string& name, std::string& png, std::string& error) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    torvasoft_layout layout;
    torvasoft_status status =
        torvasoft_decoded_layout(data, bytes.size(), name.c_str(), TORVASOFT_AS_STORED_FULL, &layout);
    if (status != TORVASOFT_COMPLETE) {
        error = "damaged: " + StatusText(status);
        return false;
    }
    std::string rows(layout.size, '\0');
    torvasoft_colour palette[256] = {};
    if (layout.palette_entries > 256) {
        error = "the picture's palette is too large";
        return false;
    }
    status = torvasoft_decode(data, bytes.size(), name.c_str(), TORVASOFT_AS_STORED_FULL, &rows[0], rows.size(),
                              palette, nullptr);
    if (status != TORVASOFT_COMPLETE) {
        error = "damaged: " + StatusText(status);
        return false;
    }
    std::string bitmapBytes;
    if (!BuildBitmap(layout, rows, palette, bitmapBytes, error)) return false;
    rows.clear();
    rows.shrink_to_fit();
    BitmapView bitmap;
    return bitmap.parse(bitmapBytes, error) && EncodePng(bitmap, PngLevel::Default, png, error);
}

}  // namespace torva
