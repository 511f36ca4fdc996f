// The stream manager inside an instance made by NPP_New, with a browser of our own that
// records what the plug-in asks of it; streams are handed to the instance callbacks as a
// browser would.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "HeldRef.h"
#include "RecordingListener.h"
#include "TestBrowser.h"
#include "TestFiles.h"
#include "browser/BrowserServices.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"
#include "streams/StreamManager.h"
#include "streams/StreamRequest.h"

namespace {

constexpr char kPage[] = "http://h/d/p.html";

// The plug-in's own copy of a cache file made by CacheFile(name): another path, the same
// last segment, the same bytes.
::testing::AssertionResult IsKeptCopy(const std::string& kept, const std::string& name)
{
    if (kept.empty()) return ::testing::AssertionFailure() << "no file kept for " << name;
    if (kept == CacheFile(name)) return ::testing::AssertionFailure() << "the browser's own file was handed on";
    if (kept.substr(kept.find_last_of('\\') + 1) != name) return ::testing::AssertionFailure() << kept;
    if (ReadFile(kept) != name) return ::testing::AssertionFailure() << kept << " holds " << ReadFile(kept);
    return ::testing::AssertionSuccess();
}

class StreamManagerTest : public ::testing::Test {
protected:
    void Start(uint16_t version, const char* agent, bool withSrc = true)
    {
        liveBefore = RecordingListener::Live();
        Quirks() = BrowserQuirks{};
        browser = std::make_unique<TestBrowser>(version, agent);
        browser->getUrlResult = locationResult;
        ASSERT_EQ(NP_GetEntryPoints(&table), NPERR_NO_ERROR);
        ASSERT_EQ(NP_Initialize(browser->Table()), NPERR_NO_ERROR);
        std::vector<const char*> names = {"WindowName", "src"};
        std::vector<const char*> values = {"main", "applets/world.obvm"};
        int16_t count = withSrc ? 2 : 1;
        ASSERT_EQ(NPP_New(nullptr, &npp, NP_EMBED, count, const_cast<char**>(names.data()),
                          const_cast<char**>(values.data()), nullptr),
                  NPERR_NO_ERROR);
        instance = InstanceOf(&npp);
        ASSERT_NE(instance, nullptr);
        browser->getUrlResult = NPERR_NO_ERROR;
    }

    void TearDown() override
    {
        if (instance) NPP_Destroy(&npp, nullptr);
        NP_Shutdown();
        EXPECT_EQ(RecordingListener::Live(), liveBefore) << "a listener was leaked";
    }

    StreamManager& Streams() { return instance->Streams(); }

    // The browser answers the location request.
    void DeliverLocation(const char* url = kPage)
    {
        NPStream stream{};
        stream.url = kLocationUrl;
        uint16_t stype = NP_NORMAL;
        ASSERT_EQ(NPP_NewStream(&npp, const_cast<char*>("text/plain"), &stream, 0, &stype), NPERR_NO_ERROR);
        NPP_Write(&npp, &stream, 0, static_cast<int32_t>(strlen(url)), const_cast<char*>(url));
        NPP_DestroyStream(&npp, &stream, NPRES_DONE);
    }

    // A whole stream as the browser delivers one: announced, written as a file (a cache
    // file of that name; none when null), ended.
    uint16_t DeliverStream(const char* url, const char* file, NPReason reason = NPRES_DONE,
                           void* notifyData = nullptr)
    {
        NPStream stream{};
        stream.url = url;
        stream.notifyData = notifyData;
        uint16_t stype = NP_NORMAL;
        NPP_NewStream(&npp, const_cast<char*>("application/octet-stream"), &stream, 0, &stype);
        const std::string path = file ? CacheFile(file) : "";
        if (stype == NP_ASFILE && file) NPP_StreamAsFile(&npp, &stream, path.c_str());
        NPP_DestroyStream(&npp, &stream, reason);
        if (notifyData) NPP_URLNotify(&npp, url, reason, notifyData);
        return stype;
    }

    // A listener as the channel hands it over: the request takes this reference, the test
    // keeps the other.
    RecordingListener* Listener(const std::string& url, HeldRef<RecordingListener>* keep)
    {
        auto* listener = new RecordingListener(url);
        listener->AddRef();
        keep->Reset(listener);
        return listener;
    }

    std::unique_ptr<TestBrowser> browser;
    NPPluginFuncs table{};
    NPP_t npp{};
    PluginInstance* instance = nullptr;
    LONG liveBefore = 0;
    NPError locationResult = NPERR_NO_ERROR;  // how the browser answers the location request
};

// The count of final states (ready or failed) a listener has heard.
int Endings(RecordingListener* listener)
{
    int endings = 0;
    for (const std::string& call : listener->Calls()) {
        endings += call == "state:" + std::to_string(StateReady) || call == "state:" + std::to_string(StateFailed);
    }
    return endings;
}

TEST_F(StreamManagerTest, WithoutSrcNothingBecomesReadyAndRequestsWait)
{
    Start(0x000B, "Mozilla/4.0 (Win32)", false);
    EXPECT_EQ(browser->Count("geturl"), 0);
    HeldRef<RecordingListener> first;
    HeldRef<RecordingListener> second;
    EXPECT_TRUE(Streams().Request(Listener("applets/world.obvm", &first), nullptr, true));
    EXPECT_TRUE(Streams().Request(Listener("tex.obv", &second), nullptr, false));
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 1u);
    EXPECT_FALSE(Streams().Ready());
    EXPECT_EQ(browser->Count("geturlnotify"), 0);
    EXPECT_TRUE(second->Calls().empty()) << "a queued request hears nothing";
}

TEST_F(StreamManagerTest, LocationFirstThenReadyAtTheAppletStream)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    ASSERT_EQ(browser->Count("geturl"), 1);
    EXPECT_EQ(browser->Calls()[1].url, kLocationUrl);
    EXPECT_EQ(browser->Calls()[1].target, "(null)");

    HeldRef<RecordingListener> queued;
    Streams().Request(Listener("tex/a.obv", &queued), nullptr, false);
    DeliverLocation();
    EXPECT_FALSE(Streams().Ready());
    EXPECT_EQ(instance->Settings().PageLocation(), kPage);
    EXPECT_EQ(DeliverStream("http://h/d/applets/world.obvm", "world.obvm"), NP_ASFILE);
    EXPECT_TRUE(Streams().Ready());
    // The queued request went out once the manager was ready, unresolved: the browser resolves.
    ASSERT_EQ(browser->Count("geturlnotify"), 1);
    EXPECT_EQ(browser->Calls().back().url, "tex/a.obv");
    EXPECT_EQ(queued->GetState(), StateFetching);
    NPP_URLNotify(&npp, "tex/a.obv", NPRES_USER_BREAK, browser->Calls().back().notifyData);
    EXPECT_EQ(queued->GetState(), StateFailed);
}

TEST_F(StreamManagerTest, AppletStreamFirstThenReadyAtTheLocation)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    EXPECT_FALSE(Streams().Ready());
    DeliverLocation();
    EXPECT_TRUE(Streams().Ready());
    EXPECT_EQ(instance->Streams().AppletFileState(), StateReady);
    EXPECT_TRUE(IsKeptCopy(instance->Streams().AppletFilePath(), "world.obvm"));

    // The renderer asks for the applet after its stream ended: answered at once.
    HeldRef<RecordingListener> applet;
    EXPECT_TRUE(Streams().Request(Listener("applets/world.obvm", &applet), nullptr, true));
    EXPECT_EQ(applet->GetState(), StateReady);
    EXPECT_TRUE(IsKeptCopy(applet->LocalFile(), "world.obvm"));
    EXPECT_EQ(instance->Streams().AppletFileState(), 0);
}

TEST_F(StreamManagerTest, AppletRequestWhileItsStreamIsOpenCatchesTheFileAndNeverTimesOut)
{
    Start(0x0008, "Mozilla/3.0 (Win32)");  // no notifications: the sweep runs
    DeliverLocation();
    NPStream stream{};
    stream.url = "http://h/d/applets/world.obvm";
    uint16_t stype = NP_NORMAL;
    NPP_NewStream(&npp, const_cast<char*>("x"), &stream, 0, &stype);
    ASSERT_EQ(stype, NP_ASFILE);
    ASSERT_EQ(instance->Streams().AppletStream(), &stream);

    HeldRef<RecordingListener> applet;
    EXPECT_TRUE(Streams().Request(Listener("applets/world.obvm", &applet), nullptr, true));
    EXPECT_EQ(instance->Streams().AppletStream(), nullptr);
    ASSERT_EQ(instance->Streams().PendingRequests().size(), 1u);
    instance->Streams().PendingRequests().front()->created -= 60;
    instance->Streams().SweepPendingRequests(instance->Streams().LastSweepMs() + 5000);
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 1u) << "a stream that is arriving must not time out";

    NPP_StreamAsFile(&npp, &stream, CacheFile("world.obvm").c_str());
    NPP_DestroyStream(&npp, &stream, NPRES_DONE);
    EXPECT_EQ(applet->GetState(), StateReady);
    EXPECT_TRUE(IsKeptCopy(applet->LocalFile(), "world.obvm"));
    EXPECT_TRUE(instance->Streams().PendingRequests().empty());
}

TEST_F(StreamManagerTest, NotifyingBrowserGetsEscapedUrlsAndReportsThroughNotifyData)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");

    HeldRef<RecordingListener> done;
    HeldRef<RecordingListener> failed;
    ASSERT_TRUE(Streams().Request(Listener("models/a b.obv", &done), nullptr, false));
    ASSERT_TRUE(Streams().Request(Listener("models/missing.obv", &failed), nullptr, false));
    ASSERT_EQ(browser->Count("geturlnotify"), 2);
    const BrowserCall first = browser->Calls()[browser->Calls().size() - 2];
    const BrowserCall second = browser->Calls().back();
    EXPECT_EQ(first.url, "models/a%20b.obv");
    EXPECT_TRUE(instance->Streams().PendingRequests().empty());

    // A delivered file reports done even when the notification carries an error.
    NPStream stream{};
    stream.url = "http://h/d/models/a%20b.obv";
    stream.notifyData = first.notifyData;
    uint16_t stype = NP_NORMAL;
    NPP_NewStream(&npp, const_cast<char*>("x"), &stream, 0, &stype);
    EXPECT_EQ(stype, NP_ASFILE);
    NPP_StreamAsFile(&npp, &stream, CacheFile("a b.obv").c_str());
    NPP_URLNotify(&npp, stream.url, NPRES_NETWORK_ERR, first.notifyData);
    EXPECT_EQ(done->GetState(), StateReady);
    EXPECT_TRUE(IsKeptCopy(done->LocalFile(), "a b.obv"));

    NPP_URLNotify(&npp, "models/missing.obv", NPRES_NETWORK_ERR, second.notifyData);
    EXPECT_EQ(failed->GetState(), StateFailed);
}

TEST_F(StreamManagerTest, OldBrowserGetsResolvedUrlsAndMatchesStreamsByEscapedName)
{
    Start(0x0008, "Mozilla/3.0 (Win32)");
    EXPECT_FALSE(Quirks().urlNotifyUsable);
    EXPECT_FALSE(Quirks().browserResolvesUrls);
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");

    HeldRef<RecordingListener> spaced;
    ASSERT_TRUE(Streams().Request(Listener("models/a b.obv", &spaced), nullptr, false));
    EXPECT_EQ(browser->Calls().back().function, "geturl");
    EXPECT_EQ(browser->Calls().back().url, "http://h/d/p.html/../models/a%20b.obv");
    ASSERT_EQ(instance->Streams().PendingRequests().size(), 1u);

    EXPECT_EQ(DeliverStream("http://h/d/models/a%20b.obv", "a b.obv"), NP_ASFILE);
    EXPECT_EQ(spaced->GetState(), StateReady);
    EXPECT_TRUE(IsKeptCopy(spaced->LocalFile(), "a b.obv"));
    EXPECT_TRUE(instance->Streams().PendingRequests().empty());
}

TEST_F(StreamManagerTest, FileNameMatchIsCaseSensitiveAndTakesBackslashes)
{
    Start(0x0008, "Mozilla/3.0 (Win32)");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    HeldRef<RecordingListener> a;
    HeldRef<RecordingListener> b;
    Streams().Request(Listener("y/tex.obv", &a), nullptr, false);
    Streams().Request(Listener("tex.obv", &b), nullptr, false);

    DeliverStream("http://h/x/TEX.obv", "TEX.obv");
    EXPECT_EQ(a->GetState(), StateFetching);
    DeliverStream("file:///C:\\x\\tex.obv", "tex1.obv");
    EXPECT_EQ(a->GetState(), StateReady) << "the first of two same-named requests matches first";
    EXPECT_EQ(b->GetState(), StateFetching);
    DeliverStream("http://h/x/tex.obv", "tex2.obv", NPRES_USER_BREAK);
    EXPECT_EQ(b->GetState(), StateFailed);
}

TEST_F(StreamManagerTest, RefusedNotifyFallsBackToGetUrlForGood)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    browser->getUrlNotifyResult = NPERR_INCOMPATIBLE_VERSION_ERROR;
    HeldRef<RecordingListener> listener;
    EXPECT_TRUE(Streams().Request(Listener("a.obv", &listener), nullptr, false));
    EXPECT_FALSE(Quirks().urlNotifyUsable);
    EXPECT_EQ(browser->Calls().back().function, "geturl");
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 1u);

    browser->getUrlResult = NPERR_GENERIC_ERROR;
    HeldRef<RecordingListener> refused;
    EXPECT_FALSE(Streams().Request(Listener("b.obv", &refused), nullptr, false));
    EXPECT_EQ(refused->GetState(), StateFailed);
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 1u);
}

TEST_F(StreamManagerTest, OtherNotifyRefusalFailsTheRequest)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    browser->getUrlNotifyResult = NPERR_GENERIC_ERROR;
    HeldRef<RecordingListener> listener;
    EXPECT_FALSE(Streams().Request(Listener("a.obv", &listener), nullptr, false));
    EXPECT_EQ(listener->GetState(), StateFailed);
    EXPECT_TRUE(Quirks().urlNotifyUsable);
}

TEST_F(StreamManagerTest, NavigationKeepsItsTargetAlsoWhenQueued)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    HeldRef<RecordingListener> early;
    Streams().Request(Listener("http://h/next.html", &early), "_blank", false);
    EXPECT_EQ(browser->Count("geturl"), 1);  // only the location request so far
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    ASSERT_EQ(browser->Count("geturl"), 2);
    EXPECT_EQ(browser->Calls().back().url, "http://h/next.html");
    EXPECT_EQ(browser->Calls().back().target, "_blank");
    EXPECT_EQ(browser->Count("geturlnotify"), 0);

    HeldRef<RecordingListener> later;
    Streams().Request(Listener("page 2.html", &later), "frame", false);
    EXPECT_EQ(browser->Calls().back().url, "page%202.html");
    EXPECT_EQ(browser->Calls().back().target, "frame");
    EXPECT_EQ(later->GetState(), StateFetching);
}

TEST_F(StreamManagerTest, RequestsThatNeverStartFailAfterMoreThanThirtySeconds)
{
    Start(0x0008, "Mozilla/3.0 (Win32)");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    HeldRef<RecordingListener> stale;
    HeldRef<RecordingListener> fresh;
    Streams().Request(Listener("stale.obv", &stale), nullptr, false);
    Streams().Request(Listener("fresh.obv", &fresh), nullptr, false);
    instance->Streams().PendingRequests().front()->created -= 31;
    instance->Streams().PendingRequests().back()->created -= 30;

    const uint32_t lastSweep = instance->Streams().LastSweepMs();
    for (int i = 0; i < 500; ++i) instance->Streams().SweepPendingRequests(lastSweep + i * 9);
    EXPECT_EQ(stale->GetState(), StateFetching) << "the sweep looks only every five seconds";
    instance->Streams().SweepPendingRequests(lastSweep + 5000);
    EXPECT_EQ(stale->GetState(), StateFailed);
    EXPECT_EQ(fresh->GetState(), StateFetching) << "exactly 30 seconds is not yet too long";
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 1u);
}

TEST_F(StreamManagerTest, DestroyedInstanceFailsLaterRequestsWithoutCallingTheBrowser)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    instance->Streams().AddRef();  // as the renderer channel holds it
    HeldRef<StreamManager> streams(&instance->Streams());
    NPP_Destroy(&npp, nullptr);
    instance = nullptr;
    const size_t calls = browser->Calls().size();
    HeldRef<RecordingListener> late;
    EXPECT_FALSE(streams->Request(Listener("a.obv", &late), nullptr, false));
    EXPECT_EQ(late->GetState(), StateFailed);
    EXPECT_EQ(browser->Calls().size(), calls);
    streams.Reset();
    late.Reset();
}

TEST_F(StreamManagerTest, ExplorerAgentsMakeUrlsResolvedHere)
{
    Start(0x000B, "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)");
    EXPECT_FALSE(Quirks().browserResolvesUrls);
    EXPECT_TRUE(Quirks().urlNotifyUsable);
    EXPECT_TRUE(Streams().UseWorker());
}

// Browsers that answer inside the call: NPP_NewStream to NPP_URLNotify, or only the
// notification for a file that is not there, all before NPN_GetURLNotify returns.
TEST_F(StreamManagerTest, RequestsAnsweredInsideTheCallEndOnceAndAreNotTouchedAfter)
{
    const long requestsBefore = StreamRequest::Live();
    Start(0x000B, "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.9) Gecko/2008070208 Firefox/3.0");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    browser->inside = [this](NPP, const BrowserCall& call) {
        const std::string url = "http://h/d/" + call.url;
        if (call.url == "found.obv") {
            DeliverStream(url.c_str(), "found.obv", NPRES_DONE, call.notifyData);
        } else {
            NPP_URLNotify(&npp, url.c_str(), NPRES_NETWORK_ERR, call.notifyData);
        }
    };
    HeldRef<RecordingListener> found;
    HeldRef<RecordingListener> missing;
    EXPECT_TRUE(Streams().Request(Listener("found.obv", &found), nullptr, false));
    EXPECT_TRUE(Streams().Request(Listener("missing.obv", &missing), nullptr, false));
    EXPECT_EQ(found->GetState(), StateReady);
    EXPECT_TRUE(IsKeptCopy(found->LocalFile(), "found.obv"));
    EXPECT_EQ(missing->GetState(), StateFailed);
    EXPECT_EQ(Endings(found.Get()), 1);
    EXPECT_EQ(Endings(missing.Get()), 1);
    EXPECT_TRUE(Streams().NotifyRequests().empty());
    EXPECT_EQ(StreamRequest::Live(), requestsBefore);

    // A browser that answers and then reports an error all the same: still one ending.
    browser->getUrlNotifyResult = NPERR_GENERIC_ERROR;
    HeldRef<RecordingListener> refused;
    EXPECT_FALSE(Streams().Request(Listener("found.obv", &refused), nullptr, false));
    EXPECT_EQ(Endings(refused.Get()), 1);
    EXPECT_EQ(refused->GetState(), StateReady);
    EXPECT_EQ(StreamRequest::Live(), requestsBefore);
}

TEST_F(StreamManagerTest, OldBrowserAnsweringInsideGetUrlEndsTheWaitingRequestOnce)
{
    const long requestsBefore = StreamRequest::Live();
    Start(0x0008, "Mozilla/3.0 (Win32)");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    browser->inside = [this](NPP, const BrowserCall& call) {
        const bool found = call.url.find("found") != std::string::npos;
        DeliverStream(call.url.c_str(), found ? "found.obv" : nullptr, found ? NPRES_DONE : NPRES_NETWORK_ERR);
    };
    HeldRef<RecordingListener> found;
    HeldRef<RecordingListener> missing;
    EXPECT_TRUE(Streams().Request(Listener("found.obv", &found), nullptr, false));
    EXPECT_TRUE(Streams().Request(Listener("missing.obv", &missing), nullptr, false));
    EXPECT_EQ(found->GetState(), StateReady);
    EXPECT_EQ(missing->GetState(), StateFailed);
    EXPECT_EQ(Endings(found.Get()), 1);
    EXPECT_EQ(Endings(missing.Get()), 1);
    EXPECT_TRUE(Streams().PendingRequests().empty());
    EXPECT_EQ(StreamRequest::Live(), requestsBefore);
}

// The browser deletes its file once the stream is destroyed: the renderer still finds the
// bytes. A stream that ends well without any file has delivered nothing. Nothing kept
// outlives the instance.
TEST_F(StreamManagerTest, FilesAreKeptWhenTheBrowserDeletesThemUntilTheInstanceGoes)
{
    Start(0x000B, "Mozilla/5.0 (Windows; U; Windows NT 6.1) AppleWebKit/534.30 (KHTML, like Gecko) Safari/534.30");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    DeleteFileA(CacheFile("world.obvm").c_str());
    HeldRef<RecordingListener> applet;
    HeldRef<RecordingListener> model;
    HeldRef<RecordingListener> empty;
    Streams().Request(Listener("applets/world.obvm", &applet), nullptr, true);
    Streams().Request(Listener("model.obv", &model), nullptr, false);
    Streams().Request(Listener("empty.obv", &empty), nullptr, false);
    DeliverStream("http://h/d/model.obv", "model.obv", NPRES_DONE, browser->Calls()[browser->Calls().size() - 2].notifyData);
    DeleteFileA(CacheFile("model.obv").c_str());
    DeliverStream("http://h/d/empty.obv", nullptr, NPRES_DONE, browser->Calls().back().notifyData);

    EXPECT_EQ(applet->GetState(), StateReady);
    EXPECT_EQ(ReadFile(applet->LocalFile()), "world.obvm");
    EXPECT_EQ(model->GetState(), StateReady);
    EXPECT_EQ(ReadFile(model->LocalFile()), "model.obv");
    EXPECT_EQ(empty->GetState(), StateFailed);
    EXPECT_EQ(empty->LocalFile(), "");
    const std::string folder = Streams().Kept().Folder();
    EXPECT_EQ(Streams().Kept().Count(), 2u);

    NPP_Destroy(&npp, nullptr);
    instance = nullptr;
    EXPECT_EQ(GetFileAttributesA(model->LocalFile().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Requests the browser never notifies are failed and freed at NPP_Destroy; a browser that
// ends streams or notifies after it, or notifies twice, or with data it never got, is
// survived.
TEST_F(StreamManagerTest, RequestsTheBrowserForgetsAreFreedAndLateEndsAreHarmless)
{
    const long requestsBefore = StreamRequest::Live();
    Start(0x000B, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en) Opera 9.02");
    DeliverLocation();
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    HeldRef<RecordingListener> once;
    HeldRef<RecordingListener> forgotten;
    HeldRef<RecordingListener> open;
    Streams().Request(Listener("once.obv", &once), nullptr, false);
    void* onceData = browser->Calls().back().notifyData;
    Streams().Request(Listener("forgotten.obv", &forgotten), nullptr, false);
    void* forgottenData = browser->Calls().back().notifyData;
    Streams().Request(Listener("open.obv", &open), nullptr, false);
    NPStream openStream{};
    openStream.url = "http://h/d/open.obv";
    openStream.notifyData = browser->Calls().back().notifyData;
    uint16_t stype = NP_NORMAL;
    NPP_NewStream(&npp, const_cast<char*>("x"), &openStream, 0, &stype);

    NPP_URLNotify(&npp, "once.obv", NPRES_NETWORK_ERR, onceData);
    NPP_URLNotify(&npp, "once.obv", NPRES_DONE, onceData);
    int madeUp = 0;
    NPP_URLNotify(&npp, "x.obv", NPRES_DONE, &madeUp);
    EXPECT_EQ(Endings(once.Get()), 1);
    EXPECT_EQ(StreamRequest::Live(), requestsBefore + 2);

    NPP_Destroy(&npp, nullptr);
    instance = nullptr;
    EXPECT_EQ(StreamRequest::Live(), requestsBefore);
    EXPECT_EQ(forgotten->GetState(), StateFailed);
    EXPECT_EQ(open->GetState(), StateFailed);
    EXPECT_EQ(NPP_DestroyStream(&npp, &openStream, NPRES_USER_BREAK), NPERR_INVALID_INSTANCE_ERROR);
    NPP_URLNotify(&npp, "open.obv", NPRES_USER_BREAK, openStream.notifyData);
    NPP_URLNotify(&npp, "forgotten.obv", NPRES_NETWORK_ERR, forgottenData);
    EXPECT_EQ(Endings(forgotten.Get()), 1);
    EXPECT_EQ(Endings(open.Get()), 1);
}

TEST_F(StreamManagerTest, LocationCountsWhenItsStreamEndsWhateverTheWrites)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    NPStream stream{};
    stream.url = kLocationUrl;
    uint16_t stype = NP_NORMAL;
    NPP_NewStream(&npp, const_cast<char*>("text/plain"), &stream, 0, &stype);
    for (const char* piece : {"http://h/", "", "d/p.", "html"}) {
        NPP_Write(&npp, &stream, 0, static_cast<int32_t>(strlen(piece)), const_cast<char*>(piece));
        EXPECT_EQ(instance->Settings().PageLocation(), "");
    }
    NPP_DestroyStream(&npp, &stream, NPRES_DONE);
    EXPECT_EQ(instance->Settings().PageLocation(), kPage);
}

// Refused, empty or broken: the base comes from the src stream, whichever comes first.
TEST_F(StreamManagerTest, LocationThatDoesNotComeIsTheBaseOfTheSrcStream)
{
    for (const char* how : {"refused", "empty", "broken"}) {
        SCOPED_TRACE(how);
        locationResult = std::string(how) == "refused" ? NPERR_GENERIC_ERROR : NPERR_NO_ERROR;
        Start(0x000B, "Mozilla/4.0 (Win32)");
        if (std::string(how) != "refused") {
            NPStream stream{};
            stream.url = kLocationUrl;
            uint16_t stype = NP_NORMAL;
            NPP_NewStream(&npp, const_cast<char*>("text/plain"), &stream, 0, &stype);
            char half[] = "http://h/d/p";
            if (std::string(how) == "broken") NPP_Write(&npp, &stream, 0, 12, half);
            NPP_DestroyStream(&npp, &stream, std::string(how) == "broken" ? NPRES_NETWORK_ERR : NPRES_DONE);
        }
        EXPECT_EQ(instance->Settings().PageLocation(), "");
        DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
        EXPECT_EQ(instance->Settings().PageLocation(), "http://h/d/");
        EXPECT_TRUE(Streams().Ready());
        NPP_Destroy(&npp, nullptr);
        instance = nullptr;
        NP_Shutdown();
    }
}

TEST_F(StreamManagerTest, LocationNeverAnsweredGivesWayToTheSrcBaseAfterFiveSeconds)
{
    Start(0x000B, "Mozilla/4.0 (Win32)");
    DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
    Streams().SweepPendingRequests();
    EXPECT_EQ(instance->Settings().PageLocation(), "");
    Sleep(kLocationWaitMs + 100);
    Streams().SweepPendingRequests();
    EXPECT_EQ(instance->Settings().PageLocation(), "http://h/d/");
    EXPECT_TRUE(Streams().Ready());
}

// At the wait's end a location stream that has begun to write is read to its end; one
// that has written nothing gives way to the src stream.
TEST_F(StreamManagerTest, LocationStreamWritingAfterFiveSecondsIsTakenWhole)
{
    for (const bool writing : {true, false}) {
        SCOPED_TRACE(writing ? "writing" : "silent");
        Start(0x000B, "Mozilla/4.0 (Win32)");
        NPStream stream{};
        stream.url = kLocationUrl;
        uint16_t stype = NP_NORMAL;
        NPP_NewStream(&npp, const_cast<char*>("text/plain"), &stream, 0, &stype);
        char start[] = "http://h/", rest[] = "d/p.html";
        if (writing) NPP_Write(&npp, &stream, 0, 9, start);
        DeliverStream("http://h/d/applets/world.obvm", "world.obvm");
        Streams().SweepPendingRequests(GetTickCount() + kLocationWaitMs);
        EXPECT_EQ(instance->Settings().PageLocation(), writing ? "" : "http://h/d/");
        if (writing) NPP_Write(&npp, &stream, 9, 8, rest);
        NPP_DestroyStream(&npp, &stream, NPRES_DONE);
        EXPECT_EQ(instance->Settings().PageLocation(), writing ? kPage : "http://h/d/");
        NPP_Destroy(&npp, nullptr);
        instance = nullptr;
        NP_Shutdown();
    }
}

struct Agent {
    uint16_t version;
    const char* text;
    bool explorer;
};

// Later tables and agents keep the 0.11 behaviour; only Explorer's own agents switch.
TEST_F(StreamManagerTest, OnlyExplorerAgentsTurnToTheDownloadWorker)
{
    for (const Agent& agent :
         {Agent{0x001B, "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.9.2) Gecko/20100115 Firefox/3.6", false},
          Agent{0x001D, "Mozilla/5.0 (Windows; U; Windows NT 6.1; en-US) AppleWebKit/533.4 (KHTML, like Gecko) "
                        "Chrome/5.0.375.99 Safari/533.4", false},
          Agent{0x0013, "Opera/9.80 (Windows NT 5.1; U; en) Presto/2.2.15 Version/10.00", false},
          Agent{0x000B, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en) Opera 9.02", false},
          Agent{0x000B, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", true},
          Agent{0x000B, "Microsoft Internet Explorer/4.0b1 (Windows 95)", true}}) {
        SCOPED_TRACE(agent.text);
        Start(agent.version, agent.text);
        EXPECT_EQ(Streams().UseWorker(), agent.explorer);
        EXPECT_EQ(Quirks().browserResolvesUrls, !agent.explorer);
        EXPECT_TRUE(Quirks().urlNotifyUsable);
        EXPECT_TRUE(Quirks().windowSurvivesRequests);
        NPP_Destroy(&npp, nullptr);
        instance = nullptr;
        NP_Shutdown();
    }
}

}  // namespace
