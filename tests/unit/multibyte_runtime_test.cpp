// The multibyte string routines that file names go through, checked alike
// against the Windows C runtime (under Wine) and the stand-in. In code page
// 932 a lead byte takes the next byte with it, so a trail byte of 0x5C or of
// an ASCII letter must never be found as a backslash or folded as a letter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/winapi.h"
#include "plugin/entry_points.h"
#include "plugin/file_name.h"
#include "tests/support/lead_byte_name_cases.h"
#include "tests/support/page_end_record.h"
#include "tests/support/test_support.h"

namespace {

const unsigned char* U(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

struct SearchCase {
    unsigned codePage;
    const char* text;
    unsigned character;
    int expected;  // index of the last match, -1 for none
};

class ReverseSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(ReverseSearchTest, FindsOnlyWholeCharacters) {
    const SearchCase& c = GetParam();
    torvatest::MultibyteCodePage scope(c.codePage);
    const unsigned char* found = _mbsrchr(U(c.text), c.character);
    EXPECT_EQ(found == nullptr ? -1 : static_cast<int>(found - U(c.text)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ReverseSearchTest,
    ::testing::Values(SearchCase{932, "a\\\x95\x5c.vsp", '\\', 1},   // 0x95 0x5C is one character
                      SearchCase{1252, "a\\\x95\x5c.vsp", '\\', 3},  // single-byte: 0x5C is a backslash
                      SearchCase{932, "\x95\x5c", '\\', -1},
                      SearchCase{932, "d\\\x83\x5c\x83\x5c.ald", '.', 6},
                      SearchCase{932, "\x83\x5c\x83\x5c" "ald", '.', -1},
                      SearchCase{932, "a\\b\\c", '\\', 3},
                      SearchCase{932, "abc", '.', -1}));

struct CompareCase {
    unsigned codePage;
    const char* left;
    const char* right;
    bool equal;
};

class CaseFoldCompareTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CaseFoldCompareTest, FoldsOnlySingleByteLetters) {
    const CompareCase& c = GetParam();
    torvatest::MultibyteCodePage scope(c.codePage);
    EXPECT_EQ(_mbsicmp(U(c.left), U(c.right)) == 0, c.equal);
    EXPECT_EQ(_mbsicmp(U(c.right), U(c.left)) == 0, c.equal);
}

INSTANTIATE_TEST_SUITE_P(Extensions, CaseFoldCompareTest,
                         ::testing::Values(CompareCase{932, ".ALD", ".ald", true},
                                           CompareCase{932, ".Vsp", ".vsp", true},
                                           CompareCase{932, ".ald", ".al", false},
                                           CompareCase{932, ".ald", ".aldx", false},
                                           // 0x83 0x41 and 0x83 0x61 are two different characters.
                                           CompareCase{932, ".\x83\x41", ".\x83\x61", false},
                                           CompareCase{1252, ".\x83\x41", ".\x83\x61", true}));

struct CopyCase {
    unsigned codePage;
    const char* source;
    size_t count;
    const char* expected;  // `count` bytes
};

class BoundedCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(BoundedCopyTest, CopiesWholeCharactersAndPadsWithZeros) {
    const CopyCase& c = GetParam();
    torvatest::MultibyteCodePage scope(c.codePage);
    unsigned char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    _mbsnbcpy(buffer, U(c.source), c.count);
    EXPECT_EQ(std::memcmp(buffer, c.expected, c.count), 0);
    EXPECT_EQ(buffer[c.count], 'X') << "nothing written past the count";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BoundedCopyTest,
    ::testing::Values(CopyCase{932, "ab", 5, "ab\0\0\0"},  // the rest of the field becomes zero
                      CopyCase{932, "abcdef", 4, "abcd"},  // no terminator when the text fills the field
                      CopyCase{932, "a\x95\x5c", 4, "a\x95\x5c\0"},
                      // No room for the trail byte: the lead byte is not left alone.
                      CopyCase{932, "a\x95\x5c", 2, "a\0"},
                      CopyCase{1252, "a\x95\x5c", 2, "a\x95"}));

struct NameCase {
    unsigned codePage;
    const char* path;
    const char* baseName;
    const char* extension;  // null for none
};

class FileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameTest, SplitsAtWholeCharacters) {
    const NameCase& c = GetParam();
    torvatest::MultibyteCodePage scope(c.codePage);
    const char* base = BaseNameOf(c.path);
    EXPECT_STREQ(base, c.baseName);
    const char* extension = ExtensionOf(base);
    if (c.extension == nullptr) {
        EXPECT_EQ(extension, nullptr);
    } else {
        EXPECT_STREQ(extension, c.extension);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileNameTest,
    ::testing::Values(NameCase{932, "C:\\data\\\x95\x5c.vsp", "\x95\x5c.vsp", ".vsp"},
                      NameCase{1252, "C:\\data\\\x95\x5c.vsp", ".vsp", ".vsp"},
                      NameCase{932, "C:\\a.ald\\\x83\x5cx", "\x83\x5cx", nullptr},
                      NameCase{932, "plain.ald", "plain.ald", ".ald"}));

class LeadByteAtNameEndTest : public ::testing::TestWithParam<torvatest::LeadByteNameCase> {};

TEST_P(LeadByteAtNameEndTest, NothingIsReadPastTheName) {
    const torvatest::LeadByteNameCase& c = GetParam();
    torvatest::MultibyteCodePage scope(932);
    const torvatest::Bytes bytes = torvatest::NameCaseBytes(c.file);
    torvatest::TempFile temp(bytes, ".bin");
    torvatest::OpenFile handle(temp.path());
    torvatest::PageEndRecord record(bytes, c.name, handle.handle());
    int32_t kind = -1;
    EXPECT_EQ(KRV_IsSupported(record.get(), c.service, &kind), 0);
    EXPECT_EQ(kind, c.kind);
    ImageInfo info{};
    EXPECT_EQ(KRV_GetImageInfo(record.get(), &info), 0);
    EXPECT_EQ(info.width, c.service == ServiceImage && c.kind != ImageNone ? 16 : 0);
    HGLOBAL block = nullptr;
    int32_t count = 0;
    ASSERT_EQ(KRV_GetArchiveInfo(record.get(), &block, &count), 0);
    EXPECT_EQ(count > 0, c.service == ServiceArchive && c.kind != ArchiveNone);
    if (c.firstMember != nullptr && count > 0) {
        EXPECT_STREQ(reinterpret_cast<const char*>(torvatest::BlockBytes(block, 256).data()), c.firstMember);
    }
    if (block != nullptr) GlobalFree(block);
}

INSTANTIATE_TEST_SUITE_P(Names, LeadByteAtNameEndTest, ::testing::ValuesIn(torvatest::kLeadByteNameCases));

}  // namespace
