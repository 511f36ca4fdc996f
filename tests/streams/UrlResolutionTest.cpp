// Resolution of resource names against the page location, and space escaping.
#include <gtest/gtest.h>

#include <string>

#include "streams/UrlResolution.h"

namespace {

const std::string kPage = "http://H/d/p.html?x=1";

struct Resolution {
    std::string pageUrl;
    std::string relative;
    std::string expected;
};

class ResolveUrlCases : public ::testing::TestWithParam<Resolution> {};

TEST_P(ResolveUrlCases, GivesTheExpectedText)
{
    const Resolution& c = GetParam();
    EXPECT_EQ(ResolveUrl(c.pageUrl, c.relative), c.expected);
}

// Names relative to one page that carries a query string.
INSTANTIATE_TEST_SUITE_P(
    AgainstOnePage, ResolveUrlCases,
    ::testing::Values(Resolution{kPage, "tex/a.obv", "http://H/d/p.html?x=1/../tex/a.obv"},
                      Resolution{kPage, "/tex/a.obv", "http://H/tex/a.obv"},
                      Resolution{kPage, "http://H2/a.obv", "http://H2/a.obv"},
                      Resolution{kPage, "C:\\m\\a.obv", "C:\\m\\a.obv"},
                      Resolution{kPage, "x1:y", kPage + "/../x1:y"},
                      Resolution{kPage, ":a", kPage + "/../:a"},
                      Resolution{kPage, "", kPage + "/../"},
                      Resolution{kPage, "./a:b", kPage + "/.././a:b"},
                      Resolution{kPage, "a b:c", kPage + "/../a b:c"},
                      Resolution{kPage, "abc", kPage + "/../abc"},
                      Resolution{kPage, "abc:", "abc:"},
                      Resolution{kPage, "file:///C|/x.obv", "file:///C|/x.obv"},
                      Resolution{kPage, "javascript:go()", "javascript:go()"},
                      Resolution{kPage, "mailto:someone", "mailto:someone"},
                      Resolution{kPage, "../up.obv", kPage + "/../../up.obv"}));

// One root-relative name against pages of every shape.
INSTANTIATE_TEST_SUITE_P(
    FromTheRoot, ResolveUrlCases,
    ::testing::Values(Resolution{"http://H", "/a.obv", "http://H/a.obv"},
                      Resolution{"http://H/", "/a.obv", "http://H/a.obv"},
                      Resolution{"file:///C|/d/p.html", "/a.obv", "file:///C|/a.obv"},
                      Resolution{"about:blank", "/a.obv", "about:blank/a.obv"},
                      Resolution{"p.html", "/a.obv", "p.html/a.obv"},
                      Resolution{"http:", "/a.obv", "http:/a.obv"},
                      Resolution{"http:///", "/a.obv", "http:////a.obv"},
                      Resolution{"h2p://H/d/p", "/a.obv", "h2p://H/d/p/a.obv"},
                      Resolution{"HTTPS://H:8080/d/p", "/a.obv", "HTTPS://H:8080/a.obv"},
                      Resolution{"http://H/d/p", "//H2/a.obv", "http://H//H2/a.obv"}));

TEST(ResolveUrl, JoinsANameDirectlyToAFolderLocation)
{
    EXPECT_EQ(ResolveUrl("http://H/d/", "tex/a.obv"), "http://H/d/tex/a.obv");
    EXPECT_EQ(ResolveUrl("http://H/d/", "/a.obv"), "http://H/a.obv");
    EXPECT_EQ(ResolveUrl("http://H/d/", "http://H2/a.obv"), "http://H2/a.obv");
}

struct SrcBase {
    std::string streamUrl;
    std::string src;
    std::string base;
};

class BaseOfSrcCases : public ::testing::TestWithParam<SrcBase> {};

// The base found is the folder against which the src as written names the stream's URL.
TEST_P(BaseOfSrcCases, IsTheFolderTheSrcWasWrittenAgainst)
{
    const SrcBase& c = GetParam();
    EXPECT_EQ(BaseOfSrc(c.streamUrl, c.src), c.base);
    if (!c.base.empty() && c.src.find("..") == std::string::npos && c.src.find("./") == std::string::npos) {
        EXPECT_EQ(ResolveUrl(c.base, c.src), c.streamUrl);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Srcs, BaseOfSrcCases,
    ::testing::Values(SrcBase{"http://h/d/applets/world.obvm", "applets/world.obvm", "http://h/d/"},
                      SrcBase{"http://h/d/world.obvm", "world.obvm", "http://h/d/"},
                      SrcBase{"http://h/d/world.obvm", "./world.obvm", "http://h/d/"},
                      SrcBase{"http://h/d/b/x.obvm", "a/../b/x.obvm", "http://h/d/"},
                      SrcBase{"http://h/a/x.obvm", "../x.obvm", "http://h/a/_/"},
                      SrcBase{"http://h/x/y.obvm", "/x/y.obvm", "http://h/"},
                      SrcBase{"http://h/d/x.obvm", "http://h/d/x.obvm", "http://h/d/"},
                      SrcBase{"http://h/d/x.obvm?v=1/2", "x.obvm?v=1/2", "http://h/d/"},
                      SrcBase{"file:///Z:/t/p/applets/s.obvm", "applets/s.obvm", "file:///Z:/t/p/"},
                      SrcBase{"http://h/x.obvm", "a/b/x.obvm", ""},
                      SrcBase{"x.obvm", "x.obvm", ""}));

TEST(EscapeSpaces, ReplacesEverySpaceAndNothingElse)
{
    EXPECT_EQ(EscapeSpaces(""), "");
    EXPECT_EQ(EscapeSpaces("http://H/a.obv"), "http://H/a.obv");
    EXPECT_EQ(EscapeSpaces(" a  b "), "%20a%20%20b%20");
    EXPECT_EQ(EscapeSpaces("http://H/my tex/a b.obv?q=1 2"), "http://H/my%20tex/a%20b.obv?q=1%202");
    EXPECT_EQ(EscapeSpaces("tab\tand%20and+plus#frag"), "tab\tand%20and+plus#frag");
}

TEST(EscapeSpaces, AppliesToAResolvedName)
{
    EXPECT_EQ(EscapeSpaces(ResolveUrl(kPage, "my tex/a.obv")), "http://H/d/p.html?x=1/../my%20tex/a.obv");
}

}  // namespace
