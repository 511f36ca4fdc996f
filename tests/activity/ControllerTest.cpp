// Which session the controller turns on and off, with the foreground window read from the
// real window manager: our own top-level windows, and a helper process's window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ActivityFixtures.h"
#include "activity/ActivityController.h"

namespace {

using Log = std::vector<std::string>;

class ControllerSequences : public ::testing::Test {
protected:
    void BringUsToFront()
    {
        ASSERT_TRUE(window->TakeForeground());
        controller.CheckForeground();
        ASSERT_FALSE(controller.InBackground());
    }

    Log log;
    RecordingSession a{"A", log}, b{"B", log}, c{"C", log};
    ActivityController controller;
    std::unique_ptr<TestWindow> window = std::make_unique<TestWindow>();
};

TEST_F(ControllerSequences, FreshControllerIsInBackgroundUntilItSeesOurWindowInFront)
{
    EXPECT_TRUE(controller.InBackground());
    controller.Track(&a, false);
    controller.Activate(&a);
    EXPECT_EQ(controller.ActiveChannel(), &a);
    EXPECT_EQ(log, Log{});

    ASSERT_TRUE(window->TakeForeground());
    controller.CheckForeground();
    EXPECT_FALSE(controller.InBackground());
    EXPECT_EQ(log, Log{"A+"});
}

TEST_F(ControllerSequences, ActivatingAThenBInTheForegroundMovesTheActiveSession)
{
    BringUsToFront();
    controller.Track(&a, false);
    controller.Track(&b, false);
    controller.Activate(&a);
    EXPECT_EQ(log, Log{"A+"});
    controller.Activate(&b);
    EXPECT_EQ(log, (Log{"A+", "A-", "B+"}));
    // The active one again: turned on again, never off.
    controller.Activate(&b);
    EXPECT_EQ(log, (Log{"A+", "A-", "B+", "B+"}));
    // No change of the foreground process: no calls at all.
    controller.CheckForeground();
    controller.CheckForeground();
    EXPECT_EQ(log, (Log{"A+", "A-", "B+", "B+"}));
    EXPECT_EQ(controller.ActiveChannel(), &b);
}

TEST_F(ControllerSequences, AnotherProcessInFrontTurnsTheActiveSessionOffUntilWeAreBack)
{
    BringUsToFront();
    controller.Track(&a, false);
    controller.Track(&b, false);
    controller.Activate(&a);
    {
        HelperProcess helper;
        ASSERT_TRUE(helper.Ready());
        controller.CheckForeground();
        EXPECT_TRUE(controller.InBackground());
        controller.CheckForeground();
        EXPECT_EQ(log, (Log{"A+", "A-"}));

        // Switching while in the background turns the old one off and leaves the new one off.
        controller.Activate(&b);
        EXPECT_EQ(controller.ActiveChannel(), &b);
        EXPECT_EQ(log, (Log{"A+", "A-", "A-"}));
    }
    ASSERT_TRUE(window->TakeForeground());
    controller.CheckForeground();
    EXPECT_FALSE(controller.InBackground());
    EXPECT_EQ(log, (Log{"A+", "A-", "A-", "B+"}));
}

TEST_F(ControllerSequences, RemovingTheActiveSessionLeavesNoneToSwitch)
{
    BringUsToFront();
    controller.Track(&a, false);
    controller.Track(&b, false);
    controller.Activate(&a);
    controller.Track(&a, true);
    EXPECT_EQ(controller.ActiveChannel(), nullptr);
    EXPECT_EQ(controller.SessionCount(), 1u);

    HelperProcess helper;
    ASSERT_TRUE(helper.Ready());
    controller.CheckForeground();
    EXPECT_TRUE(controller.InBackground());
    EXPECT_EQ(log, Log{"A+"});
}

TEST_F(ControllerSequences, DuplicateRegistrationsAreRemovedOneAtATime)
{
    BringUsToFront();
    controller.Track(&a, false);
    controller.Track(&b, false);
    controller.Track(&a, false);
    EXPECT_EQ(controller.SessionCount(), 3u);
    controller.Activate(&a);

    controller.Track(&a, true);
    EXPECT_EQ(controller.SessionCount(), 2u);
    EXPECT_EQ(controller.ActiveChannel(), nullptr);
    controller.Activate(&a);  // its second entry still counts
    EXPECT_EQ(controller.ActiveChannel(), &a);

    controller.Track(&a, true);
    EXPECT_EQ(controller.SessionCount(), 1u);
    controller.Activate(&a);  // gone now
    EXPECT_EQ(controller.ActiveChannel(), nullptr);
    EXPECT_EQ(log, (Log{"A+", "A+"}));
}

TEST_F(ControllerSequences, UnregisteredAndNullChannelsAreIgnored)
{
    BringUsToFront();
    controller.Track(&a, false);
    controller.Activate(&a);
    controller.Activate(&c);
    controller.Activate(nullptr);
    controller.Track(&c, true);
    controller.Track(nullptr, false);
    controller.Track(nullptr, true);
    EXPECT_EQ(controller.ActiveChannel(), &a);
    EXPECT_EQ(controller.SessionCount(), 1u);
    EXPECT_EQ(log, Log{"A+"});
}

TEST_F(ControllerSequences, NoForegroundWindowCountsAsBackground)
{
    BringUsToFront();
    controller.Track(&a, false);
    controller.Activate(&a);
    window.reset();
    ASSERT_EQ(GetForegroundWindow(), nullptr);
    controller.CheckForeground();
    EXPECT_TRUE(controller.InBackground());
    EXPECT_EQ(log, (Log{"A+", "A-"}));
}

}  // namespace
