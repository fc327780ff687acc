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
#include "tools/torva/commands_internal.h"
#include "tools/torva/file_times.h"
#include "tools/torva/glob.h"
#include "tools/torva/json.h"
#include "tools/torva/json_reader.h"
#include "tools/torva/manifest.h"
#include "tools/torva/list_file.h"
#include "tools/torva/options.h"
#include "tools/torva/file_system.h"
#include "tools/torva/staged_file.h"
#include "tools/torva/member_names.h"
#include "tools/torva/bitmap_png.h"
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
        SCOPED_TRACE(int(level));
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

TEST(FileNameFor, KeepsNamesInsideTheOutputDirectoryAndSaysWhy) {
    struct Case {
        std::string in, out;
        bool changed;
    };
    const Case cases[] = {
        {"CG001.QNT", "CG001.QNT", false},
        {"..\\..\\evil.txt", ".._.._evil.txt", true},
        {"../../etc/passwd", ".._.._etc_passwd", true},
        {"/abs/path.qnt", "_abs_path.qnt", true},
        {"C:\\windows\\x.dll", "C__windows_x.dll", true},
        {"..", "_.._", true},
        {".", "_._", true},
        {"", "_", true},
        {"a?b*c|d<e>f\"g", "a_b_c_d_e_f_g", true},
        {"trailing.", "trailing._", true},
        {"trailing ", "trailing _", true},
        {"nul.txt", "_nul.txt", true},
        {"COM1", "_COM1", true},
        {"console.txt", "console.txt", false},
        {"\xE8\xA1\xA8\xE7\xB4\x99.qnt", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", false},
        // Too long: cut at a character, the extension kept.
        {std::string(250, 'a') + ".qnt", std::string(196, 'a') + ".qnt", true},
    };
    for (const Case& c : cases) {
        std::string why;
        const std::string out = torva::FileNameFor(c.in, why);
        EXPECT_EQ(out, c.out) << c.in;
        EXPECT_EQ(!why.empty(), c.changed) << c.in;
        EXPECT_LE(out.size(), torva::kLongestFileName) << c.in;
    }
    // A long name of three-byte characters is cut between characters.
    std::string longName;
    for (int i = 0; i < 100; ++i) longName += "\xE7\xB4\x99";
    std::string why;
    const std::string cut = torva::FileNameFor(longName + ".pms", why);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".pms");
    EXPECT_EQ((cut.size() - 4) % 3, 0u);
}

TEST(DecodeMemberName, Cp932ToUtf8WithEscapesForWhatDoesNotDecode) {
    struct Case {
        std::string raw, cp932, raw_mode;
    };
    const Case cases[] = {
        {"CG001.QNT", "CG001.QNT", "CG001.QNT"},
        // 0x95 0x5C: a character whose trail byte is '\'.
        {"\x95\x5C\x8E\x86.qnt", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", "%95\\%8E%86.qnt"},
        {"\xB1\xB2", "\xEF\xBD\xB1\xEF\xBD\xB2", "%B1%B2"},  // half-width katakana
        {"100%.qnt", "100%.qnt", "100%25.qnt"},
        {"a\tb\x7F", "a%09b%7F", "a%09b%7F"},
        {"x\x80y\xFD", "x%80y%FD", "x%80y%FD"},   // bytes no character starts with
        {"ab\x95", "ab%95", "ab%95"},             // a lead byte at the end
        {"\x95/x", "%95/x", "%95/x"},             // a lead byte before no trail byte
        {"\x85\x40z", "%85@z", "%85@z"},          // a pair the code page leaves unassigned
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::DecodeMemberName(c.raw, torva::NameMode::Cp932), c.cp932) << c.raw;
        EXPECT_EQ(torva::DecodeMemberName(c.raw, torva::NameMode::Raw), c.raw_mode) << c.raw;
    }
    EXPECT_EQ(torva::HexBytes("\x95\x5C" "a"), "955c61");
}

TEST(ReplaceExtension, UsesTheLastDot) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"CG001.QNT", "CG001.png"}, {"a.b.pms", "a.b.png"}, {"noext", "noext.png"}, {".hidden", ".hidden.png"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::ReplaceExtension(c.in, ".png"), c.out) << c.in;
    }
}

TEST(NameRegistry, NumbersRepeatedNamesIgnoringCaseWithinADirectory) {
    torva::NameRegistry names;
    const std::pair<std::string, std::string> claims[][2] = {
        {{"", "a.png"}, {"", "a.png"}},     {{"", "A.PNG"}, {"", "A~2.PNG"}}, {{"", "a.png"}, {"", "a~3.png"}},
        {{"", "b"}, {"", "b"}},             {{"", "b"}, {"", "b~2"}},         {{"x", "a.png"}, {"", "a.png"}},
        {{"X", "a.png"}, {"", "a~2.png"}},  {{"x/y", "a.png"}, {"", "a.png"}},
    };
    for (const auto& claim : claims) {
        EXPECT_EQ(names.claim(claim[0].first, claim[0].second), claim[1].second)
            << claim[0].first << "/" << claim[0].second;
    }
}

TEST(ClaimOutputName, SaysOnceWhatWasChangedAndWhy) {
    torva::NameRegistry names;
    struct Case {
        const char* name;
        const char* claimed;
        const char* note;
    } cases[] = {
        {"a.png", "a.png", ""},
        {"A.PNG", "A~2.PNG", "written as A~2.PNG (A.PNG is the name of an earlier output)"},
        {"a:b.png", "a_b.png", "written as a_b.png (the name has characters a file name cannot have)"},
        {"a?b.png", "a_b~2.png",
         "written as a_b~2.png (the name has characters a file name cannot have; a_b.png is the name of an earlier "
         "output)"},
        {"CON.png", "_CON.png", "written as _CON.png (the name is reserved on Windows)"},
    };
    for (const Case& c : cases) {
        std::string note = "left over";
        EXPECT_EQ(torva::ClaimOutputName(names, "", c.name, note), c.claimed) << c.name;
        EXPECT_EQ(note, c.note) << c.name;
    }
    std::string note;
    EXPECT_EQ(torva::ClaimOutputName(names, "", "a.png", note, "shown as"), "a~3.png");
    EXPECT_EQ(note, "shown as a~3.png (a.png is the name of an earlier output)");
}

TEST(FormatLocalTime, CountsFrom1601) {
    struct Case {
        uint64_t ticks;
        int64_t offsetMinutes;
        const char* text;
    };
    const Case cases[] = {
        {116444736000000000ull, 0, "1970-01-01T00:00:00+00:00"},
        {116444736000000000ull + 10000000ull * (86400ull * 59 + 3661), 540, "1970-03-01T01:01:01+09:00"},
        // 2000-02-29 12:34:56, a leap day in a year divisible by 400.
        {116444736000000000ull + 10000000ull * 951827696ull, -330, "2000-02-29T12:34:56-05:30"},
        {10000000ull * 86400, 0, "1601-01-02T00:00:00+00:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::FormatLocalTime(c.ticks, c.offsetMinutes * 600000000), c.text) << c.ticks;
    }
}

TEST(MatchesPattern, NamesAndPatternsIgnoringAsciiCase) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.qnt", "sunset.qnt", true},       {"*.qnt", "SUNSET.QNT", true},     {"*.qnt", "bars.vsp", false},
        {"*.qnt", "a.qnt.bak", false},       {"s*t.*", "sunset.qnt", true},     {"?.pms", "a.pms", true},
        {"?.pms", "ab.pms", false},          {"?.qnt", "\xE8\xA1\xA8.qnt", true},  // '?' is one character
        {"[a-c]*", "bars.vsp", true},        {"[!a-c]*", "bars.vsp", false},    {"[ab", "[ab", true},
        {"*", "", true},                     {"", "x", false},                  {"**a*", "bab", true},
        {"\xE8\xA1\xA8*", "\xE8\xA1\xA8\xE7\xB4\x99.qnt", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(torva::MatchesPattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
    }
}

TEST(JsonString, EscapesAndKeepsTheDocumentValid) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"tab\t", "\"tab\\u0009\""},
        {"\xE8\xA1\xA8", "\"\xE8\xA1\xA8\""},
        {"bad\x95", "\"bad\xEF\xBF\xBD\""},
        {"\xC0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},  // an overlong form is no character
    };
    for (const Case& c : cases) EXPECT_EQ(torva::JsonString(c.in), c.out) << c.in;
}

TEST(ParseJson, TakesRfc8259AndNothingMore) {
    struct Case {
        std::string document;
        const char* error;  // part of the error, or null when the document is valid
    };
    const Case cases[] = {
        {"{\"a\": [1, -2.5e3, true, false, null, \"x\"], \"b\": {}}", nullptr},
        {" \r\n\t[] ", nullptr},
        {"\"\\u00e9\\ud83d\\ude00\\/\\n\"", nullptr},
        {"[1,]", "unexpected character"},
        {"{\"a\": 1,}", "expected a member name"},
        {"[1] [2]", "unexpected text after the document"},
        {"// no\n[]", "unexpected character"},
        {"[01]", "expected ',' or ']'"},
        {"[1.]", "a fraction needs digits"},
        {"[1e]", "an exponent needs digits"},
        {"\"\\ud800\"", "a lone high surrogate"},
        {"\"\\udc00\"", "a lone low surrogate"},
        {"\"tab\there\"", "a control character"},
        {"\"\xC3\x28\"", "not valid UTF-8"},
        {"\"\xED\xA0\x80\"", "not valid UTF-8"},
        {"\"\\x\"", "unknown escape"},
        {"{\"a\" 1}", "expected ':'"},
        {"[\n\n\"open", "line 3: a string is not closed"},
        {"", "unexpected end"},
        {std::string(64, '[') + std::string(64, ']'), nullptr},
        {std::string(65, '[') + std::string(65, ']'), "nested too deeply"},
    };
    for (const Case& c : cases) {
        torva::JsonValue value;
        std::string error;
        const bool parsed = torva::ParseJson(c.document, value, error);
        EXPECT_EQ(parsed, c.error == nullptr) << c.document << ": " << error;
        if (c.error != nullptr) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.document << ": " << error;
        }
    }
    torva::JsonValue value;
    std::string error;
    ASSERT_TRUE(torva::ParseJson("{\"s\": \"\\u00e9\\ud83d\\ude00\", \"n\": 12}", value, error));
    ASSERT_NE(value.find("s"), nullptr);
    EXPECT_EQ(value.find("s")->text, "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(value.find("missing"), nullptr);
}

TEST(AsUint64, ReadsNonNegativeIntegersExactly) {
    struct Case {
        const char* number;
        bool valid;
        uint64_t value;
    };
    const Case cases[] = {{"0", true, 0},
                          {"18446744073709551615", true, UINT64_MAX},
                          {"133590276000000000", true, 133590276000000000ull},
                          {"18446744073709551616", false, 0},
                          {"-1", false, 0},
                          {"1.0", false, 0},
                          {"1e3", false, 0}};
    for (const Case& c : cases) {
        torva::JsonValue value;
        std::string error;
        ASSERT_TRUE(torva::ParseJson(c.number, value, error)) << c.number;
        uint64_t out = 7;
        EXPECT_EQ(torva::AsUint64(value, out), c.valid) << c.number;
        if (c.valid) {
            EXPECT_EQ(out, c.value) << c.number;
        }
    }
}

// A manifest written is read back as it was; the fields that make it one
// are checked.
TEST(Manifest, ReadsBackWhatItWritesAndRefusesFaultyRows) {
    torva::Manifest manifest;
    manifest.ald = true;
    manifest.archive = "a.ald";
    manifest.size = 1234;
    manifest.rows.resize(2);
    manifest.rows[0].empty = false;
    manifest.rows[0].placed = true;
    manifest.rows[0].position = 800;
    manifest.rows[0].size = 0x80000000u;
    manifest.rows[0].name = std::string("\x95\x5c\x00x", 4);
    manifest.rows[0].fileTime = UINT64_MAX;
    manifest.rows[0].file = "one.qnt";
    manifest.rows[1].empty = false;
    manifest.rows[1].position = 900;
    manifest.layout.resize(3);
    manifest.layout[0].framing = std::string("\x00\x01\xff", 3);
    manifest.layout[1].row = 0;
    const std::string json = torva::ManifestJson(manifest);
    torva::Manifest back;
    std::string error;
    ASSERT_TRUE(torva::ParseManifest(json, back, error)) << error;
    ASSERT_EQ(back.rows.size(), 2u);
    EXPECT_TRUE(back.ald);
    EXPECT_EQ(back.size, 1234u);
    EXPECT_EQ(back.rows[0].name, manifest.rows[0].name);
    EXPECT_EQ(back.rows[0].fileTime, UINT64_MAX);
    EXPECT_EQ(back.rows[0].size, 0x80000000u);
    EXPECT_EQ(back.rows[0].file, "one.qnt");
    EXPECT_TRUE(back.rows[1].file.empty());
    EXPECT_FALSE(back.rows[1].placed);
    ASSERT_EQ(back.layout.size(), 3u);
    EXPECT_EQ(back.layout[0].framing, manifest.layout[0].framing);
    EXPECT_EQ(back.layout[1].row, 0);
    EXPECT_TRUE(torva::IsManifestName("a.ald.manifest.json"));
    EXPECT_FALSE(torva::IsManifestName(".manifest.json"));
    EXPECT_FALSE(torva::IsManifestName("a.manifest.json.bak"));

    struct Fault {
        std::string from, to;
        const char* error;
    };
    const Fault faults[] = {
        {"{\"row\": 1", "{\"row\": 2", "row 1 is numbered 2"},
        {"\"kind\": \"ALD\"", "\"kind\": \"ZIP\"", "\"kind\" is neither"},
        {"\"version\": 1", "\"version\": 2", "has version 2"},
        {"\"one.qnt\"", "\"sub/one.qnt\"", "outside the manifest's directory"},
        {"\"position\": 800", "\"position\": 4294967296", "\"position\" is not a valid number"},
        {"\"framing\": \"0001ff\"", "\"framing\": \"0001F\"", "not lower-case hexadecimal"},
        {"{\"row\": 0}", "{\"row\": 1}", "not a placed member"},
        {"{\"row\": 1, \"file\": null, \"placed\": false", "{\"row\": 1, \"file\": null, \"empty\": true",
         "ALD rows never are"},
    };
    for (const Fault& f : faults) {
        std::string text = json;
        const size_t at = text.find(f.from);
        ASSERT_NE(at, std::string::npos) << f.from;
        text.replace(at, f.from.size(), f.to);
        EXPECT_FALSE(torva::ParseManifest(text, back, error)) << f.to;
        EXPECT_NE(error.find(f.error), std::string::npos) << f.to << ": " << error;
    }
}

TEST(ParseOptions, RefusesWhatDoesNotGoTogether) {
    struct Case {
        const char* command;
        std::vector<std::string> arguments;
        const char* fault;  // empty: accepted
    };
    const Case cases[] = {
        {"convert", {"--depth", "16", "x"}, "--depth 16 applies to BMP only"},
        {"convert", {"--depth", "16", "-f", "bmp", "x"}, ""},
        {"convert", {"-d", "16", "-o", "one.bmp", "x"}, ""},
        {"convert", {"-o", "one.png", "-f", "bmp", "x"}, "is no bmp file"},
        {"convert", {"--overwrite", "--skip-existing", "x"}, "exclude each other"},
        {"convert", {"-j", "0", "x"}, "from 1 to 64"},
        {"convert", {"-j", "3x", "x"}, "from 1 to 64"},
        {"convert", {"--level", "max", "x"}, "unknown level"},
        {"convert", {"-", "-"}, "only once"},
        {"info", {"--name", "a.ald", "x"}, "no '-' is given"},
        {"info", {"--stdout", "x"}, "unknown option --stdout"},
        {"extract", {"--stdout", "-o", "d", "x"}, "exclude each other"},
        {"list", {"--json=yes", "x"}, "unknown option --json=yes"},
        {"list", {"--names", "utf16", "x"}, "unknown names"},
    };
    for (const Case& c : cases) {
        torva::Options options;
        std::string fault;
        const bool accepted = torva::ParseOptions(c.command, c.arguments, options, fault);
        EXPECT_EQ(accepted, *c.fault == '\0') << c.arguments[0] << ": " << fault;
        EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
    }
}

TEST(Progress, BarFillsWithWorkDoneAndKeepsTheEndOfLongLabels) {
    EXPECT_EQ(torva::Progress::Render(0, 4, "a", 79).substr(0, 37), "[..............................] 0/4 ");
    EXPECT_EQ(torva::Progress::Render(2, 4, "a", 79).substr(0, 17), "[###############.");
    EXPECT_EQ(torva::Progress::Render(4, 4, "a", 79).substr(0, 32), "[##############################]");
    const std::string line = torva::Progress::Render(1, 2, std::string(100, 'x') + "END.qnt", 60);
    EXPECT_EQ(line.size(), 60u);
    EXPECT_EQ(line.substr(line.size() - 7), "END.qnt");
    // A label of three-byte characters is cut between characters.
    std::string wide;
    for (int i = 0; i < 40; ++i) wide += "\xE7\xB4\x99";
    const std::string cut = torva::Progress::Render(1, 2, wide, 60);
    EXPECT_EQ(cut.substr(cut.find("...") + 3).size() % 3, 0u);
}

TEST(WriteFileAtomically, LeavesOnlyTheFinishedFile) {
    const std::string directory = testing::TempDir();
    const std::string path = torva::JoinPath(directory, "torva_atomic_test.bin");
    std::string error;
    bool existed = false;
    torva::RemoveFileQuietly(path);
    ASSERT_TRUE(torva::WriteFileAtomically(path, "first", torva::Replace::Never, existed, error)) << error;
    // Never leaves an existing file alone and says so; Always replaces it.
    EXPECT_FALSE(torva::WriteFileAtomically(path, "other", torva::Replace::Never, existed, error));
    EXPECT_TRUE(existed);
    ASSERT_TRUE(torva::WriteFileAtomically(path, "second, longer", torva::Replace::Always, existed, error)) << error;
    {
        torva::InputFile input;
        ASSERT_TRUE(input.open(path, error));
        std::string bytes;
        ASSERT_TRUE(input.read(0, size_t(input.size()), bytes));
        EXPECT_EQ(bytes, "second, longer");
    }
    std::vector<torva::DirectoryEntry> entries;
    ASSERT_TRUE(torva::ListDirectory(directory, entries, error));
    for (const auto& entry : entries) EXPECT_EQ(entry.name.find(".partial"), std::string::npos) << entry.name;
    torva::RemoveFileQuietly(path);
    EXPECT_FALSE(torva::FileExists(path));

    // A target that cannot be written leaves nothing behind.
    const std::string blocked = torva::JoinPath(torva::JoinPath(directory, "no_such_dir_for_torva"), "x.bin");
    EXPECT_FALSE(torva::WriteFileAtomically(blocked, "x", torva::Replace::Always, existed, error));
    EXPECT_FALSE(torva::FileExists(blocked));
}

TEST(ParseOptions, ShortOptionsCombineAndTheLastMayTakeAValue) {
    struct Case {
        const char* command;
        std::vector<std::string> arguments;
        const char* fault;  // empty: accepted
        bool recursive, verbose;
        const char* output;
    };
    const Case cases[] = {
        {"convert", {"-rv", "x"}, "", true, true, ""},
        {"convert", {"-vr", "x"}, "", true, true, ""},
        {"convert", {"-rvo", "out", "x"}, "", true, true, "out"},
        {"convert", {"-vout", "x"}, "", false, true, "ut"},
        {"convert", {"-oout", "x"}, "", false, false, "out"},
        {"convert", {"-rx", "x"}, "unknown option -x", false, false, ""},
        {"convert", {"-ro"}, "option -o needs a value", false, false, ""},
        {"list", {"-rv", "x"}, "unknown option -v", false, false, ""},
        {"convert", {"--recursive=v", "x"}, "unknown option --recursive=v", false, false, ""},
    };
    for (const Case& c : cases) {
        torva::Options options;
        std::string fault;
        const bool accepted = torva::ParseOptions(c.command, c.arguments, options, fault);
        EXPECT_EQ(accepted, *c.fault == '\0') << c.arguments[0] << ": " << fault;
        EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
        if (!accepted) continue;
        EXPECT_EQ(options.recursive, c.recursive) << c.arguments[0];
        EXPECT_EQ(options.verbose, c.verbose) << c.arguments[0];
        EXPECT_EQ(options.output, c.output) << c.arguments[0];
    }
}

TEST(OutputExtension, OnlyTheLastComponentsOwnCounts) {
    const std::pair<const char*, const char*> cases[] = {
        {"one.PNG", ".png"}, {"out.d/one.jpg", ".jpg"}, {"out.d/", ""},   {"plain", ""},
        {".hidden", ""},     {"name.", ""},             {"a/b.c/d", ""}, {"..", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(torva::OutputExtension(c.first), c.second) << c.first;
}

TEST(ListEntries, Utf8LinesWithoutAByteOrderMarkOrEmptyLines) {
    struct Case {
        std::string text;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"a.qnt\nb.qnt\n", {"a.qnt", "b.qnt"}},
        {"\xEF\xBB\xBF" "a.qnt\r\nb.qnt", {"a.qnt", "b.qnt"}},
        {"\xEF\xBB\xBF", {}},
        {"\n\r\n\xE8\xA1\xA8.qnt\n\n", {"\xE8\xA1\xA8.qnt"}},
        // Only a mark at the very start is one.
        {"a\n\xEF\xBB\xBF" "b", {"a", "\xEF\xBB\xBF" "b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(torva::ListEntries(c.text), c.entries) << c.text;
}

}  // namespace
