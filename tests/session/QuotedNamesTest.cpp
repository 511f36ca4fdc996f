// The OtherWindows list: names in apostrophes, doubled apostrophes inside, and text that a
// page gets wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/QuotedNames.h"

using Names = std::vector<std::string>;

TEST(QuotedNames, ReadsEveryNameAndDoubledApostrophes)
{
    EXPECT_EQ(ParseQuotedNames("'main', 'overview'"), (Names{"main", "overview"}));
    EXPECT_EQ(ParseQuotedNames("'it''s'"), (Names{"it's"}));
    EXPECT_EQ(ParseQuotedNames("''''"), (Names{"'"}));
    EXPECT_EQ(ParseQuotedNames("'', 'a b'"), (Names{"", "a b"}));
    EXPECT_EQ(ParseQuotedNames("x'a'y;'b'"), (Names{"a", "b"}));
}

TEST(QuotedNames, AnUnclosedNameIsDropped)
{
    EXPECT_EQ(ParseQuotedNames(""), Names{});
    EXPECT_EQ(ParseQuotedNames("main"), Names{});
    EXPECT_EQ(ParseQuotedNames("'a', 'b"), (Names{"a"}));
    EXPECT_EQ(ParseQuotedNames("'a''"), Names{});
    EXPECT_EQ(ParseQuotedNames(std::string("'a\0b'", 5)), (Names{std::string("a\0b", 3)}));
}
