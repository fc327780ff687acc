// The C interface's pictures as RGBA, held against the source pictures
// the writers encoded: top row first, palettes applied, 5-6-5 widened, alpha
// where the picture has it and 255 elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"
#include "torvasoft/torvasoft.hpp"

namespace {

using torvatest::Bytes;

// A channel of `max` levels widened to 8 bits with rounding, as the
// full-colour output of 16-bit PMS widens 5-6-5.
uint8_t Widen(unsigned v, unsigned max) { return uint8_t((max / 2 + 255 * v) / max); }

struct Encoded {
    Bytes file;
    Bytes rgba;  // what the picture should turn into
};

Encoded Vsp() {
    torvatest::VspPicture picture = torvatest::MakeVspPicture(16, 3, 11);
    Encoded out{torvatest::WriteVsp(picture, 2), {}};
    for (unsigned char index : picture.indices) {
        const torvatest::VspLevels& level = picture.palette[index];
        out.rgba.insert(out.rgba.end(), {Bytes::value_type(17 * level.red), Bytes::value_type(17 * level.green),
                                         Bytes::value_type(17 * level.blue), 255});
    }
    return out;
}

Encoded Pms(int depth, bool alpha) {
    const torvatest::PmsPicture picture = torvatest::MakePmsPicture(5, 4, depth, alpha, 2, 9);
    Encoded out{torvatest::WritePms(picture, 3), {}};
    for (size_t i = 0; i < size_t{picture.width} * picture.height; ++i) {
        if (depth == 8) {
            const unsigned char* rgb = &picture.palette[3 * picture.indices[i]];
            out.rgba.insert(out.rgba.end(), {rgb[0], rgb[1], rgb[2], 255});
        } else {
            const unsigned p = picture.pixels[i];
            out.rgba.insert(out.rgba.end(), {Widen(p >> 11, 31), Widen(p >> 5 & 0x3F, 63), Widen(p & 0x1F, 31),
                                             alpha ? picture.alpha[i] : Bytes::value_type(255)});
        }
    }
    return out;
}

Encoded Qnt(bool alpha) {
    const torvatest::QntPicture picture = torvatest::RandomQntPicture(3, 5, alpha, 4);
    Encoded out{torvatest::WriteQnt(picture, {}), {}};
    for (size_t i = 0; i < size_t{picture.width} * picture.height; ++i) {
        const unsigned char* bgr = &picture.bgr[3 * i];
        out.rgba.insert(out.rgba.end(), {bgr[2], bgr[1], bgr[0], alpha ? picture.alpha[i] : Bytes::value_type(255)});
    }
    return out;
}

struct RgbaRow {
    const char* name;
    std::function<Encoded()> make;
    const char* fileName;
    int format;  // as stored
};

class PictureRgbaTest : public ::testing::TestWithParam<RgbaRow> {};

TEST_P(PictureRgbaTest, MatchesTheSourcePicture) {
    const Encoded encoded = GetParam().make();
    torvasoft_layout stored;
    ASSERT_EQ(torvasoft_decoded_layout(encoded.file.data(), encoded.file.size(), GetParam().fileName,
                                       TORVASOFT_AS_STORED, &stored),
              TORVASOFT_COMPLETE);
    EXPECT_EQ(stored.format, GetParam().format);
    // Into a buffer of exactly the picture's size.
    std::vector<uint8_t> rgba(encoded.rgba.size());
    uint64_t produced = 0;
    ASSERT_EQ(torvasoft_decode_rgba(encoded.file.data(), encoded.file.size(), GetParam().fileName, rgba.data(),
                                    rgba.size(), &produced),
              TORVASOFT_COMPLETE);
    EXPECT_EQ(produced, rgba.size() / 4);
    EXPECT_TRUE(rgba == encoded.rgba);
    // One byte short: refused, nothing written.
    std::vector<uint8_t> shortBuffer(rgba.size() - 1, 0xA5);
    EXPECT_EQ(torvasoft_decode_rgba(encoded.file.data(), encoded.file.size(), GetParam().fileName,
                                    shortBuffer.data(), shortBuffer.size(), &produced),
              TORVASOFT_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::count(shortBuffer.begin(), shortBuffer.end(), 0xA5), std::ptrdiff_t(shortBuffer.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PictureRgbaTest,
    ::testing::Values(RgbaRow{"Vsp", Vsp, "pic.VSP", TORVASOFT_INDEXED4},
                      RgbaRow{"Pms8", [] { return Pms(8, false); }, "pic.pms", TORVASOFT_INDEXED8},
                      RgbaRow{"Pms16", [] { return Pms(16, true); }, "pic.pms", TORVASOFT_RGB555},
                      RgbaRow{"Qnt24", [] { return Qnt(false); }, "dir.x/pic.qnt", TORVASOFT_BGR24},
                      RgbaRow{"Qnt32", [] { return Qnt(true); }, "pic.qnt", TORVASOFT_BGRA32}),
    [](const ::testing::TestParamInfo<RgbaRow>& info) { return std::string(info.param.name); });

}  // namespace
