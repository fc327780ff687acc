// The core's reading of a plain file name: the extension of its last
// component after '/' or '\', ASCII case folded, and the stem that names ALK
// members. Bytes of any encoding pass through as they are.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formats/file_names.h"

namespace {

using torva::Extension;

struct ExtensionCase {
    const char* name;
    Extension expected;
};

class ExtensionOfNameTest : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ExtensionOfNameTest, ReadsTheLastComponentsExtension) {
    EXPECT_EQ(torva::ExtensionOfName(GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExtensionOfNameTest,
    ::testing::Values(ExtensionCase{"x.ald", Extension::Ald}, ExtensionCase{"X.ALD", Extension::Ald},
                      ExtensionCase{"dir/x.aLd", Extension::Ald}, ExtensionCase{"C:\\d\\x.ald", Extension::Ald},
                      ExtensionCase{".ald", Extension::Ald}, ExtensionCase{"x.vsp", Extension::Vsp},
                      ExtensionCase{"a/b\\x.VsP", Extension::Vsp}, ExtensionCase{"x.ald.bak", Extension::Other},
                      ExtensionCase{"x.aldx", Extension::Other}, ExtensionCase{"x.al", Extension::Other},
                      ExtensionCase{"d.ald/x", Extension::Other}, ExtensionCase{"d.vsp\\x", Extension::Other},
                      ExtensionCase{"x.ald/", Extension::Other}, ExtensionCase{"ald", Extension::Other},
                      ExtensionCase{"", Extension::Other}, ExtensionCase{nullptr, Extension::Other},
                      // No code page: a byte is a byte, a lead byte before the dot or
                      // the separator included; one after the extension spoils it.
                      ExtensionCase{"x\x81.ald", Extension::Ald}, ExtensionCase{"\x83\\x.vsp", Extension::Vsp},
                      ExtensionCase{"x.ald\x83", Extension::Other}, ExtensionCase{"x.\xC1LD", Extension::Other}));

struct StemCase {
    std::string name;
    std::string expected;
};

class StemOfNameTest : public ::testing::TestWithParam<StemCase> {};

TEST_P(StemOfNameTest, IsTheLastComponentWithoutItsExtension) {
    char stem[torva::archive::kBaseNameBytes];
    std::memset(stem, 'z', sizeof stem);
    torva::StemOfName(GetParam().name.c_str(), stem);
    EXPECT_EQ(std::string(stem), GetParam().expected);
    EXPECT_EQ(stem[sizeof stem - 1], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Names, StemOfNameTest,
    ::testing::Values(StemCase{"C:\\data\\Voice.alk", "Voice"}, StemCase{"dir/a.b.alk", "a.b"},
                      StemCase{"plain", "plain"}, StemCase{"dir/b.", "b"}, StemCase{".alk", ""},
                      StemCase{"d.x/", ""},
                      // Cut to 259 bytes first, so a dot past the cut ends nothing.
                      StemCase{std::string(300, 'a') + ".alk", std::string(259, 'a')},
                      StemCase{std::string(250, 'a') + ".b" + std::string(20, 'c'), std::string(250, 'a')}));

TEST(StemOfNameTest, NullNameGivesAnEmptyStem) {
    char stem[torva::archive::kBaseNameBytes];
    std::memset(stem, 'z', sizeof stem);
    torva::StemOfName(nullptr, stem);
    EXPECT_EQ(stem[0], '\0');
}

}  // namespace
