// What the frame says of a fetch under way, and the limit a body may not pass.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "FetchProgress.h"

namespace {

TEST(FetchProgress, NamesTheFileItsSizeOfTheTotalAndItsRate)
{
    struct Case {
        FetchProgress progress;
        const char* text;
    };
    const Case cases[] = {
        // Too soon for a rate; no length from the server.
        {{"http://h/applets/orbit.obvm", 0, 0, 100}, "orbit.obvm: 0 bytes"},
        {{"http://h/a/orbit.obvm", 512, 2048, 0}, "orbit.obvm: 512 bytes of 2.0 KB"},
        {{"http://h/a/big%20model.obv?x=1", 12 * 1024, 40 * 1024, 4000}, "big model.obv: 12 KB of 40 KB, 3.0 KB/s"},
        {{"http://h/a/m.obv", 3u << 20, 0, 2000}, "m.obv: 3.0 MB, 1.5 MB/s"},
        {{"http://h/a/slow.obv", 10, 0, 5000}, "slow.obv: 10 bytes, 2 bytes/s"},
        // A URL without a file name is shown whole.
        {{"http://h/", 1500, 0, 0}, "http://h/: 1.5 KB"},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgressText(c.progress), c.text) << c.progress.url;
}

TEST(FetchProgress, ABodyMayReachTheLimitButNotPassIt)
{
    EXPECT_FALSE(OverLimit(0, 0));
    EXPECT_FALSE(OverLimit(UINT64_MAX, 0));  // no limit
    EXPECT_FALSE(OverLimit(1024, 1024));
    EXPECT_TRUE(OverLimit(1025, 1024));
    EXPECT_TRUE(OverLimit(uint64_t{5} << 32, 64u << 20));  // past 4 GiB still counts
    EXPECT_EQ(LimitError("http://h/a/huge.obv", 64u << 20), "huge.obv is larger than the limit of 64.0 MB");
    EXPECT_EQ(LimitError("file:///C:/p/x.obvm", 1000), "x.obvm is larger than the limit of 1000 bytes");
}

}  // namespace
