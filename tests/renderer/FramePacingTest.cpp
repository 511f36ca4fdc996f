#include "FramePacing.h"

#include <gtest/gtest.h>

using namespace orb;

TEST(FramePacing, CheapFramesKeepTheDisplaysPaceDearOnesFallBackTo25ASecond)
{
    const struct {
        double costMs, intervalMs;
    } kCases[] = {
        {0, 1000.0 / 60},     {4, 1000.0 / 60},    {8.3, 1000.0 / 60},  // up to half a display frame
        {10, 20},             {15, 30},                                 // twice the cost
        {20, 40},             {35, 40},            {250, 40},           // never slower than 25 a second
        {-1, 1000.0 / 60},                                              // a clock that stepped back
    };
    for (const auto& c : kCases)
        EXPECT_NEAR(NextFrameInterval(c.costMs / 1000) * 1000, c.intervalMs, 1e-9) << c.costMs << " ms";
}
