// The PNG writer's choices: the layout and palette it picks for each pixel
// format, the filter of each colour row, the chunks around the image data
// and its refusals, read back from the PNG it writes.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "png/png_encoder.h"
#include "png/png_writer.h"
#include "png/png_writer.hpp"

#ifdef TORVA_HAVE_LIBPNG
#include <png.h>
#endif

namespace {

using Samples = std::vector<uint8_t>;

uint8_t PaletteRed(unsigned i) { return uint8_t(i * 3 + 1); }
uint8_t PaletteGreen(unsigned i) { return uint8_t(255 - i); }
uint8_t PaletteBlue(unsigned i) { return uint8_t(i * 7); }

// Samples a pixel has in the order the tests give them: an index or a level,
// or red, green, blue (and alpha).
size_t SampleCount(int format) {
    switch (format) {
    case TORVA_PNG_RGBA8:
    case TORVA_PNG_BGRA8: return 4;
    case TORVA_PNG_RGB8:
    case TORVA_PNG_BGR8:
    case TORVA_PNG_RGB555: return 3;
    default: return 1;
    }
}

// A picture in memory with the image that describes it.
struct Picture {
    Samples bytes;
    std::vector<torva_png_colour> palette;
    torva_png_image image{};
};

// A picture of `format` from samples in PNG order, top row first (RGB555
// keeps the top five bits of each channel). Rows are 3 bytes longer than
// their pixels, and those bytes and the unused nibble of an odd INDEXED4 row
// hold `fill`, which no reader may take for pixels. `bottomUp` stores the
// rows in reverse, with a negative stride.
Picture PictureOf(int format, uint32_t w, uint32_t h, const Samples& samples, uint8_t fill, bool bottomUp = false) {
    const unsigned bits = format == TORVA_PNG_INDEXED4                                 ? 4
                          : format == TORVA_PNG_RGB555                                 ? 16
                          : SampleCount(format) == 1                                   ? 8
                                                                                       : 8 * unsigned(SampleCount(format));
    const size_t stride = (size_t(w) * bits + 7) / 8 + 3;
    Picture p;
    p.bytes.assign(stride * h, fill);
    const size_t n = SampleCount(format);
    const bool bgr = format == TORVA_PNG_BGR8 || format == TORVA_PNG_BGRA8;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = &p.bytes[(bottomUp ? h - 1 - y : y) * stride];
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* s = &samples[(size_t(y) * w + x) * n];
            if (format == TORVA_PNG_INDEXED4) {
                row[x / 2] = uint8_t(x % 2 == 0 ? (row[x / 2] & 0x0F) | s[0] << 4 : (row[x / 2] & 0xF0) | s[0]);
            } else if (format == TORVA_PNG_RGB555) {
                const unsigned v = (s[0] >> 3) << 10 | (s[1] >> 3) << 5 | s[2] >> 3;
                row[2 * x] = uint8_t(v), row[2 * x + 1] = uint8_t(v >> 8);
            } else {
                uint8_t* q = row + x * n;
                for (size_t k = 0; k < n; ++k) q[k] = s[k];
                if (bgr) std::swap(q[0], q[2]);
            }
        }
    }
    if (format == TORVA_PNG_INDEXED4 || format == TORVA_PNG_INDEXED8) {
        const unsigned entries = format == TORVA_PNG_INDEXED4 ? 16 : 256;
        for (unsigned i = 0; i < entries; ++i) {
            p.palette.push_back(torva_png_colour{PaletteRed(i), PaletteGreen(i), PaletteBlue(i), 255});
        }
    }
    p.image.width = w;
    p.image.height = h;
    p.image.format = format;
    p.image.pixels = p.bytes.data() + (bottomUp ? (h - 1) * stride : 0);
    p.image.stride = bottomUp ? -ptrdiff_t(stride) : ptrdiff_t(stride);
    p.image.palette = p.palette.empty() ? nullptr : p.palette.data();
    p.image.palette_entries = uint32_t(p.palette.size());
    return p;
}

struct Chunk {
    std::string type;
    std::string body;
};

struct Written {
    std::string png;
    std::vector<Chunk> chunks;
    uint8_t depth = 0, colourType = 0;
    size_t paletteEntries = 0, alphaEntries = 0;
    std::vector<int> filters;  // the filter type of each row
    Samples rgba;              // as libpng reads it, where it is available
};

uint32_t Read32(const std::string& s, size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data() + at);
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

Written Parse(const std::string& png) {
    Written out;
    out.png = png;
    std::string idat;
    uint32_t w = 0, h = 0;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = Read32(png, at);
        const Chunk chunk{png.substr(at + 4, 4), png.substr(at + 8, length)};
        EXPECT_EQ(Read32(png, at + 8 + length), libdeflate_crc32(0, png.data() + at + 4, length + 4)) << chunk.type;
        if (chunk.type == "IHDR") {
            w = Read32(chunk.body, 0);
            h = Read32(chunk.body, 4);
            out.depth = uint8_t(chunk.body[8]), out.colourType = uint8_t(chunk.body[9]);
        }
        if (chunk.type == "PLTE") out.paletteEntries = length / 3;
        if (chunk.type == "tRNS") out.alphaEntries = length;
        if (chunk.type == "IDAT") idat += chunk.body;
        out.chunks.push_back(chunk);
        at += 12 + length;
    }
    const size_t channels = out.colourType == 2 ? 3 : out.colourType == 6 ? 4 : 1;
    const size_t rowBytes = (w * channels * out.depth + 7) / 8;
    std::string stream(h * (rowBytes + 1), '\0');
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    EXPECT_EQ(libdeflate_zlib_decompress(inflater, idat.data(), idat.size(), &stream[0], stream.size(), nullptr),
              LIBDEFLATE_SUCCESS);
    libdeflate_free_decompressor(inflater);
    for (uint32_t y = 0; y < h; ++y) out.filters.push_back(stream[y * (rowBytes + 1)]);
#ifdef TORVA_HAVE_LIBPNG
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = PNG_FORMAT_RGBA;
    out.rgba.resize(size_t(w) * h * 4);
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) << image.message;
#endif
    return out;
}

Written Write(const Picture& picture, int level = TORVA_PNG_LEVEL_DEFAULT) {
    torva_png_options options{};
    options.level = level;
    std::string png;
    EXPECT_EQ(torva_png::Write(picture.image, options, png), TORVA_PNG_OK);
    return Parse(png);
}

TEST(PngPalette, SmallestDepthForTheHighestIndexUsedIndicesKept) {
    struct Case {
        int format;
        uint32_t width;
        Samples indices;  // one row, repeated below itself
        uint8_t depth;
    };
    const Case cases[] = {
        {TORVA_PNG_INDEXED4, 1, {0}, 1},
        {TORVA_PNG_INDEXED4, 3, {1, 0, 1}, 1},  // the padding nibble (15) is no pixel
        {TORVA_PNG_INDEXED4, 5, {3, 0, 2, 1, 3}, 2},
        {TORVA_PNG_INDEXED4, 4, {4, 0, 0, 0}, 4},
        {TORVA_PNG_INDEXED4, 9, {15, 1, 2, 3, 4, 5, 6, 7, 8}, 4},
        {TORVA_PNG_INDEXED8, 3, {1, 1, 0}, 1},  // nor are the padding bytes (255)
        {TORVA_PNG_INDEXED8, 5, {0, 2, 1, 3, 0}, 2},
        {TORVA_PNG_INDEXED8, 7, {15, 0, 9, 4, 0, 1, 15}, 4},
        {TORVA_PNG_INDEXED8, 2, {16, 0}, 8},
        {TORVA_PNG_INDEXED8, 6, {255, 0, 17, 128, 3, 200}, 8},
        // Used colours far apart keep their numbers: no remapping.
        {TORVA_PNG_INDEXED8, 2, {200, 0}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", width " << c.width << ", depth "
                                        << int(c.depth));
        Samples indices = c.indices;
        indices.insert(indices.end(), c.indices.rbegin(), c.indices.rend());
        const Written png = Write(PictureOf(c.format, c.width, 2, indices, 0xFF));
        EXPECT_EQ(png.colourType, 3);
        EXPECT_EQ(png.depth, c.depth);
        EXPECT_EQ(png.paletteEntries, size_t(*std::max_element(indices.begin(), indices.end())) + 1);
        EXPECT_EQ(png.alphaEntries, 0u);
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            const uint8_t expected[4] = {PaletteRed(indices[i]), PaletteGreen(indices[i]), PaletteBlue(indices[i]),
                                         255};
            ASSERT_EQ(std::memcmp(&png.rgba[4 * i], expected, 4), 0) << "pixel " << i;
        }
    }
}

// A palette's alpha goes into tRNS up to the last translucent entry the
// pixels use; indices past the palette are refused.
TEST(PngPalette, PaletteAlphaAndIndicesPastThePalette) {
    struct Case {
        Samples indices;
        std::vector<uint8_t> alpha;  // of entries 0, 1, 2...; the palette has as many entries
        torva_png_status status;
        size_t alphaEntries;
    };
    const Case cases[] = {
        {{0, 1, 2, 1}, {255, 0, 255, 128}, TORVA_PNG_OK, 2},  // entry 3 is not used
        {{0, 1, 2, 3}, {255, 255, 255, 0}, TORVA_PNG_OK, 4},
        {{0, 1, 1, 0}, {255, 255, 0}, TORVA_PNG_OK, 0},
        {{0, 1, 3, 0}, {255, 255, 255}, TORVA_PNG_INDEX_PAST_PALETTE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.alpha.size() << " entries, status " << c.status);
        Picture p = PictureOf(TORVA_PNG_INDEXED8, 4, 1, c.indices, 0);
        p.palette.resize(c.alpha.size());
        for (size_t i = 0; i < c.alpha.size(); ++i) p.palette[i].alpha = c.alpha[i];
        p.image.palette_entries = uint32_t(c.alpha.size());
        std::string png;
        ASSERT_EQ(torva_png::Write(p.image, torva_png_options{}, png), c.status);
        if (c.status != TORVA_PNG_OK) {
            EXPECT_TRUE(png.empty());
            continue;
        }
        const Written written = Parse(png);
        EXPECT_EQ(written.alphaEntries, c.alphaEntries);
        for (size_t i = 0; i < written.rgba.size() / 4; ++i) {
            EXPECT_EQ(written.rgba[4 * i + 3], c.alpha[c.indices[i]]) << "pixel " << i;
        }
    }
}

TEST(PngPalette, ColourOfAtMost256ColoursTakesAPaletteOfThem) {
    struct Case {
        int format;
        uint32_t colours;
        int transparent;  // the one colour with alpha 0, or -1
        uint8_t colourType, depth;
        size_t alphaEntries;
    };
    const Case cases[] = {
        {TORVA_PNG_BGR8, 2, -1, 3, 1, 0},     {TORVA_PNG_RGB555, 3, -1, 3, 2, 0},
        {TORVA_PNG_BGRA8, 5, -1, 3, 4, 0},    {TORVA_PNG_RGBA8, 17, 1, 3, 8, 2},
        {TORVA_PNG_BGRA8, 4, 0, 3, 2, 1},     {TORVA_PNG_RGB8, 256, -1, 3, 8, 0},
        {TORVA_PNG_BGR8, 257, -1, 2, 8, 0},   {TORVA_PNG_RGB555, 257, -1, 2, 8, 0},
        {TORVA_PNG_BGRA8, 257, 3, 6, 8, 0},   {TORVA_PNG_RGBA8, 257, -1, 2, 8, 0},  // opaque: RGB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", " << c.colours << " colours");
        // Two rows: each colour once, then the same colours backwards.
        // RGB555 colours are 5-bit levels.
        const size_t n = SampleCount(c.format);
        Samples s;
        for (uint32_t row = 0; row < 2; ++row) {
            for (uint32_t x = 0; x < c.colours; ++x) {
                const uint32_t i = row == 0 ? x : c.colours - 1 - x;
                const uint8_t alpha = int(i) == c.transparent ? 0 : 255;
                const uint8_t colour[4] = {uint8_t(i % 32 * 8), uint8_t(i / 32 * 8), 0x50, alpha};
                s.insert(s.end(), colour, colour + n);
            }
        }
        const Written png = Write(PictureOf(c.format, c.colours, 2, s, 0xFF));
        EXPECT_EQ(png.colourType, c.colourType);
        EXPECT_EQ(png.depth, c.depth);
        EXPECT_EQ(png.paletteEntries, c.colourType == 3 ? c.colours : 0);
        EXPECT_EQ(png.alphaEntries, c.alphaEntries);
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            for (size_t k = 0; k < 4; ++k) {
                const uint8_t v = k < n ? s[i * n + k] : 255;
                const bool widened = c.format == TORVA_PNG_RGB555 && k < 3;
                ASSERT_EQ(png.rgba[4 * i + k], widened ? v | v >> 5 : v) << "pixel " << i << ":" << k;
            }
        }
    }
}

// The browser and the tool hand the writer the same pixels in different
// formats and row orders: the files must be the same bytes.
TEST(PngFormats, TheSamePixelsGiveTheSameBytesInEveryFormat) {
    struct Case {
        const char* content;
        uint32_t colours;  // over 256: no palette
        std::vector<int> formats;
    };
    const Case cases[] = {
        {"photograph", 5000, {TORVA_PNG_RGB8, TORVA_PNG_BGR8, TORVA_PNG_RGBA8, TORVA_PNG_BGRA8}},
        {"few colours", 40, {TORVA_PNG_RGB8, TORVA_PNG_BGR8, TORVA_PNG_RGBA8, TORVA_PNG_BGRA8}},
        {"5-bit levels", 5000, {TORVA_PNG_RGB555, TORVA_PNG_RGB8, TORVA_PNG_BGRA8}},
        {"indices", 16, {TORVA_PNG_INDEXED4, TORVA_PNG_INDEXED8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        const uint32_t w = 37, h = 29;
        std::vector<Samples> colours(w * h);  // red, green, blue, alpha 255
        for (uint32_t i = 0; i < w * h; ++i) {
            const uint32_t v = (i * 2654435761u >> 7) % c.colours;
            uint8_t r = uint8_t(v), g = uint8_t(v >> 8), b = uint8_t(v * 37);
            if (c.formats[0] == TORVA_PNG_RGB555) {
                auto level = [](uint8_t x) { return uint8_t((x & 0xF8) | (x & 0xF8) >> 5); };
                r = level(r), g = level(g), b = level(b);
            }
            colours[i] = {r, g, b, 255};
        }
        std::string first;
        for (const int format : c.formats) {
            for (const bool bottomUp : {false, true}) {
                SCOPED_TRACE(testing::Message() << "format " << format << (bottomUp ? ", bottom-up" : ""));
                Samples s;
                for (const Samples& colour : colours) {
                    if (SampleCount(format) == 1) {
                        s.push_back(uint8_t(colour[0] % 16));
                    } else {
                        s.insert(s.end(), colour.begin(), colour.begin() + SampleCount(format));
                    }
                }
                const Picture p = PictureOf(format, w, h, s, 0xA5, bottomUp);
                std::string png;
                ASSERT_EQ(torva_png::Write(p.image, torva_png_options{}, png), TORVA_PNG_OK);
                if (first.empty()) first = png;
                EXPECT_TRUE(png == first);
            }
        }
    }
}

TEST(PngFormats, GreyLevelsAreWrittenAsGrey) {
    const uint32_t w = 300, h = 7;
    Samples s(size_t(w) * h);
    for (size_t i = 0; i < s.size(); ++i) s[i] = uint8_t(i * 7 + i / w);
    const Written png = Write(PictureOf(TORVA_PNG_GREY8, w, h, s, 0x33, true));
    EXPECT_EQ(png.colourType, 0);
    EXPECT_EQ(png.depth, 8);
    EXPECT_EQ(png.paletteEntries, 0u);
    for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
        const uint8_t expected[4] = {s[i], s[i], s[i], 255};
        ASSERT_EQ(std::memcmp(&png.rgba[4 * i], expected, 4), 0) << "pixel " << i;
    }
}

// Rows made so that each filter in turn leaves the least, wide enough for
// whole vector blocks and a remainder: row 0 a constant (Sub leaves zeros),
// row 1 noise f, row 2 f + 100 (as f + g for any g, Paeth leaves the least of
// f's steps, 100 and their sum), row 3 the same again (Up leaves zeros),
// row 4 the average of its left and upper neighbours (Average leaves zeros)
// and row 5 zeros (None, as Sub ties with it).
TEST(PngFilters, EachRowTakesTheFilterThatLeavesTheLeast) {
    for (const int format : {TORVA_PNG_BGR8, TORVA_PNG_BGRA8, TORVA_PNG_RGBA8}) {
        SCOPED_TRACE(format);
        const size_t n = SampleCount(format);
        const uint32_t w = 101, h = 6;  // over 256 colours, so no palette
        const size_t rowBytes = w * n;
        Samples s(rowBytes * h, 0);
        uint32_t noise = 12345;
        for (size_t i = 0; i < rowBytes; ++i) {
            noise = noise * 1103515245 + 12345;
            s[i] = 100;
            s[rowBytes + i] = uint8_t((noise >> 16) % 81);
            s[2 * rowBytes + i] = s[3 * rowBytes + i] = uint8_t(s[rowBytes + i] + 100);
        }
        for (size_t i = 0; i < rowBytes; ++i) {
            s[4 * rowBytes + i] = uint8_t(((i < n ? 0 : s[4 * rowBytes + i - n]) + s[3 * rowBytes + i]) / 2);
        }
        const Written png = Write(PictureOf(format, w, h, s, 0xA5));
        EXPECT_EQ(png.colourType, n == 4 ? 6 : 2);
        std::vector<int> filters = png.filters;
        filters.erase(filters.begin() + 1);  // the noise's filter depends on the noise
        EXPECT_EQ(filters, (std::vector<int>{1, 4, 2, 3, 0}));
        for (size_t i = 0; i < size_t(w) * h && !png.rgba.empty(); ++i) {
            for (size_t k = 0; k < 4; ++k) {
                ASSERT_EQ(png.rgba[4 * i + k], k < n ? s[i * n + k] : 255) << "pixel " << i << " channel " << k;
            }
        }
    }
}

// A noisy gentle gradient, where Average leaves the least in most rows, once
// at full range (over 64 levels a channel) and once on 5-bit levels (about 10).
TEST(PngFilters, AverageOnlyWhereAChannelTakesOver64Levels) {
    for (const uint8_t mask : {uint8_t(0xFF), uint8_t(0xF8)}) {
        SCOPED_TRACE(int(mask));
        const uint32_t w = 64, h = 16;
        Samples s(size_t(w) * h * 3);
        uint32_t noise = 99;
        for (size_t i = 0; i < s.size(); ++i) {
            noise = noise * 1103515245 + 12345;
            const size_t x = i / 3 % w, y = i / 3 / w;
            const size_t c = i % 3;
            s[i] = uint8_t((c * 60 + x / 4 + y + (noise >> 16) % 41) & mask);
        }
        const Written png = Write(PictureOf(TORVA_PNG_BGR8, w, h, s, 0));
        ASSERT_EQ(png.colourType, 2);
        const auto averages = std::count(png.filters.begin(), png.filters.end(), 3);
        EXPECT_TRUE(mask == 0xFF ? averages > 8 : averages == 0) << averages << " rows with Average";
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            const uint8_t expected[4] = {s[3 * i], s[3 * i + 1], s[3 * i + 2], 255};
            ASSERT_EQ(std::memcmp(&png.rgba[4 * i], expected, 4), 0) << "pixel " << i;
        }
    }
}

// Pictures 300 pixels wide (past a block of 256 looked up at a time, and no
// whole number of bytes at depths 1 to 4), whose rows come in pairs, the
// second repeating the first: every row must still read back as itself, at
// every level.
TEST(PngRows, RepeatedRowsAndWideRowsReadBackPixelForPixel) {
    struct Case {
        int format;
        uint32_t colours;  // distinct colours; over 256: no palette
        uint8_t colourType, depth;
    };
    const Case cases[] = {{TORVA_PNG_BGR8, 2, 3, 1},      {TORVA_PNG_BGRA8, 3, 3, 2},
                          {TORVA_PNG_RGB555, 9, 3, 4},    {TORVA_PNG_RGB8, 200, 3, 8},
                          {TORVA_PNG_BGR8, 999, 2, 8},    {TORVA_PNG_BGRA8, 999, 6, 8},
                          {TORVA_PNG_RGBA8, 999, 6, 8},   {TORVA_PNG_RGB555, 999, 2, 8},
                          {TORVA_PNG_INDEXED8, 0, 3, 8}};
    for (const Case& c : cases) {
        for (const int level : {TORVA_PNG_LEVEL_FAST, TORVA_PNG_LEVEL_DEFAULT, TORVA_PNG_LEVEL_BEST}) {
            SCOPED_TRACE(testing::Message() << "format " << c.format << ", " << c.colours << " colours, level "
                                            << level);
            const uint32_t w = 300, h = 6;
            const size_t n = SampleCount(c.format);
            const bool indexed = c.format == TORVA_PNG_INDEXED8;
            Samples s;
            for (uint32_t y = 0; y < h; ++y) {
                for (uint32_t x = 0; x < w; ++x) {
                    const uint32_t i = (x * 7 + (y / 2) * 13) % (indexed ? 256 : c.colours);
                    const uint8_t colour[4] = {uint8_t(i % 32 * 8), uint8_t(i / 32 * 8), 0x40,
                                               uint8_t(255 - i % 3)};
                    s.insert(s.end(), colour, colour + n);
                }
            }
            const Written png = Write(PictureOf(c.format, w, h, s, 0x5A), level);
            EXPECT_EQ(png.colourType, c.colourType);
            EXPECT_EQ(png.depth, c.depth);
            for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
                for (size_t k = 0; k < 4; ++k) {
                    uint8_t v = k < n ? s[i * n + k] : 255;
                    if (indexed) {
                        v = k == 0 ? PaletteRed(s[i]) : k == 1 ? PaletteGreen(s[i]) : k == 2 ? PaletteBlue(s[i]) : 255;
                    }
                    if (c.format == TORVA_PNG_RGB555 && k < 3) v = uint8_t(v | v >> 5);
                    ASSERT_EQ(png.rgba[4 * i + k], v) << "pixel " << i << ":" << k;
                }
            }
        }
    }
}

torva_png::Source SourceOf(const Picture& p) {
    torva_png::Source source;
    source.width = p.image.width, source.height = p.image.height, source.format = p.image.format;
    source.top = p.image.pixels, source.stride = p.image.stride;
    source.palette = p.image.palette, source.paletteEntries = p.image.palette_entries;
    return source;
}

// The methods follow the content: flat art, palette noise and colour noise
// of full range and of 5-bit levels; flat palette rows take Up, others none.
// Best keeps the smaller of its two methods.
TEST(PngLevels, MethodsFollowTheContent) {
    using M = torva_png::Method;
    struct Case {
        const char* content;
        int format;
        uint32_t noise;  // range of the noise; 0: flat
        uint8_t mask;
        std::vector<M> byDefault, best;  // the methods tried, the smaller output kept
        int paletteFilter;               // of every row; -1 for colour pictures
        bool tiled = false;              // the noise repeats every 50 pixels and every 4 rows
    };
    const M literals{M::kZlibLiterals, 9}, best12{M::kLibdeflate, 12}, zlib9{M::kZlib, 9};
    const Case cases[] = {
        {"flat palette", TORVA_PNG_INDEXED8, 0, 0xFF, {{M::kLibdeflate, 8}}, {best12, zlib9}, 2},
        {"noisy palette", TORVA_PNG_INDEXED8, 256, 0xFF, {{M::kLibdeflate, 7}}, {best12, zlib9}, 0},
        {"flat colour", TORVA_PNG_BGR8, 0, 0xFF, {{M::kLibdeflate, 8}}, {best12, zlib9}, -1},
        {"noisy colour", TORVA_PNG_BGR8, 64, 0xFF, {literals}, {best12, literals}, -1},
        {"noisy 5-bit colour", TORVA_PNG_BGR8, 12, 0xF8, {literals, {M::kLibdeflate, 4}}, {best12, literals}, -1},
        {"noise that repeats", TORVA_PNG_BGR8, 64, 0xFF, {literals, {M::kLibdeflate, 4}}, {best12, literals}, -1,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        const uint32_t w = 400, h = 64;
        const size_t n = SampleCount(c.format);
        Samples s(size_t(w) * h * n);
        std::vector<uint32_t> noise(s.size());
        uint32_t seed = 7;
        for (uint32_t& v : noise) v = (seed = seed * 1103515245 + 12345) >> 16;
        for (size_t i = 0; i < s.size(); ++i) {
            const uint32_t x = uint32_t(i / n % w), y = uint32_t(i / n / w), channel = uint32_t(i % n);
            // Colour pictures have over 256 colours: bands down a gradient.
            const uint32_t flat = n == 1         ? x / 50 * 30 + y / 16
                                  : channel == 0 ? y * 3 + x / 8 * 5
                                  : channel == 1 ? y * 5
                                                 : x / 8 * 3;
            const size_t at = c.tiled ? (x % 50 + y % 4 * 50) * n + channel : i;
            const uint32_t noisy = channel * 80 + x / 2 + y + noise[at] % std::max(c.noise, 1u);
            s[i] = uint8_t((c.noise == 0 ? flat : noisy) & c.mask);
        }
        const Picture p = PictureOf(c.format, w, h, s, 0);
        const torva_png::Source source = SourceOf(p);
        for (const int level : {TORVA_PNG_LEVEL_DEFAULT, TORVA_PNG_LEVEL_BEST}) {
            const std::vector<M>& tried = level == TORVA_PNG_LEVEL_DEFAULT ? c.byDefault : c.best;
            torva_png::Encoded chosen;
            ASSERT_EQ(torva_png::Encode(source, level, nullptr, torva_png_options{}, chosen), TORVA_PNG_OK);
            EXPECT_EQ(chosen.upFiltered, c.paletteFilter == 2);
            size_t smallest = 0, smallestSize = SIZE_MAX;
            for (size_t i = 0; i < tried.size(); ++i) {
                torva_png::Encoded alone;
                ASSERT_EQ(torva_png::Encode(source, level, &tried[i], torva_png_options{}, alone), TORVA_PNG_OK);
                if (alone.packedSize < smallestSize) smallest = i, smallestSize = alone.packedSize;
            }
            EXPECT_TRUE(chosen.method == tried[smallest]) << "level " << level;
            if (c.tiled && level == TORVA_PNG_LEVEL_DEFAULT) {
                EXPECT_EQ(smallest, 1u) << "matches pay";
            }
            EXPECT_EQ(chosen.packedSize, smallestSize) << "level " << level;
        }
        // Every method's file reads back as the picture.
        for (const int level : {TORVA_PNG_LEVEL_DEFAULT, TORVA_PNG_LEVEL_BEST}) {
            const Written png = Write(p, level);
            if (c.paletteFilter >= 0) {
                EXPECT_EQ(png.filters, std::vector<int>(h, c.paletteFilter));
            }
            for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
                for (size_t k = 0; k < 3; ++k) {
                    const uint8_t v = n == 1 ? (k == 0   ? PaletteRed(s[i])
                                                : k == 1 ? PaletteGreen(s[i])
                                                         : PaletteBlue(s[i]))
                                             : s[i * n + k];
                    ASSERT_EQ(png.rgba[4 * i + k], v) << "pixel " << i << ":" << k;
                }
            }
        }
    }
}

// oFFs, when asked for, holds the position in pixels and comes before the
// image data.
TEST(PngChunks, PositionGoesIntoAnOffsChunk) {
    struct Case {
        int hasPosition;
        int32_t x, y;
    };
    const Case cases[] = {{0, 5, 6}, {1, 0, 0}, {1, 640, 400}, {1, -8, -2147483647 - 1}};
    const Picture p = PictureOf(TORVA_PNG_INDEXED8, 3, 2, {1, 2, 3, 3, 2, 1}, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hasPosition << " " << c.x << "," << c.y);
        torva_png_options options{};
        options.has_position = c.hasPosition;
        options.x = c.x, options.y = c.y;
        std::string png;
        ASSERT_EQ(torva_png::Write(p.image, options, png), TORVA_PNG_OK);
        const Written written = Parse(png);
        std::vector<std::string> types;
        for (const Chunk& chunk : written.chunks) types.push_back(chunk.type);
        const std::vector<std::string> expected =
            c.hasPosition ? std::vector<std::string>{"IHDR", "PLTE", "oFFs", "IDAT", "IEND"}
                          : std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"};
        EXPECT_EQ(types, expected);
        if (!c.hasPosition) continue;
        const std::string& body = written.chunks[2].body;
        ASSERT_EQ(body.size(), 9u);
        EXPECT_EQ(int32_t(Read32(body, 0)), c.x);
        EXPECT_EQ(int32_t(Read32(body, 4)), c.y);
        EXPECT_EQ(body[8], 0);
    }
}

TEST(PngArguments, RefusalsWriteNothing) {
    const Picture good = PictureOf(TORVA_PNG_RGB8, 4, 3, Samples(36, 9), 0);
    const Picture indexed = PictureOf(TORVA_PNG_INDEXED8, 4, 3, Samples(12, 1), 0);
    struct Case {
        const char* what;
        torva_png_image image;
        int level;
        torva_png_status status;
    };
    auto with = [](torva_png_image image, auto change) {
        change(image);
        return image;
    };
    const Case cases[] = {
        {"null pixels", with(good.image, [](torva_png_image& i) { i.pixels = nullptr; }), 0,
         TORVA_PNG_INVALID_ARGUMENT},
        {"unknown format", with(good.image, [](torva_png_image& i) { i.format = 8; }), 0, TORVA_PNG_INVALID_ARGUMENT},
        {"unknown level", good.image, 3, TORVA_PNG_INVALID_ARGUMENT},
        {"stride shorter than a row", with(good.image, [](torva_png_image& i) { i.stride = 11; }), 0,
         TORVA_PNG_INVALID_ARGUMENT},
        {"bottom-up stride shorter than a row", with(good.image, [](torva_png_image& i) { i.stride = -11; }), 0,
         TORVA_PNG_INVALID_ARGUMENT},
        {"no width", with(good.image, [](torva_png_image& i) { i.width = 0; }), 0, TORVA_PNG_EMPTY_PICTURE},
        {"no height", with(good.image, [](torva_png_image& i) { i.height = 0; }), 0, TORVA_PNG_EMPTY_PICTURE},
        {"wider than IHDR holds", with(good.image, [](torva_png_image& i) { i.width = 0x80000000u; }), 0,
         TORVA_PNG_TOO_LARGE},
        {"no palette", with(indexed.image, [](torva_png_image& i) { i.palette = nullptr; }), 0,
         TORVA_PNG_NO_PALETTE},
        {"empty palette", with(indexed.image, [](torva_png_image& i) { i.palette_entries = 0; }), 0,
         TORVA_PNG_NO_PALETTE},
        {"palette of 257", with(indexed.image, [](torva_png_image& i) { i.palette_entries = 257; }), 0,
         TORVA_PNG_INVALID_ARGUMENT},
        {"index past the palette", with(indexed.image, [](torva_png_image& i) { i.palette_entries = 1; }), 0,
         TORVA_PNG_INDEX_PAST_PALETTE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        torva_png_options options{};
        options.level = c.level;
        size_t calls = 0;
        auto count = [](void* context, const void*, size_t) {
            ++*static_cast<size_t*>(context);
            return 1;
        };
        EXPECT_EQ(torva_png_write(&c.image, &options, count, &calls), c.status);
        EXPECT_EQ(calls, 0u);
        uint8_t* png = reinterpret_cast<uint8_t*>(&calls);
        size_t size = 1;
        EXPECT_EQ(torva_png_write_memory(&c.image, &options, &png, &size), c.status);
        EXPECT_EQ(png, nullptr);
        EXPECT_EQ(size, 0u);
    }
    EXPECT_EQ(torva_png_write(nullptr, nullptr, [](void*, const void*, size_t) { return 1; }, nullptr),
              TORVA_PNG_INVALID_ARGUMENT);
    EXPECT_EQ(torva_png_write(&good.image, nullptr, nullptr, nullptr), TORVA_PNG_INVALID_ARGUMENT);
}

// The file in memory is the file the callback receives; a callback that
// refuses stops the writer at once.
TEST(PngOutput, MemoryAndCallbackAgreeAndARefusalStops) {
    const Picture p = PictureOf(TORVA_PNG_RGB8, 50, 40, Samples(6000, 0x42), 0);
    std::string viaCallback;
    ASSERT_EQ(torva_png::Write(p.image, torva_png_options{}, viaCallback), TORVA_PNG_OK);
    uint8_t* png = nullptr;
    size_t size = 0;
    ASSERT_EQ(torva_png_write_memory(&p.image, nullptr, &png, &size), TORVA_PNG_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(png), size), viaCallback);
    torva_png_free(png);
    for (size_t refuseAt : {0, 1, 2, 3, 4}) {
        SCOPED_TRACE(refuseAt);
        struct Counter {
            size_t calls, refuseAt;
        } counter{0, refuseAt};
        auto refuse = [](void* context, const void*, size_t) {
            auto* c = static_cast<Counter*>(context);
            return c->calls++ == c->refuseAt ? 0 : 1;
        };
        EXPECT_EQ(torva_png_write(&p.image, nullptr, refuse, &counter), TORVA_PNG_WRITE_FAILED);
        EXPECT_EQ(counter.calls, refuseAt + 1);
    }
}

}  // namespace
