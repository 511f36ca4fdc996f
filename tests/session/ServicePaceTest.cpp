#include <gtest/gtest.h>

#include "session/ServicePace.h"

namespace {

constexpr uint32_t kBusy = ServicePace::kBusyIntervalMs;
constexpr uint32_t kIdle = ServicePace::kIdleIntervalMs;

TEST(ServicePace, IdleUntilSomethingHappensThenBusyForTheLingerAfterTheLastActivity)
{
    ServicePace pace;
    EXPECT_EQ(pace.IntervalMs(0), kIdle);
    EXPECT_EQ(pace.IntervalMs(5000), kIdle);

    pace.NoteProgress(5000);
    EXPECT_EQ(pace.IntervalMs(5000), kBusy);
    EXPECT_EQ(pace.IntervalMs(5999), kBusy);
    EXPECT_EQ(pace.IntervalMs(6000), kIdle) << "a whole linger without activity is idle";

    // Each step of a chain renews the linger.
    pace.NoteProgress(5900);
    EXPECT_EQ(pace.IntervalMs(6000), kBusy);
    EXPECT_EQ(pace.IntervalMs(6899), kBusy);
    EXPECT_EQ(pace.IntervalMs(6900), kIdle);
    EXPECT_EQ(pace.IntervalMs(60000), kIdle);
}

TEST(ServicePace, TheTickCountWrappingDoesNotEndOrProlongTheBusyPace)
{
    ServicePace pace;
    pace.NoteProgress(0xFFFFFF00u);
    EXPECT_EQ(pace.IntervalMs(0xFFFFFF00u + 500u), kBusy);  // past the wrap
    EXPECT_EQ(pace.IntervalMs(0xFFFFFF00u + ServicePace::kLingerMs), kIdle);
}

// The service timer as the session runs it: every tick reports work under way that never
// moves (a fetch that hangs, deliveries the renderer never takes). Says when the pace first
// went idle, and whether it stayed so up to endMs.
struct Stall {
    uint32_t idleAtMs = 0;
    bool stayedIdle = true;
};
Stall RunUnderWay(ServicePace& pace, uint32_t fromMs, uint32_t endMs)
{
    Stall stall;
    for (uint32_t now = fromMs; now - fromMs < endMs - fromMs; now += pace.IntervalMs(now)) {
        pace.NoteUnderWay(now);
        const bool idle = pace.IntervalMs(now) == kIdle;
        if (idle && stall.idleAtMs == 0) stall.idleAtMs = now;
        if (!idle && stall.idleAtMs != 0) stall.stayedIdle = false;
    }
    return stall;
}

TEST(ServicePace, WorkThatStopsMovingFallsBackToTheIdlePaceUntilProgress)
{
    ServicePace pace;
    pace.NoteProgress(1000);
    Stall stall = RunUnderWay(pace, 1000, 1000 + 600000);
    EXPECT_GE(stall.idleAtMs, 1000 + ProgressWatch::kStallMs);
    EXPECT_LE(stall.idleAtMs, 1000 + ProgressWatch::kStallMs + ServicePace::kLingerMs + kBusy);
    EXPECT_TRUE(stall.stayedIdle) << "work that never moves keeps the busy pace for ever";

    // A request taken, a delivery: busy again, and the stall counts from there.
    pace.NoteProgress(700000);
    EXPECT_EQ(pace.IntervalMs(700000), kBusy);
    stall = RunUnderWay(pace, 700000, 800000);
    EXPECT_GE(stall.idleAtMs, 700000 + ProgressWatch::kStallMs);
    EXPECT_TRUE(stall.stayedIdle);
}

// A file: request waits as long as the page stays open, which may be longer than the tick
// count takes to come round to the same reading.
TEST(ServicePace, AStallOutlastsTheTickCountComingRound)
{
    ServicePace pace;
    pace.NoteProgress(1000);
    EXPECT_TRUE(RunUnderWay(pace, 1000, 20000).stayedIdle);
    pace.NoteUnderWay(1500);  // 2^32 ms on
    EXPECT_EQ(pace.IntervalMs(1500), kIdle);
}

TEST(ServicePace, AFixedPaceIgnoresActivity)
{
    ServicePace pace(true);
    pace.NoteProgress(100);
    EXPECT_EQ(pace.IntervalMs(100), kIdle);
    EXPECT_EQ(pace.IntervalMs(150), kIdle);
}

}  // namespace
