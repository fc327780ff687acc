// The PNG writer's choices: the bit depth and palette of palette pictures,
// and the filter of each colour row, read back from the PNG it writes.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tools/torva/bitmap_view.h"
#include "tools/torva/png_encoder.h"

#ifdef TORVA_HAVE_LIBPNG
#include <png.h>
#endif

namespace {

using Samples = std::vector<uint8_t>;

uint8_t PaletteRed(unsigned i) { return uint8_t(i * 3 + 1); }
uint8_t PaletteGreen(unsigned i) { return uint8_t(255 - i); }
uint8_t PaletteBlue(unsigned i) { return uint8_t(i * 7); }

// A bitmap of 4, 8, 16, 24 or 32 bits from samples in PNG order, top row
// first: indices, or red, green, blue (and alpha; 16 bits keep the top five
// bits of each). Row padding and the unused nibble
// of an odd 4-bit row hold `fill`, which no reader may take for pixels.
std::string BitmapOf(unsigned bits, uint32_t w, uint32_t h, const Samples& samples, uint8_t fill) {
    const size_t entries = bits <= 8 ? size_t(1) << bits : 0, offset = 54 + 4 * entries;
    const size_t stride = ((w * bits + 31) >> 3) & ~size_t(3);
    std::string s(offset + stride * h, char(fill));
    const uint32_t fields[][2] = {{2, uint32_t(s.size())}, {10, uint32_t(offset)}, {14, 40}, {18, w}, {22, h},
                                  {26, 1 | bits << 16}, {30, 0}, {34, uint32_t(stride * h)}, {38, 0}, {42, 0},
                                  {46, 0}, {50, 0}};
    s[0] = 'B', s[1] = 'M';
    for (const auto& f : fields) std::memcpy(&s[f[0]], &f[1], 4);  // little-endian hosts only
    for (unsigned i = 0; i < entries; ++i) {
        const char entry[4] = {char(PaletteBlue(i)), char(PaletteGreen(i)), char(PaletteRed(i)), 0};
        std::memcpy(&s[54 + 4 * i], entry, 4);
    }
    const size_t channels = bits == 16 ? 3 : bits / 8;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = reinterpret_cast<uint8_t*>(&s[offset + (h - 1 - y) * stride]);
        for (uint32_t x = 0; x < w; ++x) {
            if (bits == 4) {
                const uint8_t index = samples[y * w + x];
                row[x / 2] = uint8_t(x % 2 == 0 ? (row[x / 2] & 0x0F) | index << 4 : (row[x / 2] & 0xF0) | index);
            } else if (bits == 8) {
                row[x] = samples[y * w + x];
            } else if (bits == 16) {
                const uint8_t* p = &samples[(size_t(y) * w + x) * 3];
                const unsigned v = (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | p[2] >> 3;
                row[2 * x] = uint8_t(v), row[2 * x + 1] = uint8_t(v >> 8);
            } else {
                const uint8_t* p = &samples[(size_t(y) * w + x) * channels];
                uint8_t* q = row + x * channels;
                q[0] = p[2], q[1] = p[1], q[2] = p[0];
                if (channels == 4) q[3] = p[3];
            }
        }
    }
    return s;
}

struct Written {
    uint8_t depth = 0, colourType = 0;
    size_t paletteEntries = 0, alphaEntries = 0;
    std::vector<int> filters;  // the filter type of each row
    Samples rgba;              // as libpng reads it, where it is available
};

Written Write(const std::string& bitmap) {
    torva::BitmapView view;
    std::string error, png;
    Written out;
    EXPECT_TRUE(view.parse(bitmap, error)) << error;
    EXPECT_TRUE(torva::EncodePng(view, torva::PngLevel::Default, png, error)) << error;
    std::string idat;
    uint32_t w = 0, h = 0;
    for (size_t at = 8; at + 12 <= png.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(png.data() + at);
        const size_t length = size_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        const std::string type = png.substr(at + 4, 4);
        if (type == "IHDR") {
            w = uint32_t(p[8]) << 24 | p[9] << 16 | p[10] << 8 | p[11];
            h = uint32_t(p[12]) << 24 | p[13] << 16 | p[14] << 8 | p[15];
            out.depth = p[16], out.colourType = p[17];
        }
        if (type == "PLTE") out.paletteEntries = length / 3;
        if (type == "tRNS") out.alphaEntries = length;
        if (type == "IDAT") idat += png.substr(at + 8, length);
        at += 12 + length;
    }
    const size_t rowBytes = (w * (out.colourType == 2 ? 3 : out.colourType == 6 ? 4 : 1) * out.depth + 7) / 8;
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

TEST(PngPalette, SmallestDepthForTheHighestIndexUsedIndicesKept) {
    struct Case {
        unsigned bits;
        uint32_t width;
        Samples indices;  // one row, repeated below itself
        uint8_t depth;
    };
    const Case cases[] = {
        {4, 1, {0}, 1},
        {4, 3, {1, 0, 1}, 1},  // the padding nibble (15) is no pixel
        {4, 5, {3, 0, 2, 1, 3}, 2},
        {4, 4, {4, 0, 0, 0}, 4},
        {4, 9, {15, 1, 2, 3, 4, 5, 6, 7, 8}, 4},
        {8, 3, {1, 1, 0}, 1},  // nor are the padding bytes (255)
        {8, 5, {0, 2, 1, 3, 0}, 2},
        {8, 7, {15, 0, 9, 4, 0, 1, 15}, 4},
        {8, 2, {16, 0}, 8},
        {8, 6, {255, 0, 17, 128, 3, 200}, 8},
        // Used colours far apart keep their numbers: no remapping.
        {8, 2, {200, 0}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit, width " << c.width << ", depth " << int(c.depth));
        Samples indices = c.indices;
        indices.insert(indices.end(), c.indices.rbegin(), c.indices.rend());
        const Written png = Write(BitmapOf(c.bits, c.width, 2, indices, 0xFF));
        EXPECT_EQ(png.colourType, 3);
        EXPECT_EQ(png.depth, c.depth);
        EXPECT_EQ(png.paletteEntries, size_t(*std::max_element(indices.begin(), indices.end())) + 1);
        EXPECT_EQ(png.filters, std::vector<int>(2, 0));
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            const uint8_t expected[4] = {PaletteRed(indices[i]), PaletteGreen(indices[i]), PaletteBlue(indices[i]),
                                         255};
            ASSERT_EQ(std::memcmp(&png.rgba[4 * i], expected, 4), 0) << "pixel " << i;
        }
    }
}

TEST(PngPalette, TrueColourOfAtMost256ColoursTakesAPaletteOfThem) {
    struct Case {
        unsigned bits;
        uint32_t colours;
        int transparent;  // the one colour with alpha 0, or -1
        uint8_t colourType, depth;
        size_t alphaEntries;
    };
    const Case cases[] = {
        {24, 2, -1, 3, 1, 0},  {16, 3, -1, 3, 2, 0},   {32, 5, -1, 3, 4, 0},   {32, 17, 1, 3, 8, 2},
        {32, 4, 0, 3, 2, 1},   {24, 256, -1, 3, 8, 0}, {24, 257, -1, 2, 8, 0}, {16, 257, -1, 2, 8, 0},
        {32, 257, 3, 6, 8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit, " << c.colours << " colours");
        // Two rows: each colour once, then the same colours backwards. 16-bit
        // colours are 5-bit levels.
        const size_t n = c.bits == 32 ? 4 : 3;
        Samples s;
        for (uint32_t row = 0; row < 2; ++row) {
            for (uint32_t x = 0; x < c.colours; ++x) {
                const uint32_t i = row == 0 ? x : c.colours - 1 - x;
                const uint8_t alpha = int(i) == c.transparent ? 0 : 255;
                const uint8_t colour[4] = {uint8_t(i % 32 * 8), uint8_t(i / 32 * 8), 0x50, alpha};
                s.insert(s.end(), colour, colour + n);
            }
        }
        const Written png = Write(BitmapOf(c.bits, c.colours, 2, s, 0xFF));
        EXPECT_EQ(png.colourType, c.colourType);
        EXPECT_EQ(png.depth, c.depth);
        EXPECT_EQ(png.paletteEntries, c.colourType == 3 ? c.colours : 0);
        EXPECT_EQ(png.alphaEntries, c.alphaEntries);
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            for (size_t k = 0; k < 4; ++k) {
                const uint8_t v = k < n ? s[i * n + k] : 255;
                ASSERT_EQ(png.rgba[4 * i + k], c.bits == 16 && k < 3 ? v | v >> 5 : v) << "pixel " << i << ":" << k;
            }
        }
    }
}

// Rows made so that each filter in turn leaves the least, wide enough for
// whole vector blocks and a remainder: row 0 a constant (Sub leaves zeros),
// row 1 noise f, row 2 f + 100 (as f + g for any g, Paeth leaves the least of
// f's steps, 100 and their sum), row 3 the same again (Up leaves zeros),
// row 4 the average of its left and upper neighbours (Average leaves zeros)
// and row 5 zeros (None, as Sub ties with it).
TEST(PngFilters, EachRowTakesTheFilterThatLeavesTheLeast) {
    for (const unsigned bits : {24u, 32u}) {
        SCOPED_TRACE(bits);
        const size_t n = bits / 8;
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
        const Written png = Write(BitmapOf(bits, w, h, s, 0xA5));
        EXPECT_EQ(png.colourType, bits == 32 ? 6 : 2);
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

}  // namespace

namespace {

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
        const Written png = Write(BitmapOf(24, w, h, s, 0));
        ASSERT_EQ(png.colourType, 2);
        const auto averages = std::count(png.filters.begin(), png.filters.end(), 3);
        EXPECT_TRUE(mask == 0xFF ? averages > 8 : averages == 0) << averages << " rows with Average";
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            const uint8_t expected[4] = {s[3 * i], s[3 * i + 1], s[3 * i + 2], 255};
            ASSERT_EQ(std::memcmp(&png.rgba[4 * i], expected, 4), 0) << "pixel " << i;
        }
    }
}

}  // namespace

namespace {

// Pictures 300 pixels wide (past a block of 256 looked up at a time, and no
// whole number of bytes at depths 1 to 4), whose rows come in pairs, the
// second repeating the first: every row must still read back as itself.
TEST(PngRows, RepeatedRowsAndWideRowsReadBackPixelForPixel) {
    struct Case {
        unsigned bits;
        uint32_t colours;  // distinct colours; over 256: no palette
        uint8_t colourType, depth;
    };
    const Case cases[] = {{24, 2, 3, 1},   {32, 3, 3, 2},   {16, 9, 3, 4},   {24, 200, 3, 8},
                          {24, 999, 2, 8}, {32, 999, 6, 8}, {16, 999, 2, 8}, {8, 0, 3, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit, " << c.colours << " colours");
        const uint32_t w = 300, h = 6;
        const size_t n = c.bits == 32 ? 4 : c.bits == 8 ? 1 : 3;
        Samples s;
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t i = (x * 7 + (y / 2) * 13) % (c.bits == 8 ? 256 : c.colours);
                const uint8_t colour[4] = {uint8_t(i % 32 * 8), uint8_t(i / 32 * 8), 0x40,
                                           uint8_t(255 - i % 3)};
                s.insert(s.end(), colour, colour + n);
            }
        }
        const Written png = Write(BitmapOf(c.bits, w, h, s, 0x5A));
        EXPECT_EQ(png.colourType, c.colourType);
        EXPECT_EQ(png.depth, c.depth);
        for (size_t i = 0; i < png.rgba.size() / 4; ++i) {
            for (size_t k = 0; k < 4; ++k) {
                uint8_t v = k < n ? s[i * n + k] : 255;
                if (c.bits == 8) v = k == 0 ? PaletteRed(s[i]) : k == 1 ? PaletteGreen(s[i]) : k == 2 ? PaletteBlue(s[i]) : 255;
                if (c.bits == 16 && k < 3) v = uint8_t(v | v >> 5);
                ASSERT_EQ(png.rgba[4 * i + k], v) << "pixel " << i << ":" << k;
            }
        }
    }
}

// The default level follows the content: flat art, palette noise and
// colour noise of full range and of 5-bit levels.
TEST(PngLevels, DefaultLevelFollowsTheContent) {
    struct Case {
        const char* content;
        unsigned bits;
        uint32_t noise;  // range of the noise; 0: flat
        uint8_t mask;
        int level;
    };
    const Case cases[] = {{"flat palette", 8, 0, 0xFF, 7},        {"noisy palette", 8, 256, 0xFF, 6},
                          {"flat colour", 24, 0, 0xFF, 7},         {"noisy colour", 24, 64, 0xFF, 2},
                          {"noisy 5-bit colour", 24, 12, 0xF8, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        const uint32_t w = 400, h = 64;
        const size_t n = c.bits / 8;
        Samples s(size_t(w) * h * n);
        uint32_t noise = 7;
        for (size_t i = 0; i < s.size(); ++i) {
            noise = noise * 1103515245 + 12345;
            const uint32_t x = uint32_t(i / n % w), y = uint32_t(i / n / w), channel = uint32_t(i % n);
            // Colour pictures have over 256 colours: bands down a gradient.
            const uint32_t flat = n == 1 ? x / 50 * 30 : channel * 80 + y * 3 + x / 40 * 20;
            const uint32_t noisy = channel * 80 + x / 2 + y + (noise >> 16) % std::max(c.noise, 1u);
            s[i] = uint8_t((c.noise == 0 ? flat : noisy) & c.mask);
        }
        torva::BitmapView view;
        std::string error, png;
        int level = -1;
        const std::string bitmap = BitmapOf(c.bits, w, h, s, 0);
        ASSERT_TRUE(view.parse(bitmap, error)) << error;
        ASSERT_TRUE(torva::EncodePng(view, torva::PngLevel::Default, png, error, &level)) << error;
        EXPECT_EQ(level, c.level);
    }
}

}  // namespace
