// Which URLs a renderer may have fetched or shown, and how often it may navigate. Plain C++:
// the native sanitizer build runs these too.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "requests/NavigationThrottle.h"
#include "requests/UrlScheme.h"

namespace {

TEST(UrlScheme, IsReadAsABrowserReadsIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"javascript:document.cookie", "javascript"},
        {"  JaVaScRiPt:x", "javascript"},
        {"\x01\x1f javascript:x", "javascript"},
        {"java\tscript:x", "javascript"},
        {"java\r\nscript:x", "javascript"},
        {"vbscript:x ", "vbscript"},
        {"data:text/html,x", "data"},
        {"about:blank", "about"},
        {"HTTP://h/a.obv", "http"},
        {"svn+ssh://h/x", "svn+ssh"},
        {"C:\\cache\\a.obv", "c"},
        {"models/a.obv", ""},
        {"//h/a.obv", ""},
        {"\\\\h\\share:x", ""},
        {"/x:y", ""},
        {"a b:c", ""},
        {"1http:x", ""},
        {":x", ""},
        {"", ""},
        {"x?y:z", ""},
    };
    for (const auto& [url, scheme] : cases) EXPECT_EQ(SchemeOf(url), scheme) << testing::PrintToString(std::string(url));
}

TEST(UrlScheme, FetchesAndNavigationsHaveTheirOwnLists)
{
    for (const char* url : {"a.obv", "http://h/a", "HTTPS://h/a", "ftp://h/a", " http://h/a"}) {
        EXPECT_TRUE(MayFetch(url)) << url;
        EXPECT_TRUE(MayNavigate(url)) << url;
    }
    for (const char* url : {"javascript:x", "vbscript:x", "data:,x", "about:blank", "file:///c:/x", "c:\\x",
                            "mailto:a@b", "res://x", "jar:http://h/a!/b"}) {
        EXPECT_FALSE(MayFetch(url)) << url;
    }
    EXPECT_TRUE(MayNavigate("mailto:a@b"));
    for (const char* url : {"javascript:x", "Java\tScript:x", "data:,x", "about:blank", "vbscript:x"}) {
        EXPECT_FALSE(MayNavigate(url)) << url;
    }
}

TEST(NavigationThrottle, OnePerTargetASecondAndFewTargetsAtOnce)
{
    NavigationThrottle throttle;
    EXPECT_TRUE(throttle.Allow("_self", 5000));
    EXPECT_FALSE(throttle.Allow("_self", 5999));
    EXPECT_TRUE(throttle.Allow("frame2", 5999));  // another target in the same second
    EXPECT_TRUE(throttle.Allow("_self", 6000));
    EXPECT_TRUE(throttle.Allow("a", 6000));
    EXPECT_TRUE(throttle.Allow("b", 6000));
    EXPECT_FALSE(throttle.Allow("c", 6000));  // a flood of new windows by name
    EXPECT_TRUE(throttle.Allow("c", 7000));

    NavigationThrottle wrapping;  // the tick count wraps after 49 days
    EXPECT_TRUE(wrapping.Allow("_self", 0xFFFFFF00u));
    EXPECT_FALSE(wrapping.Allow("_self", 0x00000100u));
    EXPECT_TRUE(wrapping.Allow("_self", 0x00000400u));
}

}  // namespace
