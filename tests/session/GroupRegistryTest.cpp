// The table of renderer groups on its own: names, counts, growth, the launch role, and how
// a group ends with its launcher.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConfigurationKey.h"
#include "TestPage.h"
#include "channel/LaunchSettings.h"
#include "channel/RendererChannel.h"
#include "channel/RendererGroup.h"
#include "session/RestartBudget.h"

namespace {

class Member : public GroupMember {
public:
    void GroupEnded(bool rendererDied) override { ends.push_back(rendererDied); }
    std::vector<bool> ends;
};

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

// The renderer is the launcher's: its leaving ends the group for everybody, and the next
// launcher of the name starts without the old channel.
TEST(GroupRegistry, ALauncherWithAChannelTakesTheGroupAlongAndTellsTheJoiners)
{
    for (bool died : {false, true}) {
        GroupRegistry registry;
        Member launcher, left, stays, quiet;
        RendererGroup* group = registry.JoinGroup("scene", true, &launcher);
        ASSERT_NE(group, nullptr);
        group->channel = new RendererChannel();
        EXPECT_EQ(registry.JoinGroup("Scene", false, &left), group);
        EXPECT_EQ(registry.JoinGroup("SCENE", false, &stays), group);
        EXPECT_EQ(registry.JoinGroup("scene", false), group);
        // A joiner that leaves changes nothing for the others.
        registry.LeaveGroup(group, false, &left);
        EXPECT_EQ(registry.RefsOf(group), 3);
        EXPECT_TRUE(left.ends.empty());

        registry.LeaveGroup(group, true, &launcher, died);
        EXPECT_EQ(registry.Live(), 0);
        EXPECT_EQ(registry.RefsOf(group), 0);
        EXPECT_TRUE(launcher.ends.empty()) << "the launcher knows";
        EXPECT_TRUE(left.ends.empty());
        EXPECT_EQ(stays.ends, std::vector<bool>{died});

        RendererGroup* next = registry.JoinGroup("scene", true, &quiet);
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->channel, nullptr);
        EXPECT_EQ(registry.RefsOf(next), 1);
        // The joiner that stayed is no member any more: only it can say when it comes back.
        registry.LeaveGroup(next, true, &quiet);
        EXPECT_EQ(stays.ends.size(), 1u);
        EXPECT_EQ(registry.Live(), 0);
    }
}

// A launcher that gives up the renderer it has just started (a name it cannot reserve) ends
// the group while the renderer runs: the renderer, here the channel tests' peer, which has
// opened the block and waits for the quit request, is asked to go.
TEST(GroupRegistry, AGroupEndedUnderARunningRendererAsksItToQuit)
{
    ConfigurationKey key;
    key.SetString("RendererPath", CHANNEL_PEER_PATH);
    SetEnvironmentVariableA("ORB_PEER_EXIT", nullptr);
    SetEnvironmentVariableA("ORB_PEER_HANG", nullptr);
    GroupRegistry registry;
    Member launcher;
    RendererGroup* group = registry.JoinGroup("scene", true, &launcher);
    ASSERT_NE(group, nullptr);
    const BrowserWindow window(80, 60);
    LaunchSettings launch;
    launch.window = window.Child();
    launch.rendererArgs = "-width 80 -height 60";
    ASSERT_TRUE(StartRenderer(group, launch));
    RendererChannel* channel = group->channel;
    std::string status;
    ASSERT_TRUE(PumpUntil([&] { return channel->GetStatusText(status) && status == "peer ready"; }, 10000));
    const KernelHandle process = DuplicateOf(channel->Process());

    registry.LeaveGroup(group, true, &launcher);
    EXPECT_EQ(registry.Live(), 0);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 5000), WAIT_OBJECT_0) << "the renderer runs on";
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, 0u) << "the peer left without the quit request";
}

// Without a channel there is no renderer to lose: a launcher whose launch failed leaves
// like anybody else.
TEST(GroupRegistry, ALauncherWithoutAChannelLeavesTheGroupToItsJoiners)
{
    GroupRegistry registry;
    Member joiner;
    RendererGroup* group = registry.JoinGroup("scene", true);
    EXPECT_EQ(registry.JoinGroup("scene", false, &joiner), group);
    registry.LeaveGroup(group, true);
    EXPECT_EQ(registry.Live(), 1);
    EXPECT_FALSE(group->launcher);
    EXPECT_TRUE(joiner.ends.empty());
    registry.LeaveGroup(group, false, &joiner);
    EXPECT_EQ(registry.Live(), 0);
    EXPECT_TRUE(joiner.ends.empty());
}

TEST(RestartBudget, ThreeRestartsInAnyMinute)
{
    RestartBudget budget;
    const uint32_t start = 0xFFFF0000u;  // the tick count wraps within the minute
    EXPECT_TRUE(budget.Take(start));
    EXPECT_TRUE(budget.Take(start + 1000));
    EXPECT_TRUE(budget.Take(start + 20000));
    EXPECT_FALSE(budget.Take(start + 30000));
    EXPECT_FALSE(budget.Take(start + 59999));
    // The first restart has left the minute: one more.
    EXPECT_TRUE(budget.Take(start + 60000));
    EXPECT_FALSE(budget.Take(start + 60500));
    EXPECT_TRUE(budget.Take(start + 61000));
    EXPECT_FALSE(budget.Take(start + 79999));
    // A long quiet spell gives all three back.
    EXPECT_TRUE(budget.Take(start + 500000));
    EXPECT_TRUE(budget.Take(start + 500001));
    EXPECT_TRUE(budget.Take(start + 500002));
    EXPECT_FALSE(budget.Take(start + 500003));
}

}  // namespace
