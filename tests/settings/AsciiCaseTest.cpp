// The one case-insensitive comparison: ASCII letters only, whatever the bytes around them,
// and lengths always count.
#include <gtest/gtest.h>

#include <string>

#include "base/AsciiCase.h"

namespace {

TEST(AsciiCase, OnlyAsciiLettersFold)
{
    EXPECT_TRUE(EqualsIgnoringCase("WindowName", "wINDOWnAME"));
    EXPECT_FALSE(EqualsIgnoringCase("\xC4", "\xE4"));  // Latin-1 A and a with diaeresis
    EXPECT_FALSE(EqualsIgnoringCase("@[`{", "`{@["));  // neighbours of the letter ranges
    EXPECT_EQ(AsciiLowerCase("Res:A\xC4Z@["), "res:a\xC4z@[");
}

TEST(AsciiCase, LengthsCountAlsoPastAnEmbeddedTerminator)
{
    EXPECT_FALSE(EqualsIgnoringCase("src", "srcx"));
    EXPECT_FALSE(EqualsIgnoringCase(std::string("end\0x", 5), "END"));
    EXPECT_TRUE(EqualsIgnoringCase(std::string("a\0B", 3), std::string("A\0b", 3)));
    EXPECT_TRUE(EqualsIgnoringCase("", ""));
}

TEST(AsciiCase, PrefixesNeedTheWholePrefix)
{
    EXPECT_TRUE(StartsWithIgnoringCase("NOREMAP:tex.obv", "noremap:"));
    EXPECT_TRUE(StartsWithIgnoringCase("off", "OFF"));
    EXPECT_FALSE(StartsWithIgnoringCase("of", "off"));
    EXPECT_TRUE(StartsWithIgnoringCase("anything", ""));
    EXPECT_FALSE(StartsWithIgnoringCase("", "x"));
}

}  // namespace
