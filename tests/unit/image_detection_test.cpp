// Image detection and information: which kind a file is taken for, in which
// order the formats are tried, and what the information record then holds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/byte_cursor.h"
#include "plugin/entry_points.h"
#include "plugin/plugin_object.h"
#include "tests/support/raw_headers.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;
using torvatest::HostRecord;
using torvatest::PmsHead;
using torvatest::QntHead;
using torvatest::VspHead;

int32_t Detect(const Bytes& bytes, const std::string& name) {
    HostRecord record(bytes, name);
    int32_t kind = 99;
    EXPECT_EQ(KRV_IsSupported(record.get(), 2, &kind), 0);
    return kind;
}

struct DetectionCase {
    const char* label;
    Bytes bytes;
    std::string name;
    int32_t kind;
};

void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.label; }

class ImageDetectionTest : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(ImageDetectionTest, ReportsTheKind) { EXPECT_EQ(Detect(GetParam().bytes, GetParam().name), GetParam().kind); }

Bytes Truncated(Bytes b, size_t size) {
    b.resize(size);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ImageDetectionTest,
    ::testing::Values(
        DetectionCase{"qnt_v0", QntHead(0, 3, 2, 10, 0, 64), "a.qnt", 1},
        DetectionCase{"qnt_v1", QntHead(1, 3, 2, 10, 0, 64), "a.qnt", 1},
        DetectionCase{"qnt_v2_any_name", QntHead(2, 3, 2, 10, 5, 64), "a.vsp", 1},
        DetectionCase{"qnt_v3", QntHead(3, 3, 2, 10, 0, 64), "a.qnt", 0},
        DetectionCase{"qnt_bits32", QntHead(0, 3, 2, 10, 0, 64, 32), "a.qnt", 0},
        DetectionCase{"qnt_width0", QntHead(0, 0, 2, 10, 0, 64), "a.qnt", 0},
        DetectionCase{"qnt_negative_height", QntHead(1, 3, -2, 10, 0, 64), "a.qnt", 0},
        DetectionCase{"qnt_no_colour", QntHead(0, 3, 2, 0, 0, 64), "a.qnt", 0},
        DetectionCase{"qnt_sizes_equal_data", QntHead(0, 3, 2, 40, 24, 64), "a.qnt", 0},
        DetectionCase{"qnt_sizes_one_below", QntHead(0, 3, 2, 40, 23, 64), "a.qnt", 1},
        DetectionCase{"qnt_sizes_wrap", QntHead(0, 3, 2, 0xFFFFFFF0u, 0x20, 64), "a.qnt", 0},
        DetectionCase{"qnt_v0_needs_40", Truncated(QntHead(0, 1, 1, 1, 0, 64), 39), "a.qnt", 0},
        DetectionCase{"qnt_v0_40_enough", Truncated(QntHead(0, 1, 1, 1, 0, 64), 40), "a.qnt", 1},
        DetectionCase{"qnt_v1_needs_44", Truncated(QntHead(1, 1, 1, 1, 0, 64), 43), "a.qnt", 0},
        DetectionCase{"pms_v1", PmsHead(1, 48, 8, 10, 2, 1000), "a.pms", 2},
        DetectionCase{"pms_v2", PmsHead(2, 64, 16, 10, 2, 64), "a.pms", 2},
        DetectionCase{"pms_v1_header64", PmsHead(1, 64, 8, 10, 2, 64), "a.pms", 0},
        DetectionCase{"pms_v2_header48", PmsHead(2, 48, 8, 10, 2, 64), "a.pms", 0},
        DetectionCase{"pms_no_pixel_offset", PmsHead(1, 48, 8, 10, 2, 0), "a.pms", 0},
        DetectionCase{"pms_depth_unchecked", PmsHead(1, 48, 24, 10, 2, 64), "a.pms", 2},
        DetectionCase{"pms_needs_36", PmsHead(1, 48, 8, 10, 2, 64, 35), "a.pms", 0},
        DetectionCase{"pms_36_enough", PmsHead(1, 48, 8, 10, 2, 64, 36), "a.pms", 2},
        DetectionCase{"pms_named_vsp", PmsHead(1, 48, 8, 10, 2, 64), "a.vsp", 2},
        DetectionCase{"vsp", VspHead(0, 0, 80, 400), "a.vsp", 3},
        DetectionCase{"vsp_upper_case", VspHead(0, 0, 1, 1), "DIR\\A.VSP", 3},
        DetectionCase{"vsp_other_ext", VspHead(0, 0, 1, 1), "a.vsp.bak", 0},
        DetectionCase{"vsp_dot_in_dir", VspHead(0, 0, 1, 1), "d.vsp\\file", 0},
        DetectionCase{"vsp_forward_slash_no_separator", VspHead(0, 0, 1, 1), "d.x/file.vsp", 3},
        DetectionCase{"vsp_left80_width640", VspHead(80, 0, 160, 1), "a.vsp", 3},
        DetectionCase{"vsp_left81", VspHead(81, 0, 82, 1), "a.vsp", 0},
        DetectionCase{"vsp_width648", VspHead(0, 0, 81, 1), "a.vsp", 0},
        DetectionCase{"vsp_height401", VspHead(0, 0, 1, 401), "a.vsp", 0},
        DetectionCase{"vsp_top400", VspHead(0, 400, 1, 800), "a.vsp", 3},
        DetectionCase{"vsp_top401", VspHead(0, 401, 1, 402), "a.vsp", 0},
        DetectionCase{"vsp_width0", VspHead(5, 0, 5, 1), "a.vsp", 0},
        DetectionCase{"vsp_negative_left", VspHead(-1, 0, 1, 1), "a.vsp", 0},
        DetectionCase{"vsp_negative_top", VspHead(0, -1, 1, 1), "a.vsp", 0},
        DetectionCase{"vsp_needs_8", VspHead(0, 0, 1, 1, 7), "a.vsp", 0},
        DetectionCase{"vsp_8_enough", VspHead(0, 0, 1, 1, 8), "a.vsp", 3},
        DetectionCase{"empty", Bytes{}, "a.vsp", 0}),
    [](const ::testing::TestParamInfo<DetectionCase>& info) { return std::string(info.param.label); });

struct InfoCase {
    const char* label;
    Bytes bytes;
    std::string name;
    uint16_t width;
    uint16_t height;
    uint8_t depth;
    uint8_t flag;
    int32_t kind;
};

void PrintTo(const InfoCase& c, std::ostream* os) { *os << c.label; }

class ImageInfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(ImageInfoTest, FillsTheRecord) {
    const InfoCase& c = GetParam();
    HostRecord record(c.bytes, c.name);
    ImageInfo info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(KRV_GetImageInfo(record.get(), &info), 0);
    EXPECT_EQ(info.text[0], 0);
    EXPECT_EQ(static_cast<unsigned char>(info.text[1]), 0xCC) << "only the first text byte is written";
    EXPECT_EQ(static_cast<uint32_t>(info.dataOffset), 0u);  // packed fields are read by value
    EXPECT_EQ(static_cast<uint32_t>(info.dataSize), c.bytes.size());
    EXPECT_EQ(static_cast<uint16_t>(info.width), c.width);
    EXPECT_EQ(static_cast<uint16_t>(info.height), c.height);
    EXPECT_EQ(info.bitDepth, c.depth);
    EXPECT_EQ(info.imageFlag, c.flag);
    EXPECT_EQ(static_cast<int32_t>(info.kind), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ImageInfoTest,
    ::testing::Values(InfoCase{"qnt_no_alpha", QntHead(0, 640, 480, 10, 0, 64), "a.qnt", 640, 480, 24, 1, 1},
                      InfoCase{"qnt_alpha", QntHead(1, 3, 2, 10, 1, 64), "a.qnt", 3, 2, 32, 1, 1},
                      InfoCase{"qnt_wide_low_bits", QntHead(2, 70000, 65536 + 7, 10, 0, 64), "a.qnt", 4464, 7, 24,
                               1, 1},
                      InfoCase{"pms8", PmsHead(1, 48, 8, 10, 2, 64), "a.pms", 10, 2, 8, 1, 2},
                      InfoCase{"pms16", PmsHead(2, 64, 16, 1024, 768, 64), "a.pms", 1024, 768, 16, 1, 2},
                      InfoCase{"pms_odd_depth", PmsHead(2, 64, 5, 3, 3, 64), "a.pms", 3, 3, 5, 1, 2},
                      InfoCase{"pms_width70000", PmsHead(1, 48, 8, 70000, 1, 64), "a.pms", 4464, 1, 8, 1, 2},
                      InfoCase{"vsp", VspHead(2, 10, 12, 210), "a.vsp", 80, 200, 4, 0, 3}),
    [](const ::testing::TestParamInfo<InfoCase>& info) { return std::string(info.param.label); });

TEST(ImageInfoTest, LeavesTheRecordUntouchedForOtherFiles) {
    for (const Bytes& bytes : {Bytes{1, 2, 3}, QntHead(3, 3, 2, 10, 0, 64), VspHead(0, 0, 1, 1)}) {
        HostRecord record(bytes, "a.bin");
        ImageInfo info;
        std::memset(&info, 0x5A, sizeof info);
        ASSERT_EQ(KRV_GetImageInfo(record.get(), &info), 0);
        for (size_t i = 0; i < sizeof info; ++i) {
            ASSERT_EQ(reinterpret_cast<const unsigned char*>(&info)[i], 0x5A) << "byte " << i;
        }
    }
}

TEST(ImageDetectionTest, ResultIsClearedBeforeAnyTest) {
    HostRecord record(Bytes{7}, "x.vsp");
    int32_t kind = 3;
    EXPECT_EQ(ThePlugin().isSupportedImage(record.get(), &kind), 0);
    EXPECT_EQ(kind, 0);
}

}  // namespace
