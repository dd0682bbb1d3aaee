// The shared rules for names: case-blind comparison, and which names read from
// a file may name a file.
#include "profiles/NameRules.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

TEST(NameRules, OnlyAsciiLettersIgnoreCase) {
    EXPECT_TRUE(SameNameIgnoringCase("Profile1", "pROFILE1"));
    EXPECT_FALSE(SameNameIgnoringCase("profile1", "profile1 ")) << "lengths differ";
    EXPECT_FALSE(SameNameIgnoringCase("profile1", "profile")) << "a prefix is not the name";
    // "É" and "é" in UTF-8: bytes beyond ASCII match only exactly, whatever the locale.
    EXPECT_FALSE(SameNameIgnoringCase("\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9"));
    EXPECT_TRUE(SameNameIgnoringCase("\xC3\xA9T\xC3\xA9", "\xC3\xA9t\xC3\xA9"));
}

struct FileNameCase {
    std::string name;
    bool plain;
    const char* why;
};

class PlainFileName : public ::testing::TestWithParam<FileNameCase> {};

TEST_P(PlainFileName, FollowsTheOneRule) {
    EXPECT_EQ(IsPlainFileName(GetParam().name), GetParam().plain) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(
    NameRules, PlainFileName,
    ::testing::Values(
        // Names the program stores and ships stay accepted.
        FileNameCase{"2023_07_04_09_05_03_042", true, "a profile identifier or macro Guid"},
        FileNameCase{"{A1B2C3D4-0000-1111-2222-333344445555}", true, "a braced Guid of a light effect"},
        FileNameCase{"lan_en.xml", true, "a language file"},
        FileNameCase{"MousePad", true, "a device folder"},
        FileNameCase{"caf\xC3\xA9 mix", true, "UTF-8 and spaces name a file like any other byte"},
        FileNameCase{"...", true, "three dots are a name, not a step up"},
        FileNameCase{std::string(kMaxPlainFileNameBytes, 'x'), true, "the longest name"},
        // Anything that names no file of the folder, or another one, is refused.
        FileNameCase{std::string(kMaxPlainFileNameBytes + 1, 'x'), false, "one byte too long"},
        FileNameCase{"", false, "the folder itself"}, FileNameCase{".", false, "the folder itself"},
        FileNameCase{"..", false, "the parent folder"}, FileNameCase{"../x", false, "a step up"},
        FileNameCase{"a/b", false, "a sub-folder"}, FileNameCase{"/etc", false, "an absolute path"},
        FileNameCase{"..\\x", false, "a step up where '\\' separates"},
        FileNameCase{std::string("a\0b", 3), false, "NUL cuts the name short"},
        FileNameCase{"tab\there", false, "a control character"},
        FileNameCase{"line\n", false, "a control character"},
        FileNameCase{"del\x7F", false, "DEL is a control character"}));

} // namespace
} // namespace velkor
