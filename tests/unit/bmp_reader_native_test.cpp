// Bitmaps from KRV_GetImage, saved as files and opened by an independent
// reader (the system's Python imaging library): what it sees must be the
// source picture. Proves the headers, colour tables, row order and padding
// as any other program reads them, not only as our own tests do.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;

constexpr const char* kReader = "/usr/bin/python3";

// Runs the reader on the bitmap and the expected top-down RGB pixels.
// Returns the reader's exit status.
int CheckWithReader(const Bytes& bitmap, const Bytes& rgb) {
    torvatest::TempFile bmp(bitmap, ".bmp");
    torvatest::TempFile expected(rgb, ".rgb");
    const std::string command = std::string(kReader) + " " + TORVA_SOURCE_DIR "/tests/tools/bmp_matches.py " +
                                bmp.path() + " " + expected.path();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExpectReaderSees(const Bytes& file, const char* name, int32_t mode, const Bytes& rgb) {
    torvatest::BitmapResult bmp = torvatest::GetBitmap(file, name, mode);
    ASSERT_EQ(bmp.result, 0);
    const int status = CheckWithReader(bmp.bytes, rgb);
    if (status == 77) GTEST_SKIP() << "no independent bitmap reader (python3-pil) installed";
    EXPECT_EQ(status, 0) << name << " mode " << mode;
}

unsigned char Scale(uint32_t v, uint32_t max) { return static_cast<unsigned char>(((max >> 1) + 255 * v) / max); }

TEST(IndependentReaderTest, QntWithAndWithoutAlpha) {
    for (bool alpha : {false, true}) {
        torvatest::QntPicture picture = torvatest::RandomQntPicture(37, 23, alpha, 4);
        Bytes rgb;
        for (size_t i = 0; i < picture.bgr.size(); i += 3) {
            rgb.insert(rgb.end(), {picture.bgr[i + 2], picture.bgr[i + 1], picture.bgr[i]});
        }
        ExpectReaderSees(torvatest::WriteQnt(picture, torvatest::QntOptions()), "a.qnt", -1, rgb);
    }
}

TEST(IndependentReaderTest, PmsPalettedAndFullColour) {
    torvatest::PmsPicture paletted = torvatest::MakePmsPicture(35, 19, 8, false, 1, 9);
    Bytes rgb;
    for (unsigned char index : paletted.indices) {
        rgb.insert(rgb.end(), paletted.palette.begin() + 3 * index, paletted.palette.begin() + 3 * index + 3);
    }
    ExpectReaderSees(torvatest::WritePms(paletted, 1), "a.pms", 0, rgb);

    torvatest::PmsPicture colour = torvatest::MakePmsPicture(33, 21, 16, false, 2, 9);
    rgb.clear();
    for (uint16_t v : colour.pixels) rgb.insert(rgb.end(), {Scale(v >> 11, 31), Scale((v >> 5) & 63, 63), Scale(v & 31, 31)});
    ExpectReaderSees(torvatest::WritePms(colour, 1), "a.pms", -1, rgb);
}

TEST(IndependentReaderTest, VspSixteenColours) {
    torvatest::VspPicture picture = torvatest::MakeVspPicture(72, 30, 2);
    Bytes rgb;
    for (unsigned char index : picture.indices) {
        const auto& levels = picture.palette[index];
        rgb.insert(rgb.end(), {static_cast<unsigned char>(17 * levels.red), static_cast<unsigned char>(17 * levels.green),
                               static_cast<unsigned char>(17 * levels.blue)});
    }
    ExpectReaderSees(torvatest::WriteVsp(picture, 3), "a.vsp", 0, rgb);
}

}  // namespace
