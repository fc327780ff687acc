// The public API's pictures turned to RGBA, held against the source pictures
// the writers encoded: top row first, palettes applied, 5-5-5 widened, alpha
// where the picture has it and 255 elsewhere.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"
#include "torvasoft/torvasoft.h"

namespace {

using torvatest::Bytes;

unsigned Widen5(unsigned v) { return (v << 3 | v >> 2) & 0xFF; }

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
            out.rgba.insert(out.rgba.end(), {Bytes::value_type(Widen5(p >> 11)), Bytes::value_type(Widen5(p >> 6 & 0x1F)),
                                             Bytes::value_type(Widen5(p & 0x1F)), 255});
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
    torvasoft::PixelFormat format;
};

class PictureRgbaTest : public ::testing::TestWithParam<RgbaRow> {};

TEST_P(PictureRgbaTest, MatchesTheSourcePicture) {
    const Encoded encoded = GetParam().make();
    const torvasoft::Picture picture =
        torvasoft::DecodePicture(encoded.file.data(), encoded.file.size(), GetParam().fileName);
    ASSERT_EQ(picture.status(), torvasoft::Status::Complete);
    EXPECT_EQ(picture.format(), GetParam().format);
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(picture.toRgba(rgba));
    EXPECT_TRUE(rgba == encoded.rgba);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PictureRgbaTest,
    ::testing::Values(RgbaRow{"Vsp", Vsp, "pic.VSP", torvasoft::PixelFormat::Indexed4},
                      RgbaRow{"Pms8", [] { return Pms(8, false); }, "pic.pms", torvasoft::PixelFormat::Indexed8},
                      RgbaRow{"Pms16", [] { return Pms(16, true); }, "pic.pms", torvasoft::PixelFormat::Rgb555},
                      RgbaRow{"Qnt24", [] { return Qnt(false); }, "dir.x/pic.qnt", torvasoft::PixelFormat::Bgr24},
                      RgbaRow{"Qnt32", [] { return Qnt(true); }, "pic.qnt", torvasoft::PixelFormat::Bgra32}),
    [](const ::testing::TestParamInfo<RgbaRow>& info) { return std::string(info.param.name); });

}  // namespace
