// The block's mutex held by the renderer process: every operation of that moment gives up
// after its wait and leaves the block as it was.
#include <gtest/gtest.h>

#include "ChannelFixture.h"
#include "PeerProcess.h"

namespace {

TEST(RendererChannel, EveryOperationIsSkippedWhileTheRendererHoldsTheMutex)
{
    Channel c;
    ASSERT_TRUE(c.attached);
    const OwnedWindow mainWindow = MakeWindow();
    const OwnedWindow otherWindow = MakeWindow();
    HWND main = mainWindow.Get();
    HWND other = otherWindow.Get();
    ASSERT_TRUE(c.channel.RegisterWindow("main", main));
    ASSERT_TRUE(c.renderer.SetStatusText("status"));
    ASSERT_GE(c.renderer.PostRequest(5, "a.obv"), 0);

    NamedEvent held("orb_channel_held");
    NamedEvent release("orb_channel_release");
    PeerProcess peer("hold " + c.channel.NamePart() + " " + held.Name() + " " + release.Name());
    ASSERT_TRUE(peer.Started());
    ASSERT_EQ(WaitForSingleObject(held.Handle(), 20000), WAIT_OBJECT_0);

    std::vector<uint8_t> before = Bytes(c.Block());
    EXPECT_FALSE(c.channel.RequestQuit());
    c.channel.SetActive(true);
    std::string text = "untouched";
    EXPECT_FALSE(c.channel.GetStatusText(text));
    EXPECT_EQ(text, "untouched");
    c.channel.LoadMappings({{"m.obv", "http://host/m.obv"}});
    c.channel.ServiceTick();
    EXPECT_FALSE(c.channel.RegisterWindow("other", other));
    EXPECT_FALSE(c.channel.ReserveWindowName("reserved"));
    EXPECT_FALSE(c.channel.UnregisterWindow("main", main));
    HWND found = other;
    EXPECT_FALSE(c.channel.LookupWindow("main", &found));
    EXPECT_EQ(found, other);
    EXPECT_EQ(Bytes(c.Block()), before);
    EXPECT_TRUE(c.channel.Resources().Mappings().empty());
    EXPECT_TRUE(c.fetcher.calls.empty());

    SetEvent(release.Handle());
    EXPECT_EQ(peer.Wait(), 0);
    c.channel.ServiceTick();
    ASSERT_EQ(c.fetcher.calls.size(), 1u);
    EXPECT_EQ(c.fetcher.calls[0].url, "a.obv");
    EXPECT_TRUE(c.channel.LookupWindow("main", &found));
    EXPECT_EQ(found, main);
}

// A renderer that dies holding the mutex costs one skipped operation; the ownership the
// failed wait brings is handed back, so a later renderer thread can still get in.
TEST(RendererChannel, AnAbandonedMutexSkipsOneOperationAndIsHandedBack)
{
    Channel c;
    ASSERT_TRUE(c.attached);
    {
        NamedEvent held("orb_channel_abandon");
        PeerProcess peer("abandon " + c.channel.NamePart() + " " + held.Name());
        ASSERT_EQ(WaitForSingleObject(held.Handle(), 20000), WAIT_OBJECT_0);
        EXPECT_EQ(peer.Wait(), 0);
    }
    EXPECT_FALSE(c.channel.RequestQuit());
    EXPECT_EQ(c.Block()->quitRequest, 0);

    NamedEvent held("orb_channel_after");
    NamedEvent release("orb_channel_after_release");
    PeerProcess peer("hold " + c.channel.NamePart() + " " + held.Name() + " " + release.Name());
    EXPECT_EQ(WaitForSingleObject(held.Handle(), 20000), WAIT_OBJECT_0);
    SetEvent(release.Handle());
    EXPECT_EQ(peer.Wait(), 0);
    EXPECT_TRUE(c.channel.RequestQuit());
    EXPECT_EQ(c.Block()->quitRequest, 1);
}

}  // namespace
