// The plug-in frame as the host sees it: identity, the extension query and
// its string convention, the dispatch of KRV_IsSupported, and the do-nothing
// defaults of PluginBase.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/entry_points.h"
#include "plugin/plugin_object.h"
#include "tests/support/test_support.h"

namespace {

TEST(PluginInfoTest, ReportsIdentityAndKeepsBytesAfterTerminators) {
    PluginInfo info;
    std::memset(&info, 0xFF, sizeof info);
    EXPECT_EQ(KRV_GetPluginInfo(&info), 0);
    EXPECT_EQ(info.apiVersion, 1);
    EXPECT_EQ(info.pluginKinds, 3);
    EXPECT_STREQ(info.name, "TORVASOFT");
    EXPECT_STREQ(info.author, "Tavik");
    EXPECT_STREQ(info.version, "0.1");
    EXPECT_EQ(info.archiveExtCount, 1);
    EXPECT_EQ(info.imageExtCount, 1);
    // Each string is copied through its terminator and nothing more.
    EXPECT_EQ(static_cast<unsigned char>(info.name[10]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(info.name[79]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(info.author[6]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(info.version[4]), 0xFF);
}

struct ExtensionRow {
    int32_t type;
    const char* pattern;
};

class ExtensionQueryTest : public ::testing::TestWithParam<ExtensionRow> {};

TEST_P(ExtensionQueryTest, CopiesDescriptionAndPatternWithTerminators) {
    char description[64];
    char pattern[64];
    int32_t descriptionLength = sizeof description;
    int32_t patternLength = sizeof pattern;
    ASSERT_EQ(KRV_GetSupportedExt(GetParam().type, 0, description, &descriptionLength, pattern, &patternLength), 0);
    EXPECT_STREQ(description, "TORVASOFT");
    EXPECT_EQ(descriptionLength, 10);
    EXPECT_STREQ(pattern, GetParam().pattern);
    EXPECT_EQ(patternLength, static_cast<int32_t>(std::strlen(GetParam().pattern) + 1));
}

TEST_P(ExtensionQueryTest, NullBuffersAskForLengths) {
    int32_t descriptionLength = -7;
    int32_t patternLength = -7;
    ASSERT_EQ(KRV_GetSupportedExt(GetParam().type, 0, nullptr, &descriptionLength, nullptr, &patternLength), 0);
    EXPECT_EQ(descriptionLength, 9);
    EXPECT_EQ(patternLength, static_cast<int32_t>(std::strlen(GetParam().pattern)));
}

INSTANTIATE_TEST_SUITE_P(BothTables, ExtensionQueryTest,
                         ::testing::Values(ExtensionRow{1, "*.ald;*.alk"}, ExtensionRow{2, "*.qnt;*.pms;*.vsp"}));

struct CapacityCase {
    int32_t capacity;
    int32_t reported;
    const char* copied;  // bytes expected at the start of the buffer
    size_t copiedLength;
};

class StringCapacityTest : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(StringCapacityTest, CopiesAtMostTheCapacity) {
    char description[64];
    char pattern[64];
    std::memset(pattern, '#', sizeof pattern);
    int32_t descriptionLength = sizeof description;
    int32_t patternLength = GetParam().capacity;
    ASSERT_EQ(KRV_GetSupportedExt(1, 0, description, &descriptionLength, pattern, &patternLength), 0);
    EXPECT_EQ(patternLength, GetParam().reported);
    EXPECT_EQ(std::memcmp(pattern, GetParam().copied, GetParam().copiedLength), 0);
    EXPECT_EQ(pattern[GetParam().copiedLength], '#') << "nothing past the copied bytes";
}

INSTANTIATE_TEST_SUITE_P(Capacities, StringCapacityTest,
                         ::testing::Values(CapacityCase{64, 12, "*.ald;*.alk", 12},
                                           CapacityCase{12, 12, "*.ald;*.alk", 12},
                                           CapacityCase{11, 11, "*.ald;*.alk", 11},
                                           CapacityCase{5, 5, "*.ald", 5}, CapacityCase{0, 0, "", 0},
                                           CapacityCase{-3, 0, "", 0}));

struct BadQuery {
    int32_t type;
    int32_t index;
    bool nullDescriptionLength;
    bool nullPatternLength;
};

class ExtensionQueryRejectsTest : public ::testing::TestWithParam<BadQuery> {};

TEST_P(ExtensionQueryRejectsTest, ReturnsInvalidArgumentAndWritesNothing) {
    char description[16];
    char pattern[16];
    std::memset(description, 'd', sizeof description);
    std::memset(pattern, 'p', sizeof pattern);
    int32_t descriptionLength = 16;
    int32_t patternLength = 16;
    const BadQuery& q = GetParam();
    EXPECT_EQ(KRV_GetSupportedExt(q.type, q.index, description, q.nullDescriptionLength ? nullptr : &descriptionLength,
                                  pattern, q.nullPatternLength ? nullptr : &patternLength),
              10);
    EXPECT_EQ(descriptionLength, 16);
    EXPECT_EQ(patternLength, 16);
    for (char c : description) EXPECT_EQ(c, 'd');
    for (char c : pattern) EXPECT_EQ(c, 'p');
}

INSTANTIATE_TEST_SUITE_P(Faults, ExtensionQueryRejectsTest,
                         ::testing::Values(BadQuery{1, 1, false, false}, BadQuery{2, 1, false, false},
                                           BadQuery{1, -1, false, false}, BadQuery{3, 0, false, false},
                                           BadQuery{0, 0, false, false}, BadQuery{1, 0, true, false},
                                           BadQuery{2, 0, false, true}));

TEST(IsSupportedTest, OtherServiceTypesClearTheResult) {
    torvatest::HostRecord record({'Q', 'N', 'T', 0}, "x.qnt");
    for (int32_t type : {0, 3, 5, -1}) {
        int32_t result = 77;
        EXPECT_EQ(KRV_IsSupported(record.get(), type, &result), 0);
        EXPECT_EQ(result, 0) << "type " << type;
    }
}

TEST(PluginBaseTest, DefaultsAnswerNothingAndWriteNothing) {
    PluginBase base(1, 3, "X", "Y", "Z", 0, nullptr, 0, nullptr);
    torvatest::HostRecord record({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, "x.ald");
    int32_t kind = 42;
    EXPECT_EQ(base.isSupportedArchive(record.get(), &kind), 0);
    EXPECT_EQ(kind, 42);
    EXPECT_EQ(base.isSupportedImage(record.get(), &kind), 0);
    EXPECT_EQ(kind, 42);
    HGLOBAL block = reinterpret_cast<HGLOBAL>(0x1234);
    int32_t count = 9;
    EXPECT_EQ(base.getArchiveInfo(record.get(), &block, &count), 0);
    EXPECT_EQ(count, 9);
    ImageInfo info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(base.getImageInfo(record.get(), &info), 0);
    EXPECT_EQ(int32_t{info.kind}, static_cast<int32_t>(0xABABABAB));
    uint32_t size = 5;
    EXPECT_EQ(base.getImage(record.get(), &block, &size, 0), 0);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(block, reinterpret_cast<HGLOBAL>(0x1234));
    EXPECT_EQ(base.reservedA(1, 2, 3), 0);
    EXPECT_EQ(base.reservedB(1, 2, 3, 4, 5), 0);
    EXPECT_EQ(base.reservedC(1), 0);
}

TEST(CopyMemberTest, CopiesTheLowThirtyTwoBitsOfTheSize) {
    const unsigned char source[] = {9, 8, 7, 6, 5};
    for (int64_t size : {int64_t{0}, int64_t{3}, int64_t{5}, (int64_t{1} << 32) + 4}) {
        ArchiveEntry entry{};
        entry.size = size;
        HGLOBAL block = nullptr;
        ASSERT_EQ(ThePlugin().copyMemberToGlobal(0, source, &entry, &block), 0);
        ASSERT_NE(block, nullptr);
        const size_t expected = static_cast<size_t>(static_cast<uint32_t>(size));
        EXPECT_EQ(GlobalSize(block), expected);
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u) << "handed over unlocked";
        if (expected > 0) {
            torvatest::Bytes copied = torvatest::BlockBytes(block, expected);
            EXPECT_EQ(std::memcmp(copied.data(), source, expected), 0);
        }
        EXPECT_EQ(GlobalFree(block), nullptr);
    }
}

}  // namespace
