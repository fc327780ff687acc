// The parts of the torva tool that do not need the plug-in: PNG encoding
// (decoded again with libpng where it is available), names made safe for
// the file system, time stamps, the progress line and atomic writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/torva/bitmap_view.h"
#include "tools/torva/commands.h"
#include "tools/torva/file_system.h"
#include "tools/torva/member_names.h"
#include "tools/torva/png_encoder.h"
#include "tools/torva/progress.h"

#ifdef TORVA_HAVE_LIBPNG
#include <png.h>
#endif

namespace {

void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = char(v);
    s[at + 1] = char(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// A bitmap file image of the given depth whose pixel (x, y), counted from
// the top, is pixel(x, y) as it would be stored; `expected` receives what a
// reader should see.
std::string MakeBitmap(uint32_t w, uint32_t h, unsigned bits, std::vector<Rgba>& expected) {
    const size_t table = bits == 4 ? 64 : bits == 8 ? 1024 : 0;
    const size_t offset = 54 + table;
    const size_t stride = ((w * bits + 31) >> 3) & ~size_t(3);
    std::string s(offset + stride * h, '\0');
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 2, uint32_t(s.size()));
    Put32(s, 10, uint32_t(offset));
    Put32(s, 14, 40);
    Put32(s, 18, w);
    Put32(s, 22, h);
    Put16(s, 26, 1);
    Put16(s, 28, uint16_t(bits));
    Put32(s, 34, uint32_t(stride * h));
    for (size_t i = 0; i < table / 4; ++i) {  // blue, green, red, 0
        s[54 + 4 * i] = char(i * 7);
        s[54 + 4 * i + 1] = char(255 - i);
        s[54 + 4 * i + 2] = char(i * 3 + 1);
    }
    expected.assign(size_t(w) * h, Rgba{0, 0, 0, 255});
    for (uint32_t y = 0; y < h; ++y) {
        char* row = &s[offset + (h - 1 - y) * stride];
        for (uint32_t x = 0; x < w; ++x) {
            const unsigned v = (x * 37 + y * 101 + x * y) & 0xFFFF;
            Rgba& e = expected[size_t(y) * w + x];
            if (bits == 4) {
                const unsigned index = v & 15;
                row[x / 2] = char(row[x / 2] | (x % 2 == 0 ? index << 4 : index));
                e = Rgba{uint8_t(index * 3 + 1), uint8_t(255 - index), uint8_t(index * 7), 255};
            } else if (bits == 8) {
                const unsigned index = v & 255;
                row[x] = char(index);
                e = Rgba{uint8_t(index * 3 + 1), uint8_t(255 - index), uint8_t(index * 7), 255};
            } else if (bits == 16) {
                const unsigned p = v & 0x7FFF;
                row[2 * x] = char(p);
                row[2 * x + 1] = char(p >> 8);
                auto widen = [](unsigned c) { return uint8_t((c << 3) | (c >> 2)); };
                e = Rgba{widen(p >> 10 & 31), widen(p >> 5 & 31), widen(p & 31), 255};
            } else {
                const size_t n = bits / 8;
                row[n * x] = char(v);           // blue
                row[n * x + 1] = char(v >> 3);  // green
                row[n * x + 2] = char(x + y);   // red
                e = Rgba{uint8_t(x + y), uint8_t(v >> 3), uint8_t(v), 255};
                if (bits == 32) {
                    row[n * x + 3] = char(y * 16 + x);
                    e.a = uint8_t(y * 16 + x);
                }
            }
        }
    }
    return s;
}

struct PngCase {
    uint32_t width, height;
    unsigned bits;
    uint8_t colourType, sampleDepth;
};

class PngEncoding : public testing::TestWithParam<PngCase> {};

TEST_P(PngEncoding, HeaderMatchesDepthAndPixelsSurviveARoundTrip) {
    const PngCase c = GetParam();
    std::vector<Rgba> expected;
    const std::string bmp = MakeBitmap(c.width, c.height, c.bits, expected);
    torva::BitmapView view;
    std::string error;
    ASSERT_TRUE(view.parse(bmp, error)) << error;
    for (const torva::PngLevel level : {torva::PngLevel::Fast, torva::PngLevel::Default, torva::PngLevel::Best}) {
        SCOPED_TRACE(torva::DeflateLevel(level));
        std::string png;
        ASSERT_TRUE(torva::EncodePng(view, level, png, error)) << error;

        ASSERT_GT(png.size(), 33u);
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        EXPECT_EQ(png.substr(12, 4), "IHDR");
        EXPECT_EQ(uint8_t(png[24]), c.sampleDepth);
        EXPECT_EQ(uint8_t(png[25]), c.colourType);
        EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");

        // Encoding is deterministic: the same bitmap gives the same bytes.
        std::string again;
        ASSERT_TRUE(torva::EncodePng(view, level, again, error));
        EXPECT_EQ(png, again);

#ifdef TORVA_HAVE_LIBPNG
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size())) << image.message;
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        image.format = PNG_FORMAT_RGBA;
        std::vector<Rgba> decoded(size_t(c.width) * c.height);
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr)) << image.message;
        for (size_t i = 0; i < decoded.size(); ++i) {
            ASSERT_TRUE(decoded[i] == expected[i]) << "pixel " << i % c.width << "," << i / c.width;
        }
#endif
    }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, PngEncoding,
                         testing::Values(PngCase{7, 5, 4, 3, 4}, PngCase{1, 1, 4, 3, 1}, PngCase{9, 4, 8, 3, 8},
                                         PngCase{29, 11, 16, 2, 8}, PngCase{40, 9, 24, 2, 8},
                                         PngCase{19, 17, 24, 2, 8}, PngCase{23, 13, 32, 6, 8},
                                         // Few colours: a palette of them.
                                         PngCase{5, 3, 16, 3, 4}, PngCase{3, 7, 24, 3, 8},
                                         PngCase{5, 4, 32, 3, 8}));

TEST(BitmapView, RejectsBitmapsThatAreCutShortOrOdd) {
    std::vector<Rgba> expected;
    const std::string good = MakeBitmap(4, 4, 24, expected);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string noPixels = good.substr(0, good.size() - 1);
    std::string badDepth = good;
    Put16(badDepth, 28, 12);
    std::string zeroWidth = good;
    Put32(zeroWidth, 18, 0);
    std::string notBitmap = good;
    notBitmap[0] = 'X';
    std::string shortTable = MakeBitmap(4, 4, 8, expected);
    Put32(shortTable, 10, 54 + 512);
    const Case cases[] = {{"rows cut short", noPixels},
                          {"12-bit depth", badDepth},
                          {"zero width", zeroWidth},
                          {"no BM", notBitmap},
                          {"colour table inside pixels", shortTable},
                          {"headers only", good.substr(0, 54)}};
    for (const Case& c : cases) {
        torva::BitmapView view;
        std::string error;
        EXPECT_FALSE(view.parse(c.bytes, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(SafeMemberName, KeepsNamesInsideTheOutputDirectory) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"CG001.QNT", "CG001.QNT"},
        {"..\\..\\evil.txt", ".._.._evil.txt"},
        {"../../etc/passwd", ".._.._etc_passwd"},
        {"/abs/path.qnt", "_abs_path.qnt"},
        {"C:\\windows\\x.dll", "C__windows_x.dll"},
        {"..", "_.._"},
        {".", "_._"},
        {"", "_"},
        {"a?b*c|d<e>f\"g", "a_b_c_d_e_f_g"},
        {std::string("tab\there"), "tab_here"},
        {"trailing.", "trailing._"},
        {"trailing ", "trailing _"},
        {"nul.txt", "_nul.txt"},
        {"COM1", "_COM1"},
        {"console.txt", "console.txt"},
        // Shift-JIS: 0x95 0x5C is one character whose trail byte is '\'.
        {"\x95\x5C.qnt", "\x95\x5C.qnt"},
        {"\x89\xE6\x91\x9C.pms", "\x89\xE6\x91\x9C.pms"},
        // A lead byte followed by '/' is no character: the '/' separates.
        {"\x95/x", "\x95_x"},
        // A lead byte at the end stays as it is.
        {"ab\x95", "ab\x95"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::SafeMemberName(c.in), c.out) << c.in;
    }
}

TEST(ReplaceExtension, UsesTheLastDotThatIsACharacter) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"CG001.QNT", "CG001.png"},
        {"a.b.pms", "a.b.png"},
        {"noext", "noext.png"},
        {".hidden", ".hidden.png"},
        // '.' is never a trail byte, so it ends the name's stem even after a
        // lead byte.
        {"\x81.x", "\x81.png"},
        // A trail byte of 0x5C or 0x40+ inside a pair is no separator or dot.
        {"\x95\x5C", "\x95\x5C.png"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::ReplaceExtension(c.in, ".png"), c.out) << c.in;
    }
}

TEST(NameRegistry, NumbersRepeatedNamesIgnoringCase) {
    torva::NameRegistry names;
    EXPECT_EQ(names.claim("a.png"), "a.png");
    EXPECT_EQ(names.claim("A.PNG"), "A~2.PNG");
    EXPECT_EQ(names.claim("a.png"), "a~3.png");
    EXPECT_EQ(names.claim("b"), "b");
    EXPECT_EQ(names.claim("b"), "b~2");
}

TEST(FormatFileTime, CountsFrom1601) {
    struct Case {
        uint64_t ticks;
        const char* text;
    };
    const Case cases[] = {
        {0, "-"},
        {116444736000000000ull, "1970-01-01 00:00:00"},
        {116444736000000000ull + 10000000ull * (86400ull * 59 + 3661), "1970-03-01 01:01:01"},
        // 2000-02-29 12:34:56, a leap day in a year divisible by 400.
        {116444736000000000ull + 10000000ull * 951827696ull, "2000-02-29 12:34:56"},
        {10000000ull * 86400, "1601-01-02 00:00:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::FormatFileTime(uint32_t(c.ticks), uint32_t(c.ticks >> 32)), c.text) << c.ticks;
    }
}

TEST(Progress, BarFillsWithWorkDoneAndKeepsTheEndOfLongLabels) {
    EXPECT_EQ(torva::Progress::Render(0, 4, "a", 79).substr(0, 37), "[..............................] 0/4 ");
    EXPECT_EQ(torva::Progress::Render(2, 4, "a", 79).substr(0, 17), "[###############.");
    EXPECT_EQ(torva::Progress::Render(4, 4, "a", 79).substr(0, 32), "[##############################]");
    const std::string line = torva::Progress::Render(1, 2, std::string(100, 'x') + "END.qnt", 60);
    EXPECT_EQ(line.size(), 60u);
    EXPECT_EQ(line.substr(line.size() - 7), "END.qnt");
}

TEST(WriteFileAtomically, LeavesOnlyTheFinishedFile) {
    const std::string directory = testing::TempDir();
    const std::string path = torva::JoinPath(directory, "torva_atomic_test.bin");
    std::string error;
    ASSERT_TRUE(torva::WriteFileAtomically(path, "first", error)) << error;
    ASSERT_TRUE(torva::WriteFileAtomically(path, "second, longer", error)) << error;
    torva::InputFile input;
    ASSERT_TRUE(input.open(path, error));
    std::string bytes;
    ASSERT_TRUE(input.read(0, size_t(input.size()), bytes));
    EXPECT_EQ(bytes, "second, longer");
    EXPECT_FALSE(torva::FileExists(torva::JoinPath(directory, ".torva_atomic_test.bin.torva-partial")));
    std::remove(path.c_str());

    // A target that cannot be written leaves nothing behind.
    const std::string blocked = torva::JoinPath(torva::JoinPath(directory, "no_such_dir_for_torva"), "x.bin");
    EXPECT_FALSE(torva::WriteFileAtomically(blocked, "x", error));
    EXPECT_FALSE(torva::FileExists(blocked));
}

}  // namespace
