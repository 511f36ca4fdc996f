// What a hostile applet can make its renderer ask for: scripts and other schemes, floods of
// navigations, endless new names; and a browser that runs a message loop of its own while
// it is asked for something.
#include <gtest/gtest.h>

#include <thread>

#include "ChannelFixture.h"
#include "TestFiles.h"
#include "base/Trace.h"
#include "block/MutexGuard.h"
#include "requests/ResourceEntry.h"

namespace {

class Hostile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(c.attached); }
    void Post(int32_t id, const std::string& name) { ASSERT_GE(c.renderer.PostRequest(id, name), 0); }
    int32_t Status(int32_t id) { return c.renderer.Status(id); }
    size_t Entries() { return c.channel.Resources().Entries().size(); }

    Channel c;
};

TEST_F(Hostile, OtherSchemesFailWithoutReachingTheBrowser)
{
    const char* refused[] = {"javascript:document.cookie", " \tJaVa\nScRiPt:window.location", "vbscript:msgbox",
                             "data:text/plain,x", "about:blank", "NOREMAP:javascript:x", "c:\\boot.ini"};
    int32_t id = 1;
    for (const char* name : refused) Post(id++, name);
    Post(20, "http://h/ok.obv");
    Post(21, "models/ok.obv");
    Post(22, "file:///c:/local.obv");
    c.channel.ServiceTick();
    ASSERT_EQ(c.fetcher.calls.size(), 2u);
    EXPECT_EQ(c.fetcher.calls[0].url, "http://h/ok.obv");
    EXPECT_EQ(c.fetcher.calls[1].url, "models/ok.obv");
    for (int32_t i = 1; i < id; ++i) EXPECT_EQ(Status(i), StateFailed) << refused[i - 1];
    EXPECT_EQ(Status(22), StateRequested);  // a file URL is never fetched, and says so by waiting

    c.channel.ServiceTick();
    EXPECT_EQ(Entries(), 3u);  // the failed entries are gone once their state was published
}

TEST_F(Hostile, NavigationsGoOnlyToPagesAndNeverFlood)
{
    Post(kNavigationId, "_self:javascript:alert(document.cookie)");
    Post(kNavigationId, "_top:vbscript:x");
    Post(kNavigationId, "_self:mailto:someone@example.com");
    for (int i = 0; i < 20; ++i) Post(kNavigationId, "_self:http://h/flood" + std::to_string(i));
    Post(kNavigationId, "frame2:page.html");
    for (int i = 0; i < 20; ++i) Post(kNavigationId, "w" + std::to_string(i) + ":http://h/popup");
    c.channel.ServiceTick();
    std::vector<std::string> shown;
    for (const FetchCall& call : c.fetcher.calls) shown.push_back(call.target + " " + call.url);
    // One per target a second, a few targets at most; the rest dropped without a word.
    EXPECT_EQ(shown, (std::vector<std::string>{"_self mailto:someone@example.com", "frame2 page.html",
                                               "w0 http://h/popup", "w1 http://h/popup"}));
    EXPECT_EQ(Entries(), 0u);
}

// What the table refuses reaches the trace with its reason, and a password in a URL never
// does, whichever way the request goes.
TEST_F(Hostile, RefusalsAreTracedWithTheirReasonsAndWithoutCredentials)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "refusals-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(path.c_str());
    ASSERT_TRUE(StartTrace(std::wstring(path.begin(), path.end())));
    Post(1, "javascript:document.cookie");
    Post(2, "file:///c:/local.obv");
    Post(kNavigationId, "_top:vbscript:x");
    for (int i = 0; i < 3; ++i) Post(kNavigationId, "_self:http://user:secret@h/flood?token=abc");
    c.channel.ServiceTick();
    StopTrace();
    const std::string trace = ReadFile(path);
    DeleteFileA(path.c_str());

    const std::string group = c.channel.TraceSubject() + ": ";
    for (const char* event :
         {"request refused (its scheme may not be fetched): javascript:document.cookie javascript:document.cookie",
          "request left to the renderer (a file it opens itself): file:///c:/local.obv file:///c:/local.obv",
          "navigation refused (its scheme may not be navigated to): _top vbscript:x",
          "navigation refused (too many navigations to that target or to new windows lately): _self "
          "http://h/flood?token=***"}) {
        EXPECT_NE(trace.find(group + event + "\r\n"), std::string::npos) << event << "\n" << trace;
    }
    EXPECT_EQ(trace.find("secret"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("abc"), std::string::npos) << trace;
    ASSERT_EQ(c.fetcher.calls.size(), 1u);
    EXPECT_EQ(c.fetcher.calls[0].url, "http://user:secret@h/flood?token=abc");
}

TEST_F(Hostile, TheTableStopsGrowingWhateverTheRendererAsks)
{
    size_t asked = 0;
    while (asked < ResourceTable::kEntryLimit + 300) {
        for (int slot = 0; slot < kRequestSlots; ++slot) Post(0, "n" + std::to_string(asked++) + ".obv");
        c.channel.ServiceTick();
    }
    EXPECT_EQ(Entries(), ResourceTable::kEntryLimit);
    EXPECT_EQ(c.fetcher.calls.size(), ResourceTable::kEntryLimit);
    Post(9, "one-more.obv");
    c.channel.ServiceTick();
    EXPECT_EQ(Status(9), StateFailed);
    EXPECT_EQ(Entries(), ResourceTable::kEntryLimit);
    // Names already held are still shared.
    Post(10, "n5.obv");
    c.channel.ServiceTick();
    EXPECT_EQ(Status(10), StateFetching);
}

// A renderer that takes its files and never says it is done holds one file per id at most.
TEST_F(Hostile, FilesNeverReleasedAreBoundedByTheIds)
{
    c.fetcher.mode = TestFetcher::Mode::Ready;
    const int rounds = 3 * kStatusWords;
    int32_t id;
    std::string path;
    int delivered = 0;
    for (int asked = 0; asked < rounds;) {
        for (int slot = 0; slot < kRequestSlots && asked < rounds; ++slot, ++asked) {
            Post(1 + asked % (kStatusWords - 1), "held" + std::to_string(asked) + ".obv");
        }
        c.channel.ServiceTick();
        c.channel.ServiceTick();
        while (c.renderer.TakeDelivery(&id, &path)) ++delivered;
    }
    EXPECT_EQ(delivered, rounds);
    EXPECT_EQ(Entries(), static_cast<size_t>(kStatusWords - 1));
    EXPECT_EQ(c.fetcher.discarded.size(), static_cast<size_t>(rounds - (kStatusWords - 1)));
    // Held files do not count against new names.
    Post(0, "fresh.obv");
    c.channel.ServiceTick();
    EXPECT_EQ(c.fetcher.calls.size(), static_cast<size_t>(rounds + 1));
}

// A browser that shows a prompt inside a request goes on delivering the plug-in's timers
// and lets the renderer run: the block must be free for it all that time.
TEST_F(Hostile, TheBrowserIsAskedWithTheBlockFree)
{
    int freeDuringCalls = 0;
    c.fetcher.during = [&] {
        bool taken = false;
        std::thread other([&] {
            MutexGuard guard(c.channel.Mutex(), 0);
            taken = guard.Acquire();
        });
        other.join();
        if (taken) ++freeDuringCalls;
    };
    c.channel.LoadMappings({{"m.obv", "http://h/m.obv"}});
    Post(3, "a.obv");
    Post(kNavigationId, "_self:http://h/next.html");
    c.channel.ServiceTick();
    EXPECT_EQ(c.fetcher.calls.size(), 3u);
    EXPECT_EQ(freeDuringCalls, 3);
}

// The page closes, or the renderer dies, while the browser is inside a request: the group
// lets go of the channel there, and what the tick still has to do must not touch it freed.
TEST(ChannelInABrowserLoop, OutlivesItsGroupUntilTheTickEnds)
{
    TestFetcher fetcher;
    LaunchSettings settings;
    settings.fetcher = &fetcher;
    auto* channel = new RendererChannel();
    ASSERT_TRUE(channel->CreateBlock(settings));
    RendererClient renderer;
    ASSERT_TRUE(renderer.Attach(channel->NamePart()));
    for (int id = 1; id <= 3; ++id) ASSERT_GE(renderer.PostRequest(id, "r" + std::to_string(id)), 0);

    long aliveInCall = 0;
    fetcher.during = [&] {
        fetcher.during = nullptr;
        channel->Close();    // as the group's last member leaves it
        channel->Release();  // the group's reference
        aliveInCall = RendererChannel::Live();
    };
    channel->ServiceTick();
    EXPECT_EQ(aliveInCall, 1) << "the tick let go of its channel while still using it";
    EXPECT_EQ(RendererChannel::Live(), 0);
    // The first fetch was under way when the group went; the others never started.
    EXPECT_EQ(fetcher.calls.size(), 1u);
    EXPECT_TRUE(fetcher.shutDown);
    EXPECT_EQ(LiveCount<ResourceEntry>::Live(), 0);
}

}  // namespace
