// The controller switching real renderer channels: what the renderers see is the active
// byte in each channel's block.
#include <gtest/gtest.h>

#include "ActivityFixtures.h"
#include "ChannelFixture.h"
#include "activity/ActivityController.h"

namespace {

LaunchSettings WithAlwaysActive(bool on)
{
    LaunchSettings settings;
    settings.alwaysActive = on;
    return settings;
}

TEST(ChannelActivity, ActiveBytesFollowActivateForegroundAndAlwaysActive)
{
    Channel a, b, always(WithAlwaysActive(true));
    ASSERT_TRUE(a.created && b.created && always.created);
    EXPECT_EQ(a.Block()->active, 0);
    EXPECT_EQ(always.Block()->active, 1);

    TestWindow window;
    ASSERT_TRUE(window.TakeForeground());
    ActivityController controller;
    controller.Track(&a.channel, false);
    controller.Track(&b.channel, false);
    controller.Track(&always.channel, false);

    controller.Activate(&a.channel);
    EXPECT_EQ(a.Block()->active, 0) << "nothing turns on before the foreground has been seen";
    controller.CheckForeground();
    EXPECT_EQ(a.Block()->active, 1);
    EXPECT_EQ(b.Block()->active, 0);

    controller.Activate(&b.channel);
    EXPECT_EQ(a.Block()->active, 0);
    EXPECT_EQ(b.Block()->active, 1);

    controller.Activate(&always.channel);
    EXPECT_EQ(b.Block()->active, 0);
    EXPECT_EQ(always.Block()->active, 1);
    {
        HelperProcess helper;
        ASSERT_TRUE(helper.Ready());
        controller.CheckForeground();
        EXPECT_TRUE(controller.InBackground());
        EXPECT_EQ(always.Block()->active, 1) << "a session launched AlwaysActive stays on";
        controller.Activate(&a.channel);
        EXPECT_EQ(a.Block()->active, 0) << "in the background the new session stays off";
    }
    ASSERT_TRUE(window.TakeForeground());
    controller.CheckForeground();
    EXPECT_EQ(a.Block()->active, 1);

    controller.Track(&a.channel, true);
    EXPECT_EQ(controller.ActiveChannel(), nullptr);
}

}  // namespace
