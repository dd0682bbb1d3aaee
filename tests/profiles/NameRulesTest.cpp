// The shared rules for names: case-blind comparison.
#include "profiles/NameRules.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace velkor
