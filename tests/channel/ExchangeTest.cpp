// Two processes on one heap: the test peer, as a renderer, maps the block at another
// address and trades strings with a channel serviced here, both sides allocating and
// freeing under the mutex, until everything has been freed again. Once with the block's
// references counted from its view address, once from a base of the plug-in's own, as a
// 64-bit plug-in whose view lies above 4 GB counts them, and in a 64-bit build once with
// the view really above 4 GB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "ChannelFixture.h"
#include "Exchange.h"
#include "HeapCheck.h"
#include "PeerProcess.h"
#include "block/MutexGuard.h"

namespace {

enum class Base { View, Own, AboveFourGb };

// Takes every free range below 4 GB that could hold a view, so that this 64-bit process's
// next view lies above.
class LowAddressesTaken {
public:
    LowAddressesTaken()
    {
        held.reserve(4096);
        constexpr uint64_t kGranule = 65536, kFourGb = 0x100000000ull;
        MEMORY_BASIC_INFORMATION info;
        for (uint64_t at = kGranule; at < kFourGb; at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize) {
            if (!VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info)) break;
            const uint64_t start = reinterpret_cast<uintptr_t>(info.BaseAddress);
            const uint64_t end = std::min<uint64_t>(start + info.RegionSize, kFourGb);
            const uint64_t first = (start + kGranule - 1) / kGranule * kGranule;
            if (info.State != MEM_FREE || first >= end || held.size() == held.capacity()) continue;
            held.emplace_back(VirtualAlloc(reinterpret_cast<void*>(first), end - first, MEM_RESERVE, PAGE_NOACCESS));
        }
    }

private:
    std::vector<VirtualMemory> held;
};

void Exchange(Base base)
{
    Channel c(LaunchSettings(), false);
    ASSERT_TRUE(c.created);
    const uint64_t view = reinterpret_cast<uintptr_t>(c.channel.ViewAddress());
    if (base == Base::Own) c.channel.View()->CreateFill(GetTickCount(), kHighViewBase);
    if (base == Base::AboveFourGb) {
        ASSERT_GE(view, 0x100000000ull);
        EXPECT_EQ(c.Block()->heapBase, kHighViewBase + 10844);
    }
    c.fetcher.mode = TestFetcher::Mode::Ready;
    c.fetcher.pathFor = ExchangePath;
    ScratchFile report;
    char avoid[16];
    std::snprintf(avoid, sizeof avoid, "%08X",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(c.channel.ViewAddress())));
    PeerProcess peer("exchange " + c.channel.NamePart() + " " + avoid + " 20240 5000 \"" + report.Path() +
                     "\"");
    ASSERT_TRUE(peer.Started());

    // The plug-in's side: service ticks, and allocations of its own in between.
    std::mt19937 random(4);
    std::vector<void*> mine;
    int ticks = 0;
    std::string heapError;
    DWORD deadline = GetTickCount() + 60000;
    while (peer.Running() && GetTickCount() < deadline && heapError.empty()) {
        c.channel.ServiceTick();
        ++ticks;
        MutexGuard guard(c.channel.Mutex());
        if (!guard.Acquire()) continue;
        SharedHeap& heap = c.channel.View()->Heap();
        if (!mine.empty() && (random() % 2 || mine.size() >= 8)) {
            size_t at = random() % mine.size();
            heap.Free(mine[at]);
            mine.erase(mine.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (void* p = heap.Allocate(1 + random() % 1024)) {
            mine.push_back(p);
        }
        heapError = CheckHeap(*c.Block()).error;
    }
    EXPECT_EQ(heapError, "");
    EXPECT_EQ(peer.Wait(5000), 0) << report.Read();

    c.channel.ServiceTick();
    for (void* p : mine) c.channel.View()->Heap().Free(p);
    // The launch strings stay for the block's life; only they are left to free.
    for (BlockRef* launch : {&c.Block()->pageLocation, &c.Block()->appletUrl, &c.Block()->rendererArgs}) {
        c.channel.View()->StoreString(*launch, nullptr, 0);
    }
    HeapReport heap = CheckHeap(*c.Block());
    EXPECT_EQ(heap.error, "");
    EXPECT_EQ(heap.chunks, 1);
    EXPECT_EQ(heap.firstChunkHeader, 40944u);
    EXPECT_EQ(heap.endFence, 0xFFFFFFFCu);
    EXPECT_TRUE(c.channel.Resources().Entries().empty());

    std::string lines = report.Read();
    void* theirs = nullptr;
    ASSERT_EQ(std::sscanf(lines.c_str(), "view=%p", &theirs), 1) << lines;
    EXPECT_NE(theirs, c.channel.ViewAddress());
    int posted = 0, delivered = 0, givenUp = 0, fills = 0;
    size_t ok = lines.find("ok ");
    ASSERT_NE(ok, std::string::npos) << lines;
    ASSERT_EQ(std::sscanf(lines.c_str() + ok, "ok posted=%d delivered=%d givenUp=%d fills=%d", &posted,
                          &delivered, &givenUp, &fills),
              4);
    EXPECT_GT(posted, 4000);
    EXPECT_EQ(delivered + givenUp, posted);
    EXPECT_GT(givenUp, 0);
    EXPECT_GE(fills, 5);
    std::printf("exchange: %d ticks here, peer view %p vs %p, %d requests, %d delivered, %d given up\n",
                ticks, theirs, c.channel.ViewAddress(), posted, delivered, givenUp);
}

TEST(ChannelExchange, TwoProcessesAtDifferentAddressesShareTheHeap)
{
    Exchange(Base::View);
}

TEST(ChannelExchange, TwoProcessesShareTheHeapAtTheCreatorsOwnBase)
{
    Exchange(Base::Own);
}

TEST(ChannelExchange, AViewAboveFourGigabytesSharesTheHeap)
{
    if (sizeof(void*) == 4) GTEST_SKIP() << "a 32-bit process has no addresses above 4 GB";
    LowAddressesTaken low;
    Exchange(Base::AboveFourGb);
}

}  // namespace
