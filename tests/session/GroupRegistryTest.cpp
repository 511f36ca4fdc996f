// The table of renderer groups on its own: names, counts, growth and the launch role.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/RendererGroup.h"

namespace {

TEST(GroupRegistry, NamesMatchIgnoringCaseAndOneLauncherHoldsTheRole)
{
    GroupRegistry registry;
    RendererGroup* first = registry.JoinGroup("Scene", true);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->launcher);
    EXPECT_EQ(first->channel, nullptr);
    EXPECT_EQ(registry.Capacity(), 16u);

    EXPECT_EQ(registry.JoinGroup("sCENE", false), first);
    EXPECT_EQ(registry.RefsOf(first), 2);
    // A second launcher gets nothing and changes nothing.
    EXPECT_EQ(registry.JoinGroup("SCENE", true), nullptr);
    EXPECT_EQ(registry.RefsOf(first), 2);
    EXPECT_EQ(registry.Live(), 1);

    // A launcher that leaves gives the role up for a later one.
    registry.LeaveGroup(first, true);
    EXPECT_FALSE(first->launcher);
    EXPECT_EQ(registry.JoinGroup("scene", true), first);
    EXPECT_TRUE(first->launcher);
    EXPECT_EQ(registry.RefsOf(first), 2);

    RendererGroup* other = registry.JoinGroup("Scene2", false);
    EXPECT_NE(other, first);
    EXPECT_EQ(registry.Live(), 2);
}

TEST(GroupRegistry, SeventeenGroupsGrowTheTableAndTheLastLeaveFreesIt)
{
    GroupRegistry registry;
    std::vector<RendererGroup*> groups;
    for (int i = 0; i < 17; ++i) {
        const std::string name = "group" + std::to_string(i);
        groups.push_back(registry.JoinGroup(name, false));
        ASSERT_NE(groups.back(), nullptr);
        // Every group but the first gets a second member; the first one a third as well.
        if (i > 0) registry.JoinGroup(name, false);
    }
    registry.JoinGroup("GROUP0", false);
    registry.JoinGroup("group0", false);
    EXPECT_EQ(registry.Capacity(), 32u);
    EXPECT_EQ(registry.Used(), 17u);
    EXPECT_EQ(registry.Live(), 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(registry.JoinGroup("Group" + std::to_string(i), false), groups[i]) << i;
        EXPECT_EQ(registry.RefsOf(groups[i]), i == 0 ? 4 : 3) << i;
    }

    // A freed entry is taken again by the next new group, without growing.
    for (int n = 0; n < 3; ++n) registry.LeaveGroup(groups[5], false);
    EXPECT_EQ(registry.Live(), 16);
    RendererGroup* reused = registry.JoinGroup("newcomer", false);
    EXPECT_EQ(registry.Used(), 17u);
    EXPECT_EQ(registry.Capacity(), 32u);
    registry.LeaveGroup(reused, false);

    for (int i = 0; i < 17; ++i) {
        if (i == 5) continue;
        for (int n = registry.RefsOf(groups[i]); n > 0; --n) registry.LeaveGroup(groups[i], false);
    }
    EXPECT_EQ(registry.Live(), 0);
    EXPECT_EQ(registry.Capacity(), 0u);
    EXPECT_EQ(registry.Used(), 0u);

    // Leaving a group that is gone changes nothing; the next join starts again at 16.
    registry.LeaveGroup(groups[0], false);
    EXPECT_EQ(registry.Live(), 0);
    ASSERT_NE(registry.JoinGroup("again", true), nullptr);
    EXPECT_EQ(registry.Capacity(), 16u);
    EXPECT_EQ(registry.Used(), 1u);
}

}  // namespace
