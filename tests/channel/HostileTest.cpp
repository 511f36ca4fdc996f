// A renderer that writes garbage, random and aimed, into slots, references, ids and heap
// words, with and without the mutex, while the plug-in's side keeps servicing the block.
// The view is fenced in with inaccessible reservations on both sides, so a stray access
// near it faults; the bytes past the used part of the view must stay zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ChannelFixture.h"
#include "PeerProcess.h"

namespace {

// Makes the 64 KiB granule at address inaccessible when nothing else lives there.
VirtualMemory Fence(uint8_t* granule, std::string* state)
{
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(granule, &info, sizeof info);
    char text[64];
    std::snprintf(text, sizeof text, "state %lx type %lx", static_cast<unsigned long>(info.State),
                  static_cast<unsigned long>(info.Type));
    *state = text;
    if (info.State != MEM_FREE) return VirtualMemory();
    return VirtualMemory(VirtualAlloc(granule, 65536, MEM_RESERVE, PAGE_NOACCESS));
}

TEST(ChannelHostile, GarbageFromTheRendererIsSurvived)
{
    Channel c(LaunchSettings(), false);
    ASSERT_TRUE(c.created);
    c.fetcher.mode = TestFetcher::Mode::Ready;
    uint8_t* view = static_cast<uint8_t*>(c.channel.ViewAddress());
    const uint32_t size = SharedSegment::ViewSize();
    std::string belowState, aboveState;
    const VirtualMemory below = Fence(view - 65536, &belowState);
    const VirtualMemory above = Fence(view + size, &aboveState);

    const OwnedWindow owned = MakeWindow();
    HWND window = owned.Get();
    ScratchFile report;
    PeerProcess peer("hostile " + c.channel.NamePart() + " 777 4000 \"" + report.Path() + "\"");
    ASSERT_TRUE(peer.Started());
    int rounds = 0;
    DWORD slowest = 0;
    DWORD deadline = GetTickCount() + 60000;
    while (peer.Running() && GetTickCount() < deadline) {
        DWORD start = GetTickCount();
        c.channel.ServiceTick();
        slowest = std::max(slowest, GetTickCount() - start);
        std::string text;
        HWND found = nullptr;
        c.channel.GetStatusText(text);
        c.channel.LookupWindow("main", &found);
        switch (rounds++ % 6) {
        case 0: c.channel.RegisterWindow("main", window); break;
        case 1: c.channel.ReserveWindowName("reserved" + std::to_string(rounds % 80)); break;
        case 2: c.channel.UnregisterWindow("main", window); break;
        case 3: c.channel.LoadMappings({{"m.obv", "http://host/m.obv"}, {"n.obv", "file:///n.obv"}}); break;
        case 4: c.channel.SetActive(rounds % 4 == 0); break;
        default: c.channel.RequestQuit(); break;
        }
    }
    EXPECT_EQ(peer.Wait(5000), 0) << report.Read();
    c.channel.ServiceTick();
    for (uint32_t offset = kBlockUsedSize; offset < size; ++offset) ASSERT_EQ(view[offset], 0) << offset;
    std::printf("hostile: %d rounds, %zu fetches against %s; slowest tick %lu ms; fenced below %s (%s), "
                "above %s (%s)\n",
                rounds, c.fetcher.calls.size(), report.Read().c_str(), static_cast<unsigned long>(slowest),
                below ? "yes" : "no", belowState.c_str(), above ? "yes" : "no", aboveState.c_str());
    EXPECT_GT(rounds, 100);
}

}  // namespace
