// The encoders and packers, checked through the plug-in: every file written
// is read back by KRV_GetImage or KRV_GetArchiveInfo and must give the source
// pixels or members exactly. Random pictures of every kind, depth and size.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "author/archive_packer.h"
#include "author/picture_encoder.h"
#include "author/qnt_encoder.h"
#include "plugin/entry_points.h"
#include "tests/support/test_support.h"

namespace {

using author::AuthorStatus;
using author::ByteBuffer;
using author::EncodeOptions;
using author::ParseStrategy;
using author::PictureFormat;
using torvatest::Bytes;

// A picture of `colours` colours (RGB from `levels` when given) with the
// structure the codes are made for: flat runs, pairs, rows repeated from one
// or two rows up, shifted rows, and noise.
struct TestPicture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

TestPicture MakePicture(uint32_t width, uint32_t height, uint32_t colours, bool fourBitLevels, bool alpha, uint64_t seed) {
    torvatest::Random random(seed);
    std::vector<uint32_t> palette(colours);
    for (uint32_t& c : palette) {
        c = random.next() & 0xFFFFFF;
        if (fourBitLevels) c = (c & 0x0F0F0F) * 17;
    }
    TestPicture p{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
    std::vector<uint32_t> index(size_t(width) * height);
    for (size_t i = 0; i < index.size();) {
        const uint32_t kind = random.below(6), length = 1 + random.below(40);
        for (uint32_t k = 0; k < length && i < index.size(); ++k, ++i) {
            const uint32_t fresh = random.below(colours);
            if (kind == 0) index[i] = i > 0 ? index[i - 1] : fresh;
            else if (kind == 1) index[i] = i >= 2 ? index[i - 2] : fresh;
            else if (kind == 2) index[i] = i >= width ? index[i - width] : fresh;
            else if (kind == 3) index[i] = i >= 2 * width ? index[i - 2 * width] : fresh;
            else if (kind == 4) index[i] = i > width ? index[i - width - 1] : fresh;
            else index[i] = fresh;
        }
    }
    for (size_t i = 0; i < index.size(); ++i) {
        const uint32_t c = palette[index[i]];
        p.rgba[i * 4] = uint8_t(c >> 16);
        p.rgba[i * 4 + 1] = uint8_t(c >> 8);
        p.rgba[i * 4 + 2] = uint8_t(c);
        p.rgba[i * 4 + 3] = alpha ? uint8_t(random.below(3) == 0 ? 255 : random.next()) : 255;
    }
    return p;
}

author::SourcePicture Source(const TestPicture& p) {
    author::SourcePicture s;
    s.width = p.width;
    s.height = p.height;
    s.rgba = p.rgba.data();
    return s;
}

Bytes Encode(const TestPicture& p, PictureFormat format, ParseStrategy strategy = ParseStrategy::Shortest,
             uint32_t left = 0, uint32_t top = 0) {
    EncodeOptions options;
    options.format = format;
    options.strategy = strategy;
    options.left = left;
    options.top = top;
    ByteBuffer file;
    EXPECT_EQ(author::EncodePicture(Source(p), options, file), AuthorStatus::Ok);
    return Bytes(file.data(), file.data() + file.size());
}

// The colour of pixel (x, y) as the bitmap the plug-in built shows it:
// red, green, blue, alpha (255 where the bitmap has none).
uint32_t BitmapPixel(const torvatest::BitmapResult& bmp, uint32_t x, uint32_t y) {
    const BITMAPINFOHEADER& h = bmp.infoHeader;
    const uint32_t bits = h.biBitCount, stride = ((h.biWidth * bits + 31) >> 3) & ~3u;
    const uint8_t* row = bmp.pixels() + size_t(h.biHeight - 1 - y) * stride;
    const uint8_t* table = bmp.bytes.data() + 54;
    const uint8_t* bgr;
    if (bits == 4) bgr = table + 4 * ((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
    else if (bits == 8) bgr = table + 4 * row[x];
    else bgr = row + x * (bits / 8);
    const uint32_t a = bits == 32 ? bgr[3] : 255;
    return uint32_t(bgr[2]) << 24 | uint32_t(bgr[1]) << 16 | uint32_t(bgr[0]) << 8 | a;
}

// Compares the decoded bitmap with `expected` (RGBA), pixel for pixel.
void ExpectDecodesTo(const Bytes& file, const char* name, const TestPicture& expected) {
    const torvatest::BitmapResult bmp = torvatest::GetBitmap(file, name, -1);
    ASSERT_EQ(bmp.result, 0);
    ASSERT_EQ(uint32_t(bmp.infoHeader.biWidth), expected.width);
    ASSERT_EQ(uint32_t(bmp.infoHeader.biHeight), expected.height);
    for (uint32_t y = 0; y < expected.height; ++y) {
        for (uint32_t x = 0; x < expected.width; ++x) {
            const uint8_t* e = &expected.rgba[(size_t(y) * expected.width + x) * 4];
            const uint32_t want = uint32_t(e[0]) << 24 | uint32_t(e[1]) << 16 | uint32_t(e[2]) << 8 | e[3];
            ASSERT_EQ(BitmapPixel(bmp, x, y), want) << "at " << x << "," << y;
        }
    }
}

// The picture with every colour moved to the nearest 5-6-5 value, widened
// again as the reader widens it.
TestPicture Widened565(TestPicture p) {
    auto widen = [](unsigned v, unsigned bits) {
        const unsigned max = (1u << bits) - 1;
        const unsigned c = (v * max + 127) / 255;
        return uint8_t(((max >> 1) + 255 * c) / max);
    };
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        p.rgba[i] = widen(p.rgba[i], 5);
        p.rgba[i + 1] = widen(p.rgba[i + 1], 6);
        p.rgba[i + 2] = widen(p.rgba[i + 2], 5);
    }
    return p;
}

struct RoundTripCase {
    PictureFormat format;
    uint32_t width, height;
    bool alpha;
};

class AuthorRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(AuthorRoundTripTest, DecodesToTheSourceAndBeatsTheGreedyParse) {
    const RoundTripCase& c = GetParam();
    const bool vsp = c.format == PictureFormat::Vsp;
    const uint32_t colours = vsp ? 16 : c.format == PictureFormat::Pms8 ? 256 : 4000;
    for (uint64_t seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        TestPicture picture = MakePicture(c.width, c.height, colours, vsp, c.alpha, seed * 7919 + c.width);
        if (c.format == PictureFormat::Pms16) picture = Widened565(picture);
        const char* name = vsp ? "x.vsp" : c.format == PictureFormat::Qnt ? "x.qnt" : "x.pms";
        // A VSP at a position that keeps it on the 640 x 400 screen.
        const uint32_t left = std::min<uint32_t>(8 * (seed % 3), 640 - std::min<uint32_t>(c.width, 640));
        const uint32_t top = std::min<uint32_t>(uint32_t(seed), 400 - std::min<uint32_t>(c.height, 400));
        const Bytes file = vsp ? Encode(picture, c.format, ParseStrategy::Shortest, left, top) : Encode(picture, c.format);
        ExpectDecodesTo(file, name, picture);
        if (c.format != PictureFormat::Qnt) {
            EXPECT_LE(file.size(), Encode(picture, c.format, ParseStrategy::Greedy).size());
        }
    }
}

const RoundTripCase kRoundTrips[] = {
    {PictureFormat::Qnt, 1, 1, false},    {PictureFormat::Qnt, 1, 1, true},     {PictureFormat::Qnt, 7, 5, true},
    {PictureFormat::Qnt, 64, 33, false},  {PictureFormat::Qnt, 101, 67, true},  {PictureFormat::Qnt, 1, 50, false},
    {PictureFormat::Pms8, 1, 1, false},   {PictureFormat::Pms8, 3, 7, false},   {PictureFormat::Pms8, 1, 40, false},
    {PictureFormat::Pms8, 97, 61, false}, {PictureFormat::Pms16, 1, 1, false},  {PictureFormat::Pms16, 5, 3, true},
    {PictureFormat::Pms16, 2, 30, false}, {PictureFormat::Pms16, 83, 45, true}, {PictureFormat::Vsp, 8, 1, false},
    {PictureFormat::Vsp, 16, 13, false},  {PictureFormat::Vsp, 72, 97, false},  {PictureFormat::Vsp, 640, 400, false},
};

INSTANTIATE_TEST_SUITE_P(Pictures, AuthorRoundTripTest, ::testing::ValuesIn(kRoundTrips));

// QNT streams are never larger than zlib's strongest level makes them.
TEST(QntEncoderTest, NoLargerThanZlibLevel9) {
    for (uint32_t size : {1u, 9u, 64u, 200u}) {
        const TestPicture picture = MakePicture(size, size, 300, false, size % 2 == 1, size);
        ByteBuffer residuals, file;
        ASSERT_EQ(author::QntColourResiduals(picture.rgba.data(), size, size, residuals), AuthorStatus::Ok);
        author::QntEncodeInfo info;
        ASSERT_EQ(author::EncodeQnt(picture.rgba.data(), size, size, file, &info), AuthorStatus::Ok);
        std::vector<uint8_t> zlib(compressBound(uLong(residuals.size())));
        uLongf length = uLongf(zlib.size());
        ASSERT_EQ(compress2(zlib.data(), &length, residuals.data(), uLong(residuals.size()), 9), Z_OK);
        EXPECT_LE(info.colourStream, length) << size;
    }
}

struct RefusalCase {
    const char* label;
    PictureFormat format;
    uint32_t width, height, colours;
    bool levels, alpha;
    uint32_t left, top;
    AuthorStatus expected;
};

class AuthorRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(AuthorRefusalTest, SaysWhyAndWritesNothing) {
    const RefusalCase& c = GetParam();
    const TestPicture picture = MakePicture(c.width, c.height, c.colours, c.levels, c.alpha, 5);
    // Exactly `colours` colours, so that the count is known.
    TestPicture p = picture;
    for (uint32_t i = 0; i < c.width * c.height; ++i) {
        const uint32_t v = c.levels ? (i % c.colours % 16) * 17 : i % c.colours;
        p.rgba[i * 4] = uint8_t(v);
        p.rgba[i * 4 + 1] = uint8_t(v >> 8);
        p.rgba[i * 4 + 2] = c.levels ? uint8_t(i % c.colours / 16 * 17) : 0;
    }
    EncodeOptions options;
    options.format = c.format;
    options.left = c.left;
    options.top = c.top;
    ByteBuffer file;
    author::EncodeReport report;
    EXPECT_EQ(author::EncodePicture(Source(p), options, file, &report), c.expected);
    EXPECT_EQ(file.size(), 0u);
    if (c.expected == AuthorStatus::TooManyColours) {
        EXPECT_EQ(report.colours, c.colours);
    }
}

const RefusalCase kRefusals[] = {
    {"pms8_257_colours", PictureFormat::Pms8, 40, 10, 257, false, false, 0, 0, AuthorStatus::TooManyColours},
    {"pms8_alpha", PictureFormat::Pms8, 4, 4, 3, false, true, 0, 0, AuthorStatus::HasAlpha},
    {"vsp_17_colours", PictureFormat::Vsp, 16, 4, 17, true, false, 0, 0, AuthorStatus::TooManyColours},
    {"vsp_not_levels", PictureFormat::Vsp, 16, 4, 5, false, false, 0, 0, AuthorStatus::NotFourBitLevels},
    {"vsp_width_12", PictureFormat::Vsp, 12, 4, 2, true, false, 0, 0, AuthorStatus::BadWidth},
    {"vsp_648_wide", PictureFormat::Vsp, 648, 2, 2, true, false, 0, 0, AuthorStatus::OutOfBounds},
    {"vsp_401_high", PictureFormat::Vsp, 8, 401, 2, true, false, 0, 0, AuthorStatus::OutOfBounds},
    {"vsp_left_not_8", PictureFormat::Vsp, 8, 2, 2, true, false, 4, 0, AuthorStatus::OutOfBounds},
    {"vsp_left_648", PictureFormat::Vsp, 8, 2, 2, true, false, 648, 0, AuthorStatus::OutOfBounds},
    {"vsp_top_401", PictureFormat::Vsp, 8, 2, 2, true, false, 0, 401, AuthorStatus::OutOfBounds},
    {"vsp_past_right_edge", PictureFormat::Vsp, 16, 2, 2, true, false, 632, 0, AuthorStatus::OutOfBounds},
    {"vsp_past_bottom_edge", PictureFormat::Vsp, 8, 2, 2, true, false, 0, 399, AuthorStatus::OutOfBounds},
    {"vsp_alpha", PictureFormat::Vsp, 8, 2, 2, true, true, 0, 0, AuthorStatus::HasAlpha},
    {"qnt_width_65536", PictureFormat::Qnt, 65536, 1, 2, false, false, 0, 0, AuthorStatus::TooLarge},
};

INSTANTIATE_TEST_SUITE_P(Cases, AuthorRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.label; });

// ------------------------------------------------------------------ archives

struct Listed {
    std::string name;
    uint64_t position, size, time;
};

std::vector<Listed> ListThroughPlugin(const ByteBuffer& archive, const std::string& name) {
    const Bytes bytes(archive.data(), archive.data() + archive.size());
    torvatest::TempFile temp(bytes, ".bin");
    torvatest::OpenFile handle(temp.path());
    torvatest::HostRecord record(bytes, name, handle.handle());
    HGLOBAL block = nullptr;
    int32_t count = 0;
    EXPECT_EQ(KRV_GetArchiveInfo(record.get(), &block, &count), 0);
    std::vector<Listed> out;
    if (block == nullptr) return out;
    const Bytes raw = torvatest::BlockBytes(block, size_t(count) * sizeof(ArchiveEntry));
    GlobalFree(block);
    for (int32_t i = 0; i < count; ++i) {
        ArchiveEntry e;
        std::memcpy(&e, raw.data() + size_t(i) * sizeof e, sizeof e);
        out.push_back({e.name, e.position, uint64_t(e.size),
                       uint64_t(e.timestamp.dwHighDateTime) << 32 | e.timestamp.dwLowDateTime});
    }
    return out;
}

uint64_t LocalTime(uint64_t utc) {
    FILETIME in = {DWORD(utc), DWORD(utc >> 32)}, out = {0, 0};
    FileTimeToLocalFileTime(&in, &out);
    return uint64_t(out.dwHighDateTime) << 32 | out.dwLowDateTime;
}

TEST(ArchivePackerTest, MembersListAndReadBackThroughThePlugin) {
    const std::vector<std::string> names = {"CG0001.QNT", "\x95\x5c\x8e\x86.pms", "empty", "b", std::string(47, 'n')};
    const std::vector<size_t> sizes = {700, 10, 0, 256 - 32, 1000};
    std::vector<std::vector<uint8_t>> data;
    std::vector<author::PackMember> members;
    std::vector<const uint8_t*> pointers;
    torvatest::Random random(3);
    for (size_t i = 0; i < names.size(); ++i) {
        data.emplace_back(sizes[i]);
        for (uint8_t& b : data.back()) b = uint8_t(random.next());
    }
    for (size_t i = 0; i < names.size(); ++i) {
        author::PackMember m;
        m.name = reinterpret_cast<const uint8_t*>(names[i].data());
        m.nameLength = names[i].size();
        m.size = sizes[i];
        m.fileTime = 0x01D9A1B2C3D4E5F0ull + i * 10000000ull;
        members.push_back(m);
        pointers.push_back(data[i].data());
    }
    for (const bool ald : {true, false}) {
        SCOPED_TRACE(ald ? "ald" : "alk");
        ByteBuffer archive;
        author::MemorySink sink(archive, pointers.data(), members.data());
        ASSERT_EQ(ald ? author::PackAld(members.data(), members.size(), sink)
                      : author::PackAlk(members.data(), members.size(), sink),
                  AuthorStatus::Ok);
        const std::vector<Listed> listed = ListThroughPlugin(archive, ald ? "C:\\x\\Pack.ald" : "C:\\x\\Pack.alk");
        // An ALK's empty member is an empty row, which lists nothing.
        ASSERT_EQ(listed.size(), ald ? names.size() : names.size() - 1);
        for (size_t i = 0, j = 0; i < names.size(); ++i) {
            if (!ald && sizes[i] == 0) continue;
            const Listed& l = listed[j++];
            EXPECT_EQ(l.name, ald ? names[i] : "Pack_00" + std::to_string(j) + ".dat");
            EXPECT_EQ(l.size, sizes[i]);
            EXPECT_EQ(l.time, ald ? LocalTime(members[i].fileTime) : 0u);
            ASSERT_LE(l.position + l.size, archive.size());
            EXPECT_TRUE(std::equal(data[i].begin(), data[i].end(), archive.data() + l.position));
        }
    }
}

TEST(ArchivePackerTest, RefusesWhatTheFormatCannotHold) {
    struct Case {
        std::string name;
        uint64_t size;
        size_t count;
        bool ald;
        AuthorStatus expected;
    };
    const Case cases[] = {
        {std::string(48, 'n'), 1, 1, true, AuthorStatus::NameTooLong},
        {"", 1, 1, true, AuthorStatus::NameEmpty},
        {std::string("a\0b", 3), 1, 1, true, AuthorStatus::NameEmpty},
        {"big", uint64_t{1} << 31, 1, true, AuthorStatus::MemberTooLarge},
        {"many", 0, author::kAldMostMembers + 1, true, AuthorStatus::TooManyMembers},
        {"x", 1u << 30, 3, true, AuthorStatus::ArchiveTooLarge},
        {"x", 1u << 30, 2, false, AuthorStatus::ArchiveTooLarge},
        {"x", 1, 0, false, AuthorStatus::NoMembers},
    };
    for (const Case& c : cases) {
        author::PackMember m;
        m.name = reinterpret_cast<const uint8_t*>(c.name.data());
        m.nameLength = c.name.size();
        m.size = c.size;
        const std::vector<author::PackMember> members(c.count, m);
        const std::vector<const uint8_t*> none(c.count, nullptr);
        ByteBuffer archive;
        author::MemorySink sink(archive, none.data(), members.data());
        EXPECT_EQ(c.ald ? author::PackAld(members.data(), members.size(), sink)
                        : author::PackAlk(members.data(), members.size(), sink),
                  c.expected)
            << author::AuthorStatusText(c.expected);
        EXPECT_EQ(archive.size(), 0u);
    }
    // The fullest table still lists every member.
    author::PackMember one;
    one.name = reinterpret_cast<const uint8_t*>("m");
    one.nameLength = 1;
    const std::vector<author::PackMember> full(author::kAldMostMembers, one);
    const std::vector<const uint8_t*> none(full.size(), nullptr);
    ByteBuffer archive;
    author::MemorySink sink(archive, none.data(), full.data());
    ASSERT_EQ(author::PackAld(full.data(), full.size(), sink), AuthorStatus::Ok);
    EXPECT_EQ(ListThroughPlugin(archive, "full.ald").size(), author::kAldMostMembers);
}

}  // namespace

namespace {

// The fewest bytes any sequence of codes needs, by trying every code at
// every length: the yardstick for the encoder's parse.
template <typename Pixel>
uint64_t ExhaustiveShortest(const std::vector<Pixel>& p, uint64_t width, bool sixteen) {
    const uint64_t n = p.size();
    const uint64_t fill[3] = {sixteen ? 3u : 4u, sixteen ? 258u : 259u, sixteen ? 4u : 3u};
    const uint64_t pairs[3] = {sixteen ? 4u : 6u, sixteen ? 514u : 516u, sixteen ? 6u : 4u};
    const uint64_t copy[3] = {sixteen ? 2u : 3u, sixteen ? 257u : 258u, 2};
    std::vector<uint64_t> best(n + 1, 0);
    for (uint64_t i = n; i-- > 0;) {
        const bool escaped = (p[i] & 0xFF) >= 0xF8;
        uint64_t b = (sixteen ? 2 : 1) + escaped + best[i + 1];
        if (width >= 2 && i + 1 >= width && p[i] == p[i + 1 - width]) b = std::min(b, 1 + best[i + 1]);
        if (i >= width + 1 && p[i] == p[i - width - 1]) b = std::min(b, 1 + best[i + 1]);
        for (uint64_t L = 1; i + L <= n; ++L) {
            auto all = [&](auto same) {
                for (uint64_t k = 0; k < L; ++k) {
                    if (!same(i + k)) return false;
                }
                return true;
            };
            if (L >= fill[0] && L <= fill[1] && all([&](uint64_t k) { return p[k] == p[i]; })) b = std::min(b, fill[2] + best[i + L]);
            if (L % 2 == 0 && L >= pairs[0] && L <= pairs[1] && all([&](uint64_t k) { return p[k] == p[i + (k - i) % 2]; })) {
                b = std::min(b, pairs[2] + best[i + L]);
            }
            for (uint64_t up : {width, 2 * width}) {
                if (i >= up && L >= copy[0] && L <= copy[1] && all([&](uint64_t k) { return p[k] == p[k - up]; })) {
                    b = std::min(b, copy[2] + best[i + L]);
                }
            }
            if (sixteen && L <= 256 && all([&](uint64_t k) { return (p[k] & 0xE61C) == (p[i] & 0xE61C); })) {
                b = std::min(b, 3 + L + best[i + L]);
            }
        }
        best[i] = b;
    }
    return best[0];
}

TEST(PmsParserTest, ShortestParseIsTheShortestThereIs) {
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        const uint32_t width = 1 + uint32_t(seed % 9), height = 1 + uint32_t(seed * 7 % 23);
        const TestPicture picture = MakePicture(width, height, 2 + seed % 5, false, false, seed);
        std::vector<uint8_t> eight;
        std::vector<uint16_t> sixteen;
        for (size_t i = 0; i < picture.rgba.size(); i += 4) {
            eight.push_back(uint8_t(picture.rgba[i] | 0xF0));  // escapes are frequent
            sixteen.push_back(uint16_t(picture.rgba[i] << 8 | picture.rgba[i + 1]));
        }
        ByteBuffer stream;
        ASSERT_EQ(author::EncodePms8Stream(eight.data(), eight.size(), width, ParseStrategy::Shortest, stream), AuthorStatus::Ok);
        EXPECT_EQ(stream.size(), ExhaustiveShortest(eight, width, false)) << seed;
        ASSERT_EQ(author::EncodePms16Stream(sixteen.data(), sixteen.size(), width, ParseStrategy::Shortest, stream),
                  AuthorStatus::Ok);
        EXPECT_EQ(stream.size(), ExhaustiveShortest(sixteen, width, true)) << seed;
    }
}

}  // namespace

namespace {

// A palette picture keeps its palette's order: the bitmap's colour table is
// the input palette, and its pixels are the input indices.
TEST(AuthorPaletteTest, PalettePicturesKeepTheirOrder) {
    for (const PictureFormat format : {PictureFormat::Pms8, PictureFormat::Vsp}) {
        const bool vsp = format == PictureFormat::Vsp;
        const uint32_t width = 16, height = 5, entries = vsp ? 16 : 200;
        std::vector<uint8_t> palette(entries * 4), indices(width * height), rgba(width * height * 4);
        for (uint32_t e = 0; e < entries; ++e) {
            const uint32_t v = (entries - 1 - e) * (vsp ? 17 : 1);  // reversed, so first appearance differs
            palette[e * 4] = uint8_t(v), palette[e * 4 + 1] = uint8_t(vsp ? 255 - v : e), palette[e * 4 + 2] = 34;
            palette[e * 4 + 3] = 255;
        }
        for (uint32_t i = 0; i < width * height; ++i) {
            indices[i] = uint8_t((i * 7 + 3) % (vsp ? 16 : 13));
            std::memcpy(&rgba[i * 4], &palette[indices[i] * 4], 4);
        }
        author::SourcePicture source;
        source.width = width;
        source.height = height;
        source.rgba = rgba.data();
        source.indices = indices.data();
        source.palette = palette.data();
        source.paletteSize = entries;
        EncodeOptions options;
        options.format = format;
        ByteBuffer file;
        ASSERT_EQ(author::EncodePicture(source, options, file), AuthorStatus::Ok);
        const torvatest::BitmapResult bmp =
            torvatest::GetBitmap(Bytes(file.data(), file.data() + file.size()), vsp ? "p.vsp" : "p.pms", -1);
        ASSERT_EQ(bmp.result, 0);
        for (uint32_t e = 0; e < entries; ++e) {
            const uint8_t* entry = bmp.bytes.data() + 54 + e * 4;
            EXPECT_EQ(entry[2], palette[e * 4]) << e;
            EXPECT_EQ(entry[1], palette[e * 4 + 1]) << e;
        }
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = bmp.pixels() + (height - 1 - y) * (vsp ? width / 2 : width);
            for (uint32_t x = 0; x < width; ++x) {
                const unsigned index = vsp ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15 : row[x];
                EXPECT_EQ(index, indices[y * width + x]);
            }
        }
    }
}

}  // namespace
