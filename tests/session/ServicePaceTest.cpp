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

    pace.NoteActivity(5000);
    EXPECT_EQ(pace.IntervalMs(5000), kBusy);
    EXPECT_EQ(pace.IntervalMs(5999), kBusy);
    EXPECT_EQ(pace.IntervalMs(6000), kIdle) << "a whole linger without activity is idle";

    // Each step of a chain renews the linger.
    pace.NoteActivity(5900);
    EXPECT_EQ(pace.IntervalMs(6000), kBusy);
    EXPECT_EQ(pace.IntervalMs(6899), kBusy);
    EXPECT_EQ(pace.IntervalMs(6900), kIdle);
    EXPECT_EQ(pace.IntervalMs(60000), kIdle);
}

TEST(ServicePace, TheTickCountWrappingDoesNotEndOrProlongTheBusyPace)
{
    ServicePace pace;
    pace.NoteActivity(0xFFFFFF00u);
    EXPECT_EQ(pace.IntervalMs(0xFFFFFF00u + 500u), kBusy);  // past the wrap
    EXPECT_EQ(pace.IntervalMs(0xFFFFFF00u + ServicePace::kLingerMs), kIdle);
}

TEST(ServicePace, AFixedPaceIgnoresActivity)
{
    ServicePace pace(true);
    pace.NoteActivity(100);
    EXPECT_EQ(pace.IntervalMs(100), kIdle);
    EXPECT_EQ(pace.IntervalMs(150), kIdle);
}

}  // namespace
