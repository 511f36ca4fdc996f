// The block's mutex held by the renderer process: every operation of that moment gives up
// after its wait and leaves the block as it was.
#include <gtest/gtest.h>

#include <aclapi.h>

#include <optional>

#include "ChannelFixture.h"
#include "PeerProcess.h"
#include "base/IntegrityLevel.h"

namespace {

// The integrity level of the object's mandatory label; none when it carries no label.
std::optional<unsigned long> MandatoryLabel(HANDLE object)
{
    PACL labels = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, &labels,
                        &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LocalMemory owned(descriptor);
    for (DWORD i = 0; labels && i < labels->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(labels, i, &ace)) break;
        if (static_cast<ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
        PSID sid = &static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->SidStart;
        return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
    }
    return std::nullopt;
}

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

// A Protected Mode tab makes the block and its mutex labelled low; the renderer it starts
// (here the peer, at the same level) still opens the block for writing and takes the mutex.
TEST(SharedSegment, ObjectsLabelledLowAreOpenedByTheRenderersSide)
{
    SharedSegment creator;
    ASSERT_TRUE(creator.Create("{TEST-LOW-LABEL}", ObjectLabel::Low));
    ASSERT_TRUE(creator.CreateBlockMutex(ObjectLabel::Low));
    EXPECT_EQ(MandatoryLabel(creator.Mapping()), kLowIntegrity);
    EXPECT_EQ(MandatoryLabel(creator.Mutex()), kLowIntegrity);

    NamedEvent held("orb_low_label_held");
    NamedEvent release("orb_low_label_release");
    PeerProcess peer("hold " + creator.NamePart() + " " + held.Name() + " " + release.Name());
    ASSERT_TRUE(peer.Started());
    ASSERT_EQ(WaitForSingleObject(held.Handle(), 20000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(creator.Mutex(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(release.Handle());
    EXPECT_EQ(peer.Wait(), 0);
    ASSERT_EQ(WaitForSingleObject(creator.Mutex(), 5000), WAIT_OBJECT_0);
    ReleaseMutex(creator.Mutex());

    SharedSegment plain;
    ASSERT_TRUE(plain.Create("{TEST-DEFAULT-LABEL}", ObjectLabel::Default));
    ASSERT_TRUE(plain.CreateBlockMutex(ObjectLabel::Default));
    EXPECT_NE(MandatoryLabel(plain.Mapping()), kLowIntegrity);
    EXPECT_NE(MandatoryLabel(plain.Mutex()), kLowIntegrity);
}

}  // namespace
