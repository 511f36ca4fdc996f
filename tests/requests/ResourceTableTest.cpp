// Requests as the renderer makes them, through the block's request slots, status words
// and delivery slots, served by a channel whose fetcher is a test double.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ChannelFixture.h"
#include "block/MutexGuard.h"
#include "requests/ResourceEntry.h"

namespace {

class Requests : public ::testing::Test {
protected:
    explicit Requests(const std::string& appletUrl = "")
    {
        LaunchSettings settings;
        settings.appletUrl = appletUrl;
        c = std::make_unique<Channel>(settings);
    }
    void SetUp() override { ASSERT_TRUE(c->attached); }

    void Post(int32_t id, const std::string& name) { ASSERT_GE(c->renderer.PostRequest(id, name), 0); }
    int32_t Status(int32_t id) { return c->renderer.Status(id); }
    TickReport Tick() { return c->channel.ServiceTick(); }
    // A request handled at once, as the ticks do, for cases that need an explicit URL.
    void Direct(int32_t id, const char* name, const char* url)
    {
        PendingFetches fetches;
        {
            MutexGuard guard(c->channel.Mutex());
            ASSERT_TRUE(guard.Acquire());
            c->channel.Resources().Request(*c->channel.View(), id, name, url, GetTickCount(), fetches);
        }
        c->channel.Resources().StartFetches(fetches);
    }
    std::vector<std::pair<int32_t, std::string>> Deliveries()
    {
        std::vector<std::pair<int32_t, std::string>> taken;
        int32_t id;
        std::string path;
        while (c->renderer.TakeDelivery(&id, &path)) taken.emplace_back(id, path);
        return taken;
    }
    const std::deque<ResourceEntry*>& Table() { return c->channel.Resources().Entries(); }
    TestFetcher& Fetcher() { return c->fetcher; }
    ChannelBlock* Block() { return c->Block(); }

    std::unique_ptr<Channel> c;
};

TEST_F(Requests, ARequestTravelsFromItsSlotToADelivery)
{
    Post(4, "tex.obv");
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 1u);
    EXPECT_EQ(Fetcher().calls[0].url, "tex.obv");
    EXPECT_EQ(Fetcher().calls[0].target, "(null)");
    EXPECT_FALSE(Fetcher().calls[0].isApplet);
    EXPECT_EQ(Status(4), StateRequested);
    EXPECT_EQ(Block()->requests[0].id, -1);
    EXPECT_EQ(Block()->requests[0].name, 0u);  // the renderer's string is freed

    Tick();
    EXPECT_EQ(Status(4), StateFetching);
    Fetcher().Finish(0, StateReady, "C:\\temp\\tex.tmp");
    Tick();
    EXPECT_EQ(Status(4), StateDelivered);
    EXPECT_EQ(Deliveries(), (std::vector<std::pair<int32_t, std::string>>{{4, "C:\\temp\\tex.tmp"}}));

    // The renderer may open the file until it releases the id.
    Tick();
    EXPECT_EQ(Table().size(), 1u);
    EXPECT_TRUE(Fetcher().discarded.empty());
    c->renderer.ReleaseRequest(4);
    Tick();
    EXPECT_EQ(Status(4), StateNone);
    EXPECT_TRUE(Table().empty());
    EXPECT_EQ(Fetcher().discarded, std::vector<std::string>{"C:\\temp\\tex.tmp"});
}

TEST_F(Requests, AHeldFileStaysUntilEveryIdLetsGo)
{
    Post(4, "x.obv");
    Post(9, "x.obv");
    Tick();
    Fetcher().Finish(0, StateReady, "C:\\t\\x");
    Tick();
    ASSERT_EQ(Deliveries().size(), 2u);

    // Asked again while held: the same file, no second fetch.
    Post(12, "X.obv");
    Tick();
    Tick();
    EXPECT_EQ(Fetcher().calls.size(), 1u);
    EXPECT_EQ(Deliveries(), (std::vector<std::pair<int32_t, std::string>>{{12, "C:\\t\\x"}}));

    c->renderer.ReleaseRequest(4);
    Tick();
    // Id 9 asks for something else without releasing: that lets go of x too.
    Post(9, "y.obv");
    Tick();
    EXPECT_EQ(Status(9), StateRequested);
    EXPECT_TRUE(Fetcher().discarded.empty());
    ASSERT_EQ(Table().size(), 2u);
    EXPECT_EQ(Table()[0]->deliveredIds, std::vector<int32_t>{12});

    c->renderer.ReleaseRequest(12);
    Tick();
    EXPECT_EQ(Fetcher().discarded, std::vector<std::string>{"C:\\t\\x"});
    ASSERT_EQ(Table().size(), 1u);
    EXPECT_EQ(Table()[0]->name, "y.obv");
}

// The channel closes when its renderer has gone: the files held for it go too, what id 0
// took among them.
TEST_F(Requests, ClosingDiscardsTheFilesTheTableHeld)
{
    c->channel.LoadMappings({{"m.obv", "http://h/m"}});
    Post(4, "a.obv");
    Post(0, "z.obv");
    Post(5, "slow.obv");
    Tick();
    Fetcher().Finish(0, StateReady, "C:\\t\\m");
    Fetcher().Finish(0, StateReady, "C:\\t\\a");
    Fetcher().Finish(0, StateReady, "C:\\t\\z");
    Tick();
    ASSERT_EQ(Deliveries().size(), 2u);
    EXPECT_TRUE(Fetcher().discarded.empty());
    c->channel.Close();
    EXPECT_EQ(Fetcher().discarded, (std::vector<std::string>{"C:\\t\\m", "C:\\t\\a", "C:\\t\\z"}));
    EXPECT_TRUE(Fetcher().shutDown);
}

// Id 0 waits on many names at once and never releases: its files go by age, the oldest
// first, and the table keeps the newest.
TEST_F(Requests, IdZeroKeepsOnlyItsNewestFiles)
{
    Fetcher().mode = TestFetcher::Mode::Ready;
    const size_t asked = ResourceTable::kIdZeroFiles + 40;
    size_t delivered = 0;
    for (size_t n = 0; n < asked;) {
        for (int slot = 0; slot < kRequestSlots && n < asked; ++slot, ++n) Post(0, "z" + std::to_string(n));
        Tick();
        Tick();
        delivered += Deliveries().size();
    }
    Tick();  // the entries pushed out last leave
    Tick();
    EXPECT_EQ(delivered, asked);
    EXPECT_EQ(Table().size(), ResourceTable::kIdZeroFiles);
    ASSERT_EQ(Fetcher().discarded.size(), 40u);
    EXPECT_EQ(Fetcher().discarded.front(), "C:\\cache\\z0");
    EXPECT_EQ(Fetcher().discarded.back(), "C:\\cache\\z39");
    EXPECT_EQ(Table().front()->name, "z40");
}

// A renderer that repeats a pending name under id 0 every tick, in every slot.
TEST_F(Requests, IdZeroWaitsOnAnEntryOnce)
{
    for (int round = 0; round < 4; ++round) {
        for (int slot = 0; slot < kRequestSlots; ++slot) Post(0, "pending.obv");
        Tick();
    }
    EXPECT_EQ(Fetcher().calls.size(), 1u);
    ASSERT_EQ(Table().size(), 1u);
    EXPECT_EQ(Table()[0]->waitingIds, std::vector<int32_t>{0});
    Fetcher().Finish(0, StateReady, "C:\\t\\p");
    Tick();
    EXPECT_EQ(Deliveries(), (std::vector<std::pair<int32_t, std::string>>{{0, "C:\\t\\p"}}));
}

TEST_F(Requests, EveryFullSlotIsServedInOrderWithinOneTick)
{
    for (int i = 0; i < kRequestSlots - 1; ++i) Post(i, "r" + std::to_string(i));
    Post(7, "duplicate");  // id 7 a second time in the same tick
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 255u);
    for (int i = 0; i < 255; ++i) ASSERT_EQ(Fetcher().calls[i].url, "r" + std::to_string(i));
    EXPECT_EQ(Status(0), StateNone);  // id 0 gets an entry but no status word of its own
    EXPECT_EQ(Status(254), StateRequested);
    for (const RequestSlot& slot : Block()->requests) ASSERT_EQ(slot.id, -1);
}

TEST_F(Requests, NamesShareEntriesIgnoringCaseUnlessNoRemap)
{
    c->channel.LoadMappings({{"tex.obv", "http://mapped/tex.obv"}});
    ASSERT_EQ(Fetcher().calls.size(), 1u);
    Post(4, "Tex.obv");
    Tick();
    Tick();  // the mapping's entry reports 3 now
    Post(9, "TEX.OBV");
    Tick();
    EXPECT_EQ(Status(9), StateFetching);  // the shared entry's state, at once
    EXPECT_EQ(Fetcher().calls.size(), 1u);

    Post(11, "NOREMAP:tex.obv");
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 2u);
    EXPECT_EQ(Fetcher().calls[1].url, "tex.obv");
    EXPECT_EQ(Table().size(), 2u);
    EXPECT_EQ(Table()[1]->name, "tex.obv");

    Fetcher().Finish(0, StateReady, "C:\\t\\a");
    Tick();
    auto delivered = Deliveries();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0], std::make_pair(4, std::string("C:\\t\\a")));
    EXPECT_EQ(delivered[1], std::make_pair(9, std::string("C:\\t\\a")));
    ASSERT_EQ(Table().size(), 2u);
    EXPECT_TRUE(Table()[0]->waitingIds.empty());  // the pin went with the first real request
    EXPECT_EQ(Table()[0]->deliveredIds, (std::vector<int32_t>{4, 9}));
}

TEST_F(Requests, MappingsAreFetchedAheadAndPinnedUntilAsked)
{
    c->channel.LoadMappings({{"b.obv", ""}, {"a.obv", "http://h/a.obv"}});
    ASSERT_EQ(Fetcher().calls.size(), 2u);
    EXPECT_EQ(Fetcher().calls[0].url, "http://h/a.obv");
    EXPECT_EQ(Fetcher().calls[1].url, "b.obv");
    EXPECT_EQ(c->channel.Resources().Mappings().size(), 2u);

    Fetcher().Finish(0, StateReady, "C:\\t\\a");
    Tick();
    Tick();
    EXPECT_TRUE(Deliveries().empty());
    ASSERT_EQ(Table().size(), 2u);
    EXPECT_EQ(Table()[0]->GetState(), StateReady);
    EXPECT_EQ(Table()[0]->waitingIds, std::vector<int32_t>{-1});

    Post(5, "a.obv");
    Tick();
    EXPECT_EQ(Status(5), StateReady);
    Tick();
    EXPECT_EQ(Deliveries(), (std::vector<std::pair<int32_t, std::string>>{{5, "C:\\t\\a"}}));
    c->renderer.ReleaseRequest(5);
    Tick();
    ASSERT_EQ(Table().size(), 1u);
    EXPECT_EQ(Table()[0]->name, "b.obv");
}

TEST_F(Requests, AMappingServesOnlyRequestsWithoutAUrl)
{
    Fetcher().mode = TestFetcher::Mode::Fail;
    c->channel.LoadMappings({{"q.obv", "http://mapped/q"}});
    Tick();
    EXPECT_TRUE(Table().empty());

    Fetcher().mode = TestFetcher::Mode::Hold;
    Direct(3, "q.obv", "http://explicit/q");
    Direct(4, "NOREMAP:q.obv", nullptr);
    Post(6, "q.obv");
    Tick();  // shares the entry of id 3
    Fetcher().mode = TestFetcher::Mode::Fail;
    Direct(8, "other.obv", "");
    Tick();
    Fetcher().Finish(0, StateFailed);
    Fetcher().Finish(0, StateFailed);
    Tick();
    Fetcher().mode = TestFetcher::Mode::Hold;
    Post(7, "q.obv");
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 5u);
    EXPECT_EQ(Fetcher().calls[1].url, "http://explicit/q");
    EXPECT_EQ(Fetcher().calls[2].url, "q.obv");
    EXPECT_EQ(Fetcher().calls[3].url, "other.obv");
    EXPECT_EQ(Fetcher().calls[4].url, "http://mapped/q");
}

TEST_F(Requests, AFailedEntryFailsEveryWaitingIdAndLeaves)
{
    Post(4, "x.obv");
    Post(9, "x.obv");
    Tick();
    EXPECT_EQ(Fetcher().calls.size(), 1u);
    Fetcher().Finish(0, StateFailed);
    Tick();
    EXPECT_EQ(Status(4), StateFailed);
    EXPECT_EQ(Status(9), StateFailed);
    EXPECT_TRUE(Table().empty());
    EXPECT_TRUE(Deliveries().empty());

    Post(10, "x.obv");
    Tick();
    EXPECT_EQ(Fetcher().calls.size(), 2u);
}

TEST_F(Requests, DeliveriesTakeOnlyFreeSlots)
{
    for (int i = 0; i < kDeliverySlots - 1; ++i) Block()->deliveries[i].id = 999;
    Post(4, "x.obv");
    Post(9, "x.obv");
    Tick();
    Fetcher().Finish(0, StateReady, "C:\\t\\x");
    Tick();
    EXPECT_EQ(Status(4), StateDelivered);
    EXPECT_EQ(Status(9), StateReady);
    EXPECT_EQ(Block()->deliveries[255].id, 4);
    EXPECT_EQ(Table().size(), 1u);
    Tick();
    EXPECT_EQ(Status(9), StateReady);

    Block()->deliveries[0].id = -1;
    Tick();
    EXPECT_EQ(Status(9), StateDelivered);
    EXPECT_EQ(Block()->deliveries[0].id, 9);
    c->renderer.ReleaseRequest(4);
    c->renderer.ReleaseRequest(9);
    Tick();
    EXPECT_TRUE(Table().empty());
}

TEST_F(Requests, ReleasedIdsAreLetGo)
{
    for (int i = 0; i < kDeliverySlots; ++i) Block()->deliveries[i].id = 999;
    Post(4, "x.obv");
    Post(5, "y.obv");
    Tick();
    Fetcher().Finish(0, StateReady, "C:\\t\\x");
    Tick();
    EXPECT_EQ(Status(4), StateReady);
    c->renderer.ReleaseRequest(4);
    c->renderer.ReleaseRequest(5);
    Tick();
    EXPECT_EQ(Status(4), StateNone);
    EXPECT_EQ(Status(5), StateNone);
    // The ready entry has nobody left and goes; the one still fetching stays.
    ASSERT_EQ(Table().size(), 1u);
    EXPECT_EQ(Table()[0]->name, "y.obv");
    for (const DeliverySlot& slot : Block()->deliveries) ASSERT_EQ(slot.id, 999);
}

TEST_F(Requests, NavigationsSplitAtTheFirstColonAndNeverJoinTheTable)
{
    Post(kNavigationId, "_blank:http://h:8080/a:b");
    Post(kNavigationId, "nocolon");
    Post(kNavigationId, ":http://x/");
    Post(kNavigationId, "_self:  FiLe:///c:/x");
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 3u);
    EXPECT_EQ(Fetcher().calls[0].target, "_blank");
    EXPECT_EQ(Fetcher().calls[0].url, "http://h:8080/a:b");
    EXPECT_EQ(Fetcher().calls[1].target, "nocolon");
    EXPECT_EQ(Fetcher().calls[1].url, "nocolon");
    EXPECT_EQ(Fetcher().calls[2].target, "");
    EXPECT_EQ(Fetcher().calls[2].url, "http://x/");
    EXPECT_TRUE(Table().empty());
}

TEST_F(Requests, FileUrlsAreNeverFetched)
{
    Post(3, "   FiLe:///c:/a.obv");
    Post(4, "\tfile:b");
    Tick();
    Tick();
    EXPECT_TRUE(Fetcher().calls.empty());
    EXPECT_EQ(Status(3), StateRequested);
    ASSERT_EQ(Table().size(), 2u);
    EXPECT_EQ(Table()[0]->GetState(), StateRequested);
    EXPECT_EQ(Table()[0]->RefCount(), 1);  // the table's reference only
}

// What a tick tells the session's pace: a file: name is the renderer's own to open, so it is
// no work of ours, however long it waits; a delivery the renderer does not take is, though
// it stops moving.
TEST_F(Requests, AFileNameIsNeverWorkUnderWay)
{
    Post(3, "file:///c:/a.obv");
    TickReport tick = Tick();
    EXPECT_TRUE(tick.progressed);
    EXPECT_FALSE(tick.underWay);
    Tick();  // its state reaches the status word
    tick = Tick();
    EXPECT_FALSE(tick.progressed);
    EXPECT_FALSE(tick.underWay);
    EXPECT_EQ(Status(3), StateRequested);

    for (DeliverySlot& slot : Block()->deliveries) slot.id = 999;
    Post(4, "x.obv");
    Tick();
    Fetcher().Finish(0, StateReady, "C:\\t\\x");
    tick = Tick();
    EXPECT_TRUE(tick.progressed);
    EXPECT_TRUE(tick.underWay);
    tick = Tick();
    EXPECT_FALSE(tick.progressed);
    EXPECT_TRUE(tick.underWay);
    Block()->deliveries[7].id = -1;
    tick = Tick();
    EXPECT_TRUE(tick.progressed);
    EXPECT_FALSE(tick.underWay);
    EXPECT_EQ(Block()->deliveries[7].id, 4);
}

class AppletRequests : public Requests {
protected:
    AppletRequests() : Requests("http://h/Applet.obvm") {}
};

TEST_F(AppletRequests, TheAppletIsRecognisedByItsUrlIgnoringCase)
{
    Post(1, "HTTP://H/APPLET.OBVM");
    Post(2, " http://h/Applet.obvm");
    Post(3, "http://h/other.obv");
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 3u);
    EXPECT_TRUE(Fetcher().calls[0].isApplet);
    EXPECT_FALSE(Fetcher().calls[1].isApplet);
    EXPECT_FALSE(Fetcher().calls[2].isApplet);
}

TEST_F(AppletRequests, WhatTheRendererWritesOverTheAppletUrlNamesNoOtherApplet)
{
    {
        MutexGuard guard(c->channel.Mutex());
        ASSERT_TRUE(guard.Acquire());
        ASSERT_TRUE(c->channel.View()->StoreString(Block()->appletUrl, "http://h/other.obv", kUrlLimit));
    }
    Post(1, "http://h/other.obv");
    Post(2, "http://h/applet.obvm");
    Tick();
    ASSERT_EQ(Fetcher().calls.size(), 2u);
    EXPECT_FALSE(Fetcher().calls[0].isApplet);
    EXPECT_TRUE(Fetcher().calls[1].isApplet);
}

// Every entry goes once nothing refers to it: the table, the fetch, or (here) the test.
TEST_F(Requests, EntriesGoWhenNothingRefersToThem)
{
    Post(4, "held.obv");
    Tick();
    ResourceEntry* held = Table()[0];
    held->AddRef();
    EXPECT_EQ(held->RefCount(), 3);  // table, fetch, test
    Fetcher().Finish(0, StateReady, "C:\\t\\h");
    EXPECT_EQ(held->RefCount(), 2);
    Tick();
    EXPECT_EQ(held->RefCount(), 2);  // delivered, the table's until the id lets go
    c->renderer.ReleaseRequest(4);
    Tick();
    EXPECT_EQ(held->RefCount(), 1);  // only the test's own
    held->Release();

    Fetcher().mode = TestFetcher::Mode::Ready;
    Post(5, "ready.obv");
    Tick();
    EXPECT_EQ(Table()[0]->RefCount(), 1);

    // The channel's end releases the table and, through the fetcher's shutdown, the fetches.
    Fetcher().mode = TestFetcher::Mode::Hold;
    c->channel.LoadMappings({{"pinned.obv", "http://h/p"}});
    Post(6, "fetching.obv");
    Tick();
    ASSERT_EQ(Table().size(), 3u);  // delivered and held, pinned, fetching
    std::vector<ResourceEntry*> kept(Table().begin(), Table().end());
    for (ResourceEntry* entry : kept) entry->AddRef();
    c.reset();
    for (ResourceEntry* entry : kept) {
        EXPECT_EQ(entry->RefCount(), 1) << entry->name;
        entry->Release();
    }
}

}  // namespace
