// The C interface's stored pixels and palettes held against the plug-in's
// bitmap of the same file and mode, whole and cut short: the same rows turned
// top-down and packed, the same colour table, and nothing written past the
// layout's size.
#include <gtest/gtest.h>

#include <string>

#include "base/checked_size.h"
#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"
#include "torvasoft/torvasoft.h"

namespace {

using torvatest::Bytes;

struct BitmapCase {
    std::string label;
    Bytes file;
    const char* name;
    // A QNT cut inside its streams: the C interface rebuilds what arrived,
    // the plug-in nothing (qnt_recovery_test.cpp holds those pixels against
    // the original's); only the layout and the guard bytes are checked here.
    bool recovered = false;
};

void PrintTo(const BitmapCase& c, std::ostream* os) { *os << c.label; }

// Odd widths, so that packed rows differ from the bitmap's padded ones.
std::vector<BitmapCase> Cases() {
    std::vector<BitmapCase> whole = {
        {"vsp", torvatest::WriteVsp(torvatest::MakeVspPicture(24, 5, 3), 2), "a.vsp"},
        {"pms8", torvatest::WritePms(torvatest::MakePmsPicture(7, 4, 8, false, 2, 5), 3), "a.pms"},
        {"pms16", torvatest::WritePms(torvatest::MakePmsPicture(5, 6, 16, false, 2, 6), 4), "a.pms"},
        {"pms16_alpha", torvatest::WritePms(torvatest::MakePmsPicture(9, 3, 16, true, 1, 7), 5), "a.pms"},
        {"qnt24", torvatest::WriteQnt(torvatest::RandomQntPicture(7, 5, false, 8), {}), "a.qnt"},
        {"qnt32", torvatest::WriteQnt(torvatest::RandomQntPicture(3, 9, true, 9), {}), "a.qnt"},
    };
    std::vector<BitmapCase> all = whole;
    for (const BitmapCase& c : whole) {
        // Cut inside the streams: the pixels decoded before the cut, zeros
        // after.
        const bool qnt = c.label.compare(0, 3, "qnt") == 0;
        const size_t kept = qnt ? c.file.size() - 16 : c.file.size() * 3 / 4;
        all.push_back({c.label + "_cut", Bytes(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(kept)),
                       c.name, qnt});
    }
    return all;
}

class StoredPixelsTest : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(StoredPixelsTest, AreThePlugInsBitmapRowsTopDown) {
    const BitmapCase& c = GetParam();
    for (int request : {TORVASOFT_AS_STORED, TORVASOFT_AS_STORED_FULL}) {
        SCOPED_TRACE(request);
        torvasoft_layout layout{};
        const torvasoft_status header =
            torvasoft_decoded_layout(c.file.data(), c.file.size(), c.name, request, &layout);
        ASSERT_TRUE(header == TORVASOFT_COMPLETE || header == TORVASOFT_TRUNCATED || header == TORVASOFT_OUTSIDE_FILE)
            << header;
        constexpr size_t kGuard = 16;
        Bytes out(layout.size + kGuard, 0xEE);
        torvasoft_colour palette[256] = {};
        uint64_t produced = 0;
        torvasoft_decode(c.file.data(), c.file.size(), c.name, request, out.data(), layout.size, palette, &produced);
        for (size_t i = layout.size; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << "written past the layout";
        if (c.recovered) continue;

        const torvatest::BitmapResult bitmap =
            torvatest::GetBitmap(c.file, c.name, request == TORVASOFT_AS_STORED ? 0 : -1);
        ASSERT_EQ(bitmap.result, 0);
        const uint32_t bits = bitmap.infoHeader.biBitCount;
        ASSERT_EQ(layout.stride, (size_t{layout.width} * bits + 7) / 8);
        const size_t bitmapStride = static_cast<size_t>(torva::RowStride(layout.width, bits));
        for (uint32_t y = 0; y < layout.height; ++y) {
            const unsigned char* expected = bitmap.pixels() + (layout.height - 1 - y) * bitmapStride;
            ASSERT_EQ(Bytes(expected, expected + layout.stride),
                      Bytes(out.begin() + static_cast<std::ptrdiff_t>(y * layout.stride),
                            out.begin() + static_cast<std::ptrdiff_t>((y + 1) * layout.stride)))
                << "row " << y;
        }
        const unsigned char* table = bitmap.bytes.data() + 54;
        for (uint32_t i = 0; i < layout.palette_entries; ++i) {
            EXPECT_EQ(palette[i].red, table[4 * i + 2]);
            EXPECT_EQ(palette[i].green, table[4 * i + 1]);
            EXPECT_EQ(palette[i].blue, table[4 * i]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, StoredPixelsTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<BitmapCase>& info) {
                             return info.param.label;
                         });

}  // namespace
