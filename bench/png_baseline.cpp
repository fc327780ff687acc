#include "bench/png_baseline.h"

#include <png.h>

#include <cstring>
#include <stdexcept>

namespace torvabench {

namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<torvatest::Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

struct Reader {
    const unsigned char* data;
    size_t size;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep data, png_size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->at) png_error(png, "read past the end");
    std::memcpy(data, reader->data + reader->at, length);
    reader->at += length;
}

}  // namespace

torvatest::Bytes WritePng(PngKind kind, uint32_t width, uint32_t height, const torvatest::Bytes& rows,
                          const torvatest::Bytes& palette) {
    torvatest::Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("PNG write failed");
    }
    png_set_write_fn(png, &out, WriteToVector, Flush);
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    size_t rowBytes = size_t{3} * width;
    switch (kind) {
        case PngKind::Rgb:
            break;
        case PngKind::Rgba:
            colourType = PNG_COLOR_TYPE_RGB_ALPHA;
            rowBytes = size_t{4} * width;
            break;
        case PngKind::Palette8:
            colourType = PNG_COLOR_TYPE_PALETTE;
            rowBytes = width;
            break;
        case PngKind::Palette4:
            colourType = PNG_COLOR_TYPE_PALETTE;
            depth = 4;
            rowBytes = (size_t{width} + 1) / 2;
            break;
    }
    png_set_IHDR(png, info, width, height, depth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> entries(palette.size() / 3);
        for (size_t i = 0; i < entries.size(); ++i) {
            entries[i].red = palette[3 * i];
            entries[i].green = palette[3 * i + 1];
            entries[i].blue = palette[3 * i + 2];
        }
        png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
    }
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(rows.data() + y * rowBytes));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

size_t DecodePng(const torvatest::Bytes& file, torvatest::Bytes& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rowPointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return 0;
    }
    Reader reader{file.data(), file.size(), 0};
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const size_t total = rowBytes * height;
    if (out.size() < total) out.resize(total);
    rowPointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rowPointers[y] = out.data() + y * rowBytes;
    png_read_image(png, rowPointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return total;
}

}  // namespace torvabench
