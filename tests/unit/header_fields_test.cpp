// The header fields a re-encoder keeps, as torvasoft_inspect reports them:
// each read from its place, signed where the format stores signed values,
// and 0 when the file ends before it. None of them changes what the
// plug-in's information entry point reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/raw_headers.h"
#include "torvasoft/torvasoft.h"

namespace {

using torvatest::Bytes;
using torvatest::Put16;
using torvatest::Put32;

struct Expected {
    int32_t x, y;
    uint32_t version, headerSize, reserved, commentOffset;
    uint8_t shadowDepth;
    uint8_t flags0;  // pms_flags[0]
    uint8_t flags7;  // pms_flags[7]
};

struct Case {
    const char* label;
    Bytes file;
    const char* name;
    Expected expected;
};

Bytes MarkedPms(uint16_t version, uint16_t headerSize, size_t total) {
    Bytes b = torvatest::PmsHead(version, headerSize, 16, 4, 4, headerSize, 80);
    b[7] = 0x21;
    for (size_t i = 8; i < 16; ++i) b[i] = static_cast<unsigned char>(0xF0 + i);
    Put32(b, 16, uint32_t(-3));
    Put32(b, 20, 77);
    Put32(b, 40, 70);
    b.resize(total);
    return b;
}

std::vector<Case> Cases() {
    Bytes qnt0 = torvatest::QntHead(0, 4, 4, 1, 0, 200);
    Put32(qnt0, 8, 320);
    Put32(qnt0, 12, uint32_t(-200));
    Put32(qnt0, 28, 0xDEADBEEF);
    Bytes qnt2 = torvatest::QntHead(2, 4, 4, 1, 0, 200);
    Put32(qnt2, 8, 60);
    Put32(qnt2, 12, 5);
    Put32(qnt2, 16, 6);
    Put32(qnt2, 32, 9);
    Bytes vsp = torvatest::VspHead(3, 10, 5, 20);
    Put16(vsp, 8, 0xBEEF);
    return {
        {"qnt version 0: body at 8, colour at 48", qnt0, "a.qnt", {320, -200, 0, 48, 0xDEADBEEF, 0, 0, 0, 0}},
        {"qnt version 2: the stored header size", qnt2, "a.qnt", {5, 6, 2, 60, 9, 0, 0, 0, 0}},
        {"pms version 1", MarkedPms(1, 48, 80), "a.pms", {-3, 77, 1, 48, 0, 70, 0x21, 0xF8, 0xFF}},
        {"pms version 2", MarkedPms(2, 64, 80), "a.pms", {-3, 77, 2, 64, 0, 70, 0x21, 0xF8, 0xFF}},
        // The file ends inside the comment offset: it reads as none.
        {"pms cut at 42", MarkedPms(1, 48, 42), "a.pms", {-3, 77, 1, 48, 0, 0, 0x21, 0xF8, 0xFF}},
        {"vsp: bytes 8 and 9", vsp, "a.vsp", {24, 10, 0, 58, 0xBEEF, 0, 0, 0, 0}},
        {"vsp cut at 9", Bytes(vsp.begin(), vsp.begin() + 9), "a.vsp", {24, 10, 0, 58, 0, 0, 0, 0, 0}},
    };
}

TEST(HeaderFieldsTest, InspectReadsEachFieldFromItsPlace) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.label);
        torvasoft_info info{};
        const torvasoft_status status = torvasoft_inspect(c.file.data(), c.file.size(), c.name, &info);
        ASSERT_NE(status, TORVASOFT_NOT_RECOGNISED);
        const Expected& e = c.expected;
        EXPECT_EQ(info.has_position, 1);
        EXPECT_EQ(std::vector<int64_t>({info.x, info.y, info.version, info.header_size, info.reserved,
                                        info.comment_offset, info.shadow_depth, info.pms_flags[0],
                                        info.pms_flags[7]}),
                  std::vector<int64_t>({e.x, e.y, e.version, e.headerSize, e.reserved, e.commentOffset,
                                        e.shadowDepth, e.flags0, e.flags7}));
    }
}

}  // namespace
