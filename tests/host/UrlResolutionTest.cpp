// Resolving what plug-ins and pages name against the page's URL, as a browser does.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "SiteMap.h"
#include "StreamRule.h"
#include "UrlResolution.h"

namespace {

TEST(ResolveUrl, FollowsTheRfcExamples)
{
    const std::string base = "http://a/b/c/d;p?q";
    const struct { const char* reference; const char* expected; } cases[] = {
        {"g", "http://a/b/c/g"},         {"./g", "http://a/b/c/g"},        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},            {"//g", "http://g"},              {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},     {"#s", "http://a/b/c/d;p?q#s"},   {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},          {"..", "http://a/b/"},            {"../g", "http://a/b/g"},
        {"../../g", "http://a/g"},       {"../../../../g", "http://a/g"},  {"/./g", "http://a/g"},
        {"g/../h", "http://a/b/c/h"},    {"g;x=1/../y", "http://a/b/c/y"}, {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"http:g", "http://a/b/c/g"},    {"ftp://x/./y/../z", "ftp://x/z"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveUrl(base, c.reference), c.expected) << c.reference;
}

TEST(ResolveUrl, CollapsesThePageSegmentThatAPluginJoinsWithDotDot)
{
    EXPECT_EQ(ResolveUrl("http://h/x.html", "http://h/d/p.html/../tex/a.obv"), "http://h/d/tex/a.obv");
    EXPECT_EQ(ResolveUrl("file:///Z:/d/p.html", "file:///Z:/d/p.html/../tex/a b.obv"), "file:///Z:/d/tex/a b.obv");
    // Dot segments in a query are data, not path.
    EXPECT_EQ(ResolveUrl("http://h/", "http://h/d/p.html?x=1/../a.obv"), "http://h/d/p.html?x=1/../a.obv");
}

TEST(ResolveUrl, KnowsWindowsPathsAndDrivesInFileUrls)
{
    const std::string page = "file:///Z:/site/sub/page.html";
    EXPECT_EQ(ResolveUrl(page, "..\\data\\n.txt"), "file:///Z:/site/data/n.txt");
    EXPECT_EQ(ResolveUrl(page, "../../../../x.obv"), "file:///Z:/x.obv");
    EXPECT_EQ(ResolveUrl(page, "/top.obv"), "file:///Z:/top.obv");
    EXPECT_EQ(ResolveUrl("file:///C|/d/p.html", "a.obv"), "file:///C|/d/a.obv");
    EXPECT_EQ(ResolveUrl(page, "C:\\m\\a.obv"), "file:///C:/m/a.obv");
    EXPECT_EQ(ResolveUrl(page, "http://h/a.obv"), "http://h/a.obv");
    EXPECT_EQ(ResolveUrl("http://h", "a.obv"), "http://h/a.obv");
    EXPECT_EQ(ResolveUrl(page, "javascript:window.location.href"), "javascript:window.location.href");
}

TEST(ResolveUrl, ARedirectKeepsTheFragmentUnlessItGivesItsOwn)
{
    EXPECT_EQ(RedirectedUrl("http://h/a#s", "http://h/a/"), "http://h/a/#s");
    EXPECT_EQ(RedirectedUrl("http://h/a?v=1#s", "http://h/a?v=1"), "http://h/a?v=1#s");
    EXPECT_EQ(RedirectedUrl("http://h/a#s", "http://h/b#t"), "http://h/b#t");
    EXPECT_EQ(RedirectedUrl("http://h/a", "http://h/b"), "http://h/b");
    EXPECT_EQ(RedirectedUrl("http://h/a#s", ""), "http://h/a#s");  // nowhere said: as asked
}

TEST(FileUrls, MapToLocalPathsBothWays)
{
    EXPECT_EQ(FileUrlToPath("file:///Z:/a%20b/c.html?q#f"), "Z:\\a b\\c.html");
    EXPECT_EQ(FileUrlToPath("file:///C|/d/p.html"), "C:\\d\\p.html");
    EXPECT_EQ(FileUrlToPath("file://localhost/C:/x"), "C:\\x");
    EXPECT_EQ(FileUrlToPath("file://server/share/x"), "\\\\server\\share\\x");
    EXPECT_EQ(FileUrlToPath("http://h/x"), "");

    EXPECT_EQ(PathToFileUrl("Z:\\a b\\100%#1.html"), "file:///Z:/a%20b/100%25%231.html");
    EXPECT_EQ(PathToFileUrl("\\\\server\\share\\x"), "file://server/share/x");
    EXPECT_EQ(FileUrlToPath(PathToFileUrl("C:\\d\\na\xefve 50%.obv")), "C:\\d\\na\xefve 50%.obv");

    EXPECT_EQ(UrlFileName("http://h/d/a%20b.obv?x=1/2#f"), "a b.obv");
    EXPECT_EQ(UrlScheme("HTTP://h/"), "http");
    EXPECT_EQ(UrlScheme("C:\\x"), "");
}

TEST(StreamRule, KeepsPagesFromTheNetworkOffTheUsersDiskAndShares)
{
    const struct {
        const char* page;
        const char* reference;
        bool streamed;
    } cases[] = {
        {"http://h/d/p.html", "a.obvm", true},
        {"https://h/d/p.html", "//other/a.obvm", true},  // another server, by the page's scheme
        {"http://h/d/p.html", "file:///C:/x.obvm", false},
        {"http://h/d/p.html", "FILE://server/share/x.obvm", false},
        {"http://h/d/p.html", "C:\\x.obvm", false},
        {"http://h/d/p.html", "c:/x.obvm", false},
        {"http://h/d/p.html", "\\\\server\\share\\x.obvm", false},
        {"http://h/d/p.html", " \\/server/share/x.obvm", false},
        {"http://h/d/p.html", "/\\server\\share\\x.obvm", false},
        {"http://h/d/p.html", "ftp://h/x.obvm", false},
        {"http://h/d/p.html", "javascript:alert(1)", false},
        {"", "file:///C:/x.obvm", false},  // no page yet: nothing local either
        {"file:///C:/d/p.html", "C:\\x.obvm", true},
        {"file:///C:/d/p.html", "\\\\server\\share\\x.obvm", true},
        {"file:///C:/d/p.html", "http://h/x.obvm", true},
    };
    for (const auto& c : cases) {
        const std::string refusal = StreamRefusal(c.page, c.reference, ResolveUrl(c.page, c.reference));
        EXPECT_EQ(refusal.empty(), c.streamed) << c.page << " " << c.reference << ": " << refusal;
    }
}

}  // namespace

// Saved sites: URLs under a mapped prefix are answered from its folder, and no URL an applet
// makes up reaches a file outside it.
// In each double-byte ANSI code page, a character whose second byte is a backslash (932: U+8868,
// 936: U+4E57, 950: U+8A31) or an ASCII letter (949: U+AC02).
struct DoubleByteCase {
    unsigned codePage;
    std::vector<std::pair<unsigned char, unsigned char>> leadRanges;
    const char* character;
    const char* escaped;
};
const DoubleByteCase kDoubleByte[] = {
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}, "\x95\x5C", "%95%5C"},
    {936, {{0x81, 0xFE}}, "\x81\x5C", "%81%5C"},
    {949, {{0x81, 0xFE}}, "\x81\x41", "%81%41"},
    {950, {{0x81, 0xFE}}, "\xB3\x5C", "%B3%5C"},
};

LeadBytes LeadBytesOf(const DoubleByteCase& c)
{
    LeadBytes lead;
    for (const auto& range : c.leadRanges) lead.AddRange(range.first, range.second);
    return lead;
}

TEST(FileUrls, WalkDoubleByteNamesByCharacter)
{
    for (const DoubleByteCase& c : kDoubleByte) {
        const LeadBytes lead = LeadBytesOf(c);
        const std::string name = std::string(c.character) + ".obvm";
        const std::string path = "C:\\Applets\\" + name;
        const std::string url = PathToFileUrl(path, lead);
        EXPECT_EQ(url, "file:///C:/Applets/" + std::string(c.escaped) + ".obvm") << c.codePage;
        EXPECT_EQ(FileUrlToPath(url), path) << c.codePage;
        EXPECT_EQ(UrlFileName(url, lead), name) << c.codePage;
        EXPECT_EQ(ResolveUrl(url, "models/ring.obv", lead), "file:///C:/Applets/models/ring.obv") << c.codePage;

        // Names as a page or a renderer writes them, unescaped.
        const std::string page = "file:///C:/Applets/page.html";
        EXPECT_EQ(ResolveUrl(page, name + "\\..\\" + name, lead), "file:///C:/Applets/" + name) << c.codePage;
        EXPECT_EQ(ResolveUrl(page, std::string(c.character) + "\\ring.obv", lead),
                  "file:///C:/Applets/" + std::string(c.character) + "/ring.obv")
            << c.codePage;
        EXPECT_EQ(FileUrlToPath(ResolveUrl(page, name, lead)), path) << c.codePage;
        EXPECT_EQ(UrlFileName("file:///C:/Applets/" + name, lead), name) << c.codePage;
        EXPECT_EQ(lead.LastSeparator(path), 10u) << c.codePage;
        EXPECT_EQ(lead.Replace(path, '\\', '/'), "C:/Applets/" + name) << c.codePage;
    }
    // A lead byte at the very end stands alone.
    const LeadBytes lead = LeadBytesOf(kDoubleByte[0]);
    EXPECT_EQ(PathToFileUrl("C:\\a\x95", lead), "file:///C:/a%95");
}

TEST(SiteMap, AnswersUrlsUnderAPrefixFromItsFolder)
{
    SiteMap sites;
    std::string error;
    ASSERT_TRUE(sites.Add("http://www.Example.com/shop=C:\\saved\\shop\\", error)) << error;
    ASSERT_TRUE(sites.Add("http://www.example.com/shop/big=D:\\big", error)) << error;
    EXPECT_EQ(sites.LocalPath("HTTP://WWW.EXAMPLE.COM/shop/models/a%20b.obv?v=2#top"),
              "C:\\saved\\shop\\models\\a b.obv");
    EXPECT_EQ(sites.LocalPath("http://www.example.com/shop/big/x.obvm"), "D:\\big\\x.obvm");  // the longest prefix
    // A prefix is a folder: a sibling whose name begins the same is not under it.
    EXPECT_FALSE(sites.Covers("http://www.example.com/shopping/a.obv"));
    EXPECT_FALSE(sites.Covers("https://www.example.com/shop/a.obv"));
    EXPECT_FALSE(sites.Covers("http://www.example.com.evil/shop/a.obv"));
    EXPECT_EQ(sites.LocalPath("http://other/shop/a.obv"), "");

    for (const char* bad : {"", "=C:\\x", "http://h/=", "file:///C:/x=C:\\x", "ftp://h/=C:\\x", "C:\\x"}) {
        SiteMap refused;
        EXPECT_FALSE(refused.Add(bad, error)) << bad;
        EXPECT_TRUE(refused.Empty()) << bad;
    }
}

TEST(SiteMap, NeverLeavesTheFolder)
{
    SiteMap sites;
    std::string error;
    ASSERT_TRUE(sites.Add("http://h/site/=C:\\saved", error));
    const char* escapes[] = {
        "http://h/site/../secret.txt",       "http://h/site/%2e%2e/secret.txt", "http://h/site/a/%2E%2E/%2e%2e/x",
        "http://h/site/..%5csecret.txt",     "http://h/site/a%2f..%2f..%2fx",   "http://h/site/.. /x",
        "http://h/site/x.",                  "http://h/site/...",               "http://h/site/C:%5cwindows",
        "http://h/site/a%00b",               "http://h/site/a//b",              "http://h/site/",
        "http://h/site/con.txt",             "http://h/site/models/LPT1",       "http://h/site/a.obv:stream",
        "http://h/site/%252e%252e/x/../../y",
    };
    for (const char* url : escapes) {
        EXPECT_TRUE(sites.Covers(url)) << url;
        EXPECT_EQ(sites.LocalPath(url), "") << url;
    }
    // An escape that decodes to an ordinary name is only a name.
    EXPECT_EQ(sites.LocalPath("http://h/site/%252e%252e"), "C:\\saved\\%2e%2e");
}
