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

TEST(NavigationThrottle, NewWindowsComeAFewAtOnceThenOneInTenSeconds)
{
    using T = NavigationThrottle;
    NavigationThrottle throttle;
    EXPECT_TRUE(throttle.Allow("a", 0xFFFFF000u));  // across the tick count's wrap
    EXPECT_TRUE(throttle.Allow("b", 0xFFFFF000u));
    EXPECT_TRUE(throttle.Allow("_blank", 0xFFFFF000u));
    EXPECT_TRUE(throttle.Allow("c", 0xFFFFF000u));
    uint32_t now = 0xFFFFF000u + 2000;
    EXPECT_FALSE(throttle.Allow("d", now));
    for (const char* window : {"_blank", "_BLANK", "_new", "newwindow"}) EXPECT_FALSE(throttle.Allow(window, now)) << window;
    // Windows already open, and the applet's own, take nothing from the budget.
    for (const char* window : {"a", "b", "c", "_self"}) EXPECT_TRUE(throttle.Allow(window, now)) << window;
    now += T::kIntervalMs;
    for (const char* window : {"_Top", "_parent", ""}) EXPECT_TRUE(throttle.Allow(window, now)) << window;
    EXPECT_FALSE(throttle.Allow("d", 0xFFFFF000u + T::kNewWindowEveryMs - 1));
    EXPECT_TRUE(throttle.Allow("d", 0xFFFFF000u + T::kNewWindowEveryMs));
    EXPECT_FALSE(throttle.Allow("_blank", 0xFFFFF000u + 2 * T::kNewWindowEveryMs - 1));
    EXPECT_TRUE(throttle.Allow("_blank", 0xFFFFF000u + 2 * T::kNewWindowEveryMs));
    EXPECT_FALSE(throttle.Allow("_blank", 0xFFFFF000u + 2 * T::kNewWindowEveryMs + T::kIntervalMs));

    // A name forgotten, or too long to keep, opens a window again: what is kept stays bounded.
    NavigationThrottle forgetting;
    uint32_t t = 0;
    for (size_t i = 0; i <= T::kRememberedNames; ++i, t += T::kNewWindowEveryMs) {
        ASSERT_TRUE(forgetting.Allow("w" + std::to_string(i), t)) << i;
    }
    const uint32_t last = t - T::kNewWindowEveryMs;  // the budget is one short of full
    for (uint32_t i = 1; i < T::kNewWindowBurst; ++i) ASSERT_TRUE(forgetting.Allow("_blank", last + i * T::kIntervalMs));
    EXPECT_FALSE(forgetting.Allow("w0", last + T::kNewWindowBurst * T::kIntervalMs));
    EXPECT_TRUE(forgetting.Allow("w1", last + T::kNewWindowBurst * T::kIntervalMs));
    const std::string longName(T::kLongestRememberedName + 1, 'x');
    EXPECT_TRUE(forgetting.Allow(longName, last + T::kNewWindowEveryMs));
    EXPECT_FALSE(forgetting.Allow(longName, last + T::kNewWindowEveryMs + T::kIntervalMs));

    // A hostile applet naming a new window four times a second for an hour.
    NavigationThrottle flood;
    size_t opened = 0;
    const uint32_t hour = 3600 * 1000;
    for (uint32_t ms = 0; ms < hour; ms += 250) opened += flood.Allow("f" + std::to_string(ms), ms);
    EXPECT_LE(opened, T::kNewWindowBurst + hour / T::kNewWindowEveryMs);
    EXPECT_GE(opened, hour / T::kNewWindowEveryMs - 1);
}

}  // namespace
