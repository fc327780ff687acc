// What the C interface gives back of a QNT file whose streams end early,
// held against the original pixels: every pixel whose residuals (and those of
// the pixels above and to its left, on which its prediction rests) arrived
// is exact, `produced` counts them in picture order up to the first that is
// not, and the plug-in's bitmap of the same file stays blank.
//
// The streams are stored (zlib level 0, one stored block): 2 header bytes, 5
// bytes of block header, the residuals, 4 bytes of checksum. A file cut by k
// bytes inside a stream's residuals therefore lost exactly its last k - 4,
// which is what the expected pixels are worked out from, pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/writers/qnt_writer.h"
#include "torvasoft/torvasoft.hpp"

namespace {

using torvatest::Bytes;

constexpr size_t kStoredOverhead = 2 + 5 + 4;
constexpr size_t kChecksum = 4;

struct RecoveryCase {
    const char* name;
    uint32_t width;
    uint32_t height;
    bool alpha;
    // Bytes cut from the end of the file, measured from the end of the
    // colour stream's residuals when `intoColour`, else from the file's end.
    size_t cut;
    bool intoColour;
};

void PrintTo(const RecoveryCase& c, std::ostream* os) { *os << c.name; }

struct Made {
    torvatest::QntPicture picture;
    Bytes file;
    size_t colourRaw;  // residual bytes of each stream
    size_t alphaRaw;
    size_t colourArrived;  // and how many of them the cut file holds
    size_t alphaArrived;
};

Made Make(const RecoveryCase& c) {
    Made made;
    made.picture = torvatest::RandomQntPicture(c.width, c.height, c.alpha, c.width * 31 + c.height);
    const Bytes colourRaw = torvatest::QntColourResiduals(made.picture);
    const Bytes alphaRaw = c.alpha ? torvatest::QntAlphaResiduals(made.picture) : Bytes();
    const Bytes colour = torvatest::ZlibCompress(colourRaw, 0);
    const Bytes alpha = c.alpha ? torvatest::ZlibCompress(alphaRaw, 0) : Bytes();
    made.file = torvatest::AssembleQnt(c.width, c.height, colour, alpha, {});
    made.colourRaw = colourRaw.size();
    made.alphaRaw = alphaRaw.size();
    EXPECT_EQ(colour.size(), colourRaw.size() + kStoredOverhead);
    if (c.alpha) EXPECT_EQ(alpha.size(), alphaRaw.size() + kStoredOverhead);
    // Where the cut falls, counted back from the end of the file.
    const size_t fromEnd = c.intoColour ? alpha.size() + kChecksum + c.cut : c.cut;
    const size_t colourEnd = made.file.size() - alpha.size();  // just past the colour stream
    const size_t kept = made.file.size() - fromEnd;
    const auto arrivedOf = [&](size_t streamEnd, size_t raw) -> size_t {
        // The residuals end kChecksum bytes before the stream does.
        const size_t rawEnd = streamEnd - kChecksum;
        if (kept >= rawEnd) return raw;
        return kept + raw >= rawEnd ? raw - (rawEnd - kept) : 0;
    };
    made.colourArrived = arrivedOf(colourEnd, made.colourRaw);
    made.alphaArrived = c.alpha ? (kept <= colourEnd ? 0 : arrivedOf(made.file.size(), made.alphaRaw)) : 0;
    made.file.resize(kept);
    return made;
}

// Whether every residual pixel (x, y) of the picture depends on arrived: its
// own and those of the pixels above and to the left, in all three colour
// planes (pixel (x, y) of a plane at (y / 2) x blockRow + 2x + (y & 1)) and
// in the alpha rows (y x pitch + x).
bool Arrived(const Made& made, const RecoveryCase& c, uint32_t x, uint32_t y) {
    const size_t blockRow = 4 * ((size_t{c.width} + 1) / 2);
    const size_t plane = blockRow * ((size_t{c.height} + 1) / 2);
    const size_t pitch = (size_t{c.width} + 1) & ~size_t{1};
    for (uint32_t yy = 0; yy <= y; ++yy) {
        for (uint32_t xx = 0; xx <= x; ++xx) {
            const size_t at = (yy / 2) * blockRow + 2 * size_t{xx} + (yy & 1);
            if (2 * plane + at >= made.colourArrived) return false;
            if (c.alpha && size_t{yy} * pitch + xx >= made.alphaArrived) return false;
        }
    }
    return true;
}

class QntRecoveryTest : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(QntRecoveryTest, GivesBackEveryPixelWhoseResidualsArrived) {
    const RecoveryCase& c = GetParam();
    const Made made = Make(c);
    ASSERT_FALSE(made.file.empty());

    torvasoft_info info{};
    ASSERT_EQ(torvasoft_inspect(made.file.data(), made.file.size(), "a.qnt", &info), TORVASOFT_TRUNCATED);
    EXPECT_EQ(info.kind, TORVASOFT_KIND_QNT);
    const torvasoft::Picture decoded =
        torvasoft::Decode(made.file.data(), made.file.size(), "a.qnt", TORVASOFT_AS_STORED);
    ASSERT_EQ(decoded.status, torvasoft::Status::Truncated);
    ASSERT_TRUE(decoded.hasPixels());

    const uint32_t bytes = c.alpha ? 4 : 3;
    uint64_t expectedProduced = 0;
    bool inPrefix = true;
    for (uint32_t y = 0; y < c.height; ++y) {
        for (uint32_t x = 0; x < c.width; ++x) {
            const bool arrived = Arrived(made, c, x, y);
            inPrefix = inPrefix && arrived;
            if (inPrefix) ++expectedProduced;
            if (!arrived) continue;
            const uint8_t* pixel = decoded.row(y) + size_t{x} * bytes;
            const size_t index = size_t{y} * c.width + x;
            const Bytes original(made.picture.bgr.begin() + 3 * index, made.picture.bgr.begin() + 3 * index + 3);
            ASSERT_EQ(Bytes(pixel, pixel + 3), original) << "pixel " << x << ", " << y;
            if (c.alpha) ASSERT_EQ(pixel[3], made.picture.alpha[index]) << "alpha " << x << ", " << y;
        }
    }
    EXPECT_EQ(decoded.produced, expectedProduced);

    // The plug-in decodes none of a file cut inside its streams.
    const torvatest::BitmapResult bitmap = torvatest::GetBitmap(made.file, "a.qnt", 0);
    if (bitmap.result == 0 && !bitmap.bytes.empty()) {
        const unsigned char* pixels = bitmap.pixels();
        const unsigned char* end = bitmap.bytes.data() + bitmap.bytes.size();
        EXPECT_TRUE(std::all_of(pixels, end, [](unsigned char b) { return b == 0; }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, QntRecoveryTest,
    ::testing::Values(
        // Only the checksum lost: every pixel, and still Truncated.
        RecoveryCase{"Colour1Byte", 8, 6, false, 1, false},
        RecoveryCase{"Alpha1Byte", 8, 6, true, 1, false},
        // The last residuals lost: the bottom rows, the lower row of a block
        // row keeping its first pixels where the upper one is whole.
        RecoveryCase{"ColourLastResidual", 8, 6, false, 5, false},
        RecoveryCase{"ColourHalfABlockRow", 9, 7, false, 4 + 7, false},
        RecoveryCase{"ColourOddWidthPadding", 9, 7, false, 4 + 2, false},
        RecoveryCase{"ColourTwoBlockRows", 16, 10, false, 4 + 2 * 32 + 3, false},
        RecoveryCase{"AlphaRows", 7, 9, true, 4 + 3 * 8 + 5, false},
        RecoveryCase{"AlphaAllLost", 7, 9, true, 72 + kStoredOverhead, false},
        // The colour cut as well: no alpha at all, so no pixel is whole.
        RecoveryCase{"ColourAndAlpha", 8, 6, true, 10, true},
        // Only the first planes arrived: red missing everywhere.
        RecoveryCase{"RedPlaneMissing", 8, 6, false, 4 + 48 + 10, false}),
    [](const ::testing::TestParamInfo<RecoveryCase>& info) { return std::string(info.param.name); });

// A stream that stops short inside a file that holds all its declared bytes
// (the stream itself was cut before the file was put together), and one cut
// by a real compressor at an arbitrary point: the same recovery.
TEST(QntRecovery, StreamStoppingInsideTheFileAndDeflatedStreams) {
    const torvatest::QntPicture picture = torvatest::RandomQntPicture(24, 20, false, 7);
    const Bytes raw = torvatest::QntColourResiduals(picture);
    Bytes stored = torvatest::ZlibCompress(raw, 0);
    stored.resize(stored.size() - kChecksum - 100);  // 100 residuals short, declared size to match
    const Bytes file = torvatest::AssembleQnt(24, 20, stored, {}, {});
    const torvasoft::Picture decoded = torvasoft::Decode(file.data(), file.size(), "a.qnt", TORVASOFT_AS_STORED);
    EXPECT_EQ(decoded.status, torvasoft::Status::Truncated);
    // The red plane is 10 block rows of 48 bytes; 380 of them arrived: 7
    // block rows (14 picture rows), then 44 bytes, 22 pixels of the upper row.
    const uint64_t redArrived = raw.size() / 3 - 100;
    const uint64_t rows = 2 * (redArrived / 48);
    const uint64_t upper = (redArrived % 48 + 1) / 2;
    ASSERT_EQ(rows * 24 + upper, 14u * 24 + 22);
    EXPECT_EQ(decoded.produced, rows * 24 + upper);
    for (uint32_t y = 0; y < rows; ++y) {
        ASSERT_EQ(Bytes(decoded.row(y), decoded.row(y) + 72),
                  Bytes(picture.bgr.begin() + y * 72, picture.bgr.begin() + (y + 1) * 72)) << "row " << y;
    }

    const Bytes deflated = torvatest::WriteQnt(picture, {});
    for (size_t keep : {deflated.size() - 1, deflated.size() * 3 / 4, deflated.size() / 2, size_t{60}}) {
        const Bytes cut(deflated.begin(), deflated.begin() + static_cast<std::ptrdiff_t>(keep));
        const torvasoft::Picture partial = torvasoft::Decode(cut.data(), cut.size(), "a.qnt", TORVASOFT_AS_STORED);
        ASSERT_EQ(partial.status, torvasoft::Status::Truncated) << keep;
        for (uint64_t i = 0; i < partial.produced; ++i) {
            const uint8_t* pixel = partial.row(uint32_t(i / 24)) + (i % 24) * 3;
            ASSERT_EQ(Bytes(pixel, pixel + 3), Bytes(picture.bgr.begin() + 3 * i, picture.bgr.begin() + 3 * i + 3))
                << "kept " << keep << ", pixel " << i;
        }
    }
}

// Detection: the plug-in's verdict stays, the C interface's header reading
// takes a cut file for the damaged QNT it is, and a header cut itself or bad
// data are still what they were.
TEST(QntRecovery, DetectionAndWhatIsNotRecovered) {
    const Bytes whole = torvatest::WriteQnt(torvatest::RandomQntPicture(8, 6, true, 3), {});
    torvasoft_info info{};
    for (size_t keep : {whole.size() - 1, whole.size() / 2, size_t{60}, size_t{44}}) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_EQ(torvasoft_inspect(cut.data(), cut.size(), "a.qnt", &info),
                  keep < 52 ? TORVASOFT_OUTSIDE_FILE : TORVASOFT_TRUNCATED)
            << keep;
        EXPECT_EQ(info.kind, TORVASOFT_KIND_QNT);
        EXPECT_EQ(info.depth, 32u);
        // As the plug-in decides: streams as long as the file are none of ours.
        EXPECT_EQ(torvasoft_detect(cut.data(), cut.size(), "a.qnt"),
                  keep > whole.size() - 52 ? TORVASOFT_KIND_QNT : TORVASOFT_KIND_NONE)
            << keep;
    }
    const Bytes header(whole.begin(), whole.begin() + 43);  // the alpha size's last byte missing
    EXPECT_EQ(torvasoft_inspect(header.data(), header.size(), "a.qnt", &info), TORVASOFT_NOT_RECOGNISED);

    // Bad data is no early end: Corrupt, nothing rebuilt.
    Bytes stored = torvatest::ZlibCompress(Bytes(144, 1), 0);
    stored[3] ^= 0xFF;  // the stored block's length no longer matches its complement
    const Bytes corrupt = torvatest::AssembleQnt(8, 6, stored, {}, {});
    const torvasoft::Picture decoded =
        torvasoft::Decode(corrupt.data(), corrupt.size(), "a.qnt", TORVASOFT_AS_STORED);
    EXPECT_EQ(decoded.status, torvasoft::Status::Corrupt);
    EXPECT_EQ(decoded.produced, 0u);
    ASSERT_TRUE(decoded.hasPixels());
    EXPECT_TRUE(std::all_of(decoded.pixels.begin(), decoded.pixels.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
