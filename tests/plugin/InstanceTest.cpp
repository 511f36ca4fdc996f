// orb_core's own copy of the plug-in, driven through its entry points like the library,
// where a test has to see inside: the browser quirk flags, the instance's window and
// stream bookkeeping, and the time-out of requests that never start.
#include <gtest/gtest.h>

#include <ctime>
#include <list>
#include <string>

#include "BrowserWindow.h"
#include "CountingListener.h"
#include "PluginSession.h"
#include "TestFiles.h"
#include "browser/BrowserServices.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"
#include "streams/StreamManager.h"
#include "streams/StreamRequest.h"

namespace {

// Each test starts from the flags of a freshly loaded library.
class InProcess : public ::testing::Test {
protected:
    void SetUp() override { Quirks() = BrowserQuirks{}; }
    void TearDown() override { Quirks() = BrowserQuirks{}; }

    static PluginInstance* Instance(NPP_t& npp) { return static_cast<PluginInstance*>(npp.pdata); }

    // Requesters outlive the instance, which may still hold requests for them at the end.
    CountingListener& Listener(const char* url) { return listeners.emplace_back(url); }
    std::list<CountingListener> listeners;
};

struct Session : PluginSession {
    Session(uint16_t version, const char* agent)
        : PluginSession(&NP_GetEntryPoints, &NP_Initialize, &NP_Shutdown, version, agent)
    {
    }
};

struct QuirkCase {
    const char* label;
    uint16_t version;
    const char* agent;
    bool urlNotifyUsable, browserResolvesUrls, windowSurvivesRequests;
};

class QuirkDetection : public InProcess, public ::testing::WithParamInterface<QuirkCase> {};

TEST_P(QuirkDetection, FirstNewClearsWhatTheBrowserCannotDo)
{
    const QuirkCase& c = GetParam();
    Session session(c.version, c.agent);
    NPP_t npp{};
    const InstanceCleanup cleanup(session, npp);
    ASSERT_EQ(session.New(&npp, {}), NPERR_NO_ERROR);
    EXPECT_EQ(Quirks().urlNotifyUsable, c.urlNotifyUsable);
    EXPECT_EQ(Quirks().browserResolvesUrls, c.browserResolvesUrls);
    EXPECT_EQ(Quirks().windowSurvivesRequests, c.windowSurvivesRequests);
    session.funcs.destroy(&npp, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, QuirkDetection,
    ::testing::Values(QuirkCase{"v8", 0x0008, "Mozilla/3.0", false, false, false},
                      QuirkCase{"v9", 0x0009, "Mozilla/4.0", true, true, true},
                      QuirkCase{"v9Explorer", 0x0009, "Mozilla/4.0 (compatible; MSIE 5.0) Internet Explorer",
                                false, false, false},
                      QuirkCase{"v9ExplorerOnly", 0x0009, "Internet Explorer", false, false, false},
                      QuirkCase{"v9Msie", 0x0009, "Mozilla/4.0 (compatible; MSIE 5.5)", true, false, true},
                      QuirkCase{"v9LowerCase", 0x0009, "internet explorer msie", true, true, true},
                      QuirkCase{"v11", 0x000B, "Mozilla/4.0", true, true, true},
                      QuirkCase{"v11Explorer", 0x000B, "Explorer", true, false, true},
                      QuirkCase{"v11Msie", 0x000B, "MSIE 6.0", true, false, true},
                      QuirkCase{"v255", 0x00FF, "Mozilla/5.0", true, true, true}),
    [](const ::testing::TestParamInfo<QuirkCase>& info) { return info.param.label; });

TEST_F(InProcess, ClearedFlagsStayClearedForLaterInstances)
{
    {
        Session old(0x0008, "Mozilla/3.0");
        NPP_t npp{};
        const InstanceCleanup cleanup(old, npp);
        ASSERT_EQ(old.New(&npp, {}), NPERR_NO_ERROR);
        old.funcs.destroy(&npp, nullptr);
    }
    Session modern(0x000B, "Mozilla/5.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(modern, npp);
    ASSERT_EQ(modern.New(&npp, {}), NPERR_NO_ERROR);
    EXPECT_FALSE(Quirks().urlNotifyUsable);
    EXPECT_FALSE(Quirks().browserResolvesUrls);
    EXPECT_FALSE(Quirks().windowSurvivesRequests);
    modern.funcs.destroy(&npp, nullptr);
}

TEST_F(InProcess, BrowserServicesReadTheSavedTable)
{
    {
        Session old(0x0008, "Mozilla/3.0");
        int pluginMajor = -1, pluginMinor = -1, browserMajor = -1, browserMinor = -1;
        NPN_Version(&pluginMajor, &pluginMinor, &browserMajor, &browserMinor);
        EXPECT_EQ(pluginMajor, 0);
        EXPECT_EQ(pluginMinor, 11);
        EXPECT_EQ(browserMajor, 0);
        EXPECT_EQ(browserMinor, 8);
        NPP_t npp{};
        EXPECT_EQ(NPN_GetURLNotify(&npp, "http://h/a", nullptr, &npp), NPERR_INCOMPATIBLE_VERSION_ERROR);
        EXPECT_EQ(old.browser.Count("geturlnotify"), 0);
    }
    {
        // A refused major version still leaves the table saved.
        Session future(0x010C, "Mozilla/9.0");
        EXPECT_EQ(future.initializeResult, NPERR_INCOMPATIBLE_VERSION_ERROR);
        int pluginMajor, pluginMinor, browserMajor, browserMinor;
        NPN_Version(&pluginMajor, &pluginMinor, &browserMajor, &browserMinor);
        EXPECT_EQ(browserMajor, 1);
        EXPECT_EQ(browserMinor, 12);
    }
    Session modern(0x0009, "Mozilla/4.0");
    NPP_t npp{};
    const InstanceCleanup cleanup(modern, npp);
    ASSERT_EQ(modern.New(&npp, {}), NPERR_NO_ERROR);
    modern.browser.getUrlNotifyResult = NPERR_INVALID_URL;
    EXPECT_EQ(NPN_GetURLNotify(&npp, "http://h/a", "_self", &npp), NPERR_INVALID_URL);
    ASSERT_EQ(modern.browser.Count("geturlnotify"), 1);
    EXPECT_EQ(modern.browser.Calls().back().url, "http://h/a");
    EXPECT_EQ(modern.browser.Calls().back().target, "_self");
    EXPECT_EQ(modern.browser.Calls().back().notifyData, &npp);
    Instance(npp)->ShowStatus("Loading");
    EXPECT_EQ(modern.browser.LastStatus(), "Loading");
    modern.funcs.destroy(&npp, nullptr);
}

class Attached : public InProcess {
protected:
    void Start(uint16_t version, std::initializer_list<Attribute> attributes)
    {
        session = std::make_unique<Session>(version, "Mozilla/4.0");
        ASSERT_EQ(session->New(&npp, attributes), NPERR_NO_ERROR);
        instance = Instance(npp);
        ASSERT_EQ(session->funcs.setwindow(&npp, browser.Record()), NPERR_NO_ERROR);
    }
    void TearDown() override
    {
        if (npp.pdata) session->funcs.destroy(&npp, nullptr);
        InProcess::TearDown();
    }
    NPError SetWindow(NPWindow* window) { return session->funcs.setwindow(&npp, window); }
    bool StillAttached() const
    {
        return instance->BrowserWindow() && instance->Window() == browser.Child() &&
               GetPropA(browser.Child(), kInstanceProperty) == instance;
    }

    BrowserWindow browser{80, 60};
    std::unique_ptr<Session> session;
    NPP_t npp{};
    PluginInstance* instance = nullptr;
};

// Neither the page's location nor its src stream comes: after the wait the instance shows
// the logo, and a src stream that starts later still gives the page's base.
TEST_F(Attached, NoLocationAndNoSrcStreamShowsTheLogoUntilTheSrcStreamComes)
{
    Start(0x000B, {{"src", "a.obvm"}, {"WindowName", "w"}});
    instance->Streams().SweepPendingRequests();
    EXPECT_FALSE(instance->Session().ShowLogo());
    EXPECT_FALSE(instance->Session().LaunchDone());
    instance->Streams().SweepPendingRequests(GetTickCount() + kLocationWaitMs);
    EXPECT_TRUE(instance->Session().ShowLogo());
    EXPECT_FALSE(instance->Session().LaunchDone());
    EXPECT_EQ(instance->Session().Group(), nullptr);
    NPStream src{};
    src.url = "http://h/d/a.obvm";
    uint16_t stype = NP_NORMAL;
    ASSERT_EQ(session->funcs.newstream(&npp, nullptr, &src, 0, &stype), NPERR_NO_ERROR);
    EXPECT_EQ(instance->Settings().PageLocation(), "http://h/d/");
    session->funcs.destroystream(&npp, &src, NPRES_NETWORK_ERR);
}

TEST_F(Attached, OldBrowserAbsorbsAsManyNullHandlesAsItsRequestsCost)
{
    Start(0x0008, {{"src", "a.obvm"}});
    EXPECT_EQ(instance->Streams().NullWindowAllowance(), 1);  // the location request
    instance->Streams().RaiseNullWindowAllowance();
    NPWindow noHandle{};
    ASSERT_EQ(SetWindow(&noHandle), NPERR_NO_ERROR);
    EXPECT_TRUE(StillAttached());
    EXPECT_EQ(instance->BrowserWindow(), &noHandle);
    ASSERT_EQ(SetWindow(&noHandle), NPERR_NO_ERROR);
    EXPECT_TRUE(StillAttached());
    EXPECT_EQ(instance->Streams().NullWindowAllowance(), 0);
    ASSERT_EQ(SetWindow(&noHandle), NPERR_NO_ERROR);
    EXPECT_EQ(instance->BrowserWindow(), nullptr);
    EXPECT_EQ(instance->Window(), nullptr);
    EXPECT_EQ(GetPropA(browser.Child(), kInstanceProperty), nullptr);
    EXPECT_TRUE(instance->StopSent());
}

TEST_F(Attached, NullRecordDetachesWhateverTheAllowance)
{
    Start(0x0008, {});
    EXPECT_EQ(instance->Streams().NullWindowAllowance(), 0);  // no src, no location request
    for (int i = 0; i < 5; ++i) instance->Streams().RaiseNullWindowAllowance();
    ASSERT_EQ(instance->Streams().NullWindowAllowance(), 5);
    ASSERT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(instance->BrowserWindow(), nullptr);
    EXPECT_EQ(instance->Streams().NullWindowAllowance(), 5);
}

TEST_F(Attached, ModernBrowserDetachesAtTheFirstNullHandle)
{
    Start(0x000B, {{"src", "a.obvm"}});
    // A browser that keeps windows across requests never grants an allowance.
    instance->Streams().RaiseNullWindowAllowance();
    EXPECT_EQ(instance->Streams().NullWindowAllowance(), 0);
    NPWindow noHandle{};
    ASSERT_EQ(SetWindow(&noHandle), NPERR_NO_ERROR);
    EXPECT_EQ(instance->BrowserWindow(), nullptr);
}

TEST_F(Attached, SessionStartsAndStopsOnceAcrossWindows)
{
    Start(0x000B, {});
    EXPECT_TRUE(instance->SessionStarted());
    EXPECT_FALSE(instance->StopSent());
    EXPECT_EQ(instance->PreviousWndProc(), BrowserWindow::BrowserProc());
    const LONG references = instance->Streams().RefCount();

    BrowserWindow second(30, 30);
    ASSERT_EQ(SetWindow(second.Record()), NPERR_NO_ERROR);
    EXPECT_TRUE(instance->StopSent());
    EXPECT_EQ(instance->Window(), second.Child());
    EXPECT_EQ(instance->BrowserWindow(), second.Record());
    EXPECT_EQ(instance->Streams().RefCount(), references);  // no second session reference
    EXPECT_EQ(GetPropA(browser.Child(), kInstanceProperty), nullptr);
    EXPECT_EQ(browser.CurrentProc(), BrowserWindow::BrowserProc());
}

TEST_F(Attached, DestroyMessageStopsTheSessionOnceAndDetachStillRestores)
{
    Start(0x000B, {});
    // The window is told it is going away before the browser detaches.
    EXPECT_EQ(SendMessageA(browser.Child(), WM_DESTROY, 0, 0), 0);
    EXPECT_TRUE(instance->StopSent());
    // The browser's procedure gets it too: the plug-in only looks at it on the way.
    EXPECT_EQ(browser.Received(WM_DESTROY), 1);
    SendMessageA(browser.Child(), WM_DESTROY, 0, 0);
    EXPECT_EQ(browser.Received(WM_DESTROY), 2);

    ASSERT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(GetPropA(browser.Child(), kInstanceProperty), nullptr);
    EXPECT_EQ(browser.CurrentProc(), BrowserWindow::BrowserProc());
    EXPECT_EQ(instance->PreviousWndProc(), nullptr);
}

TEST_F(Attached, FocusAndEraseStayWithThePlugin)
{
    Start(0x000B, {});
    const int erased = browser.Received(WM_ERASEBKGND), focused = browser.Received(WM_SETFOCUS);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_SETFOCUS, 0, 0), 0);
    EXPECT_EQ(browser.Received(WM_ERASEBKGND), erased);
    EXPECT_EQ(browser.Received(WM_SETFOCUS), focused);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_USER, 0, 0), BrowserWindow::kBrowserAnswer);
}

// Requests sit in pendingRequests only while the browser cannot notify.
class Sweep : public Attached {
protected:
    StreamRequest* Pending(CountingListener& listener, time_t age, bool started)
    {
        auto* request = new StreamRequest(&listener);
        request->created -= age;
        request->started = started;
        instance->Streams().TrackRequest(request);
        return request;
    }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) SendMessageA(browser.Child(), WM_TIMER, 7, 0);
    }
};

TEST_F(Sweep, NotifyingBrowserNeverSweeps)
{
    Start(0x000B, {});
    CountingListener& listener = Listener("old.obv");
    Pending(listener, 100, false);
    const uint32_t lastSweep = instance->Streams().LastSweepMs();
    Ticks(120);
    instance->Streams().SweepPendingRequests(lastSweep + 60000);
    EXPECT_EQ(instance->Streams().LastSweepMs(), lastSweep);
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 1u);
    EXPECT_TRUE(listener.states.empty());
    EXPECT_EQ(browser.Received(WM_TIMER), 120);  // an unknown timer is the browser's
}

TEST_F(Sweep, EveryFiveSecondsHoweverManyTicksFailsRequestsThatNeverStarted)
{
    Start(0x0008, {});
    // Requests age by the wall clock's seconds: the one exactly at the limit stays there only
    // while the test runs within one second, so it starts as a second begins.
    for (const time_t second = time(nullptr); time(nullptr) == second;) Sleep(1);
    CountingListener& expired = Listener("a.obv");
    CountingListener& begun = Listener("b.obv");
    CountingListener& young = Listener("c.obv");
    CountingListener& boundary = Listener("d.obv");
    CountingListener& reported = Listener("e.obv");
    Pending(expired, 31, false);
    StreamRequest* begunRequest = Pending(begun, 31, true);
    StreamRequest* youngRequest = Pending(young, 0, false);
    StreamRequest* boundaryRequest = Pending(boundary, 30, false);
    StreamRequest* reportedRequest = Pending(reported, 60, false);
    reportedRequest->ReportDone();
    EXPECT_EQ(expired.references, 2);

    // The instance was made moments ago: its timer ticks, however many, come before the
    // first sweep is due.
    const uint32_t made = instance->Streams().LastSweepMs();
    Ticks(200);
    instance->Streams().SweepPendingRequests(made + 4999);
    EXPECT_EQ(instance->Streams().LastSweepMs(), made);
    EXPECT_EQ(instance->Streams().PendingRequests().size(), 5u);
    instance->Streams().SweepPendingRequests(made + 5000);
    EXPECT_EQ(instance->Streams().LastSweepMs(), made + 5000);
    EXPECT_EQ(expired.states, std::vector<int>{StateFailed});
    EXPECT_EQ(expired.references, 1);
    EXPECT_EQ(instance->Streams().PendingRequests(),
              (std::deque<StreamRequest*>{begunRequest, youngRequest, boundaryRequest, reportedRequest}));
    EXPECT_TRUE(begun.states.empty());
    EXPECT_TRUE(boundary.states.empty());

    youngRequest->created -= 40;
    instance->Streams().SweepPendingRequests(made + 9999);
    EXPECT_TRUE(young.states.empty());  // the next look is five seconds after the last
    instance->Streams().SweepPendingRequests(made + 10000);
    EXPECT_EQ(young.states, std::vector<int>{StateFailed});
    EXPECT_EQ(instance->Streams().PendingRequests(),
              (std::deque<StreamRequest*>{begunRequest, boundaryRequest, reportedRequest}));
    EXPECT_TRUE(begun.states.empty());
    EXPECT_EQ(reported.states, std::vector<int>{StateReady});
}

// The browser will never end it now: the requester hears of the failure.
TEST_F(Sweep, DestroyedInstanceFailsAndLetsGoOfItsRequests)
{
    Start(0x0008, {});
    CountingListener& listener = Listener("a.obv");
    Pending(listener, 0, false);
    EXPECT_EQ(listener.references, 2);
    session->funcs.destroy(&npp, nullptr);
    EXPECT_EQ(listener.references, 1);
    EXPECT_EQ(listener.states, std::vector<int>{StateFailed});
}

class Streams : public InProcess {
protected:
    void Start(uint16_t version)
    {
        session = std::make_unique<Session>(version, "Mozilla/4.0");
        ASSERT_EQ(session->New(&npp, {{"src", "a.obvm"}}), NPERR_NO_ERROR);
        instance = Instance(npp);
    }
    void TearDown() override
    {
        if (npp.pdata) session->funcs.destroy(&npp, nullptr);
        InProcess::TearDown();
    }
    uint16_t NewStream(NPStream& stream)
    {
        uint16_t stype = NP_NORMAL;
        EXPECT_EQ(session->funcs.newstream(&npp, nullptr, &stream, 0, &stype), NPERR_NO_ERROR);
        return stype;
    }

    std::unique_ptr<Session> session;
    NPP_t npp{};
    PluginInstance* instance = nullptr;
};

// The applet's file is the plug-in's own copy under the browser's file name; a name too
// long for a path the renderer can open fails, whole, instead of being cut.
TEST_F(Streams, AppletStreamLeavesPathAndOutcome)
{
    Start(0x000B);
    NPStream applet{};
    applet.url = "http://h/a.obvm";
    EXPECT_EQ(NewStream(applet), NP_ASFILE);
    EXPECT_EQ(instance->Streams().AppletStream(), &applet);

    session->funcs.asfile(&npp, &applet, CacheFile("a.obvm").c_str());
    const std::string kept = instance->Streams().AppletFilePath();
    EXPECT_NE(kept, CacheFile("a.obvm"));
    EXPECT_EQ(kept.substr(kept.size() - 7), "\\a.obvm");
    EXPECT_EQ(ReadFile(kept), "a.obvm");
    session->funcs.asfile(&npp, &applet, nullptr);
    EXPECT_EQ(instance->Streams().AppletFilePath(), "");
    EXPECT_EQ(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES) << "a replaced copy is not kept";
    session->funcs.asfile(&npp, &applet, CacheFile(std::string(240, 'p') + ".obvm").c_str());
    EXPECT_EQ(instance->Streams().AppletFilePath(), "");
    EXPECT_EQ(instance->Streams().Kept().Count(), 0u);

    EXPECT_EQ(session->funcs.destroystream(&npp, &applet, NPRES_DONE), NPERR_NO_ERROR);
    EXPECT_EQ(instance->Streams().AppletFileState(), StateFailed);
    EXPECT_EQ(instance->Streams().AppletStream(), nullptr);
}

TEST_F(Streams, AppletStreamEndsDoneOnlyWithAFile)
{
    Start(0x000B);
    NPStream applet{};
    applet.url = "a.obvm";
    NewStream(applet);
    session->funcs.destroystream(&npp, &applet, NPRES_DONE);
    EXPECT_EQ(instance->Streams().AppletFileState(), StateFailed);
}

TEST_F(Streams, AppletStreamThatEndsNormallyIsDone)
{
    Start(0x000B);
    NPStream applet{};
    applet.url = "a.obvm";
    NewStream(applet);
    session->funcs.asfile(&npp, &applet, CacheFile("a.obvm").c_str());
    session->funcs.destroystream(&npp, &applet, NPRES_DONE);
    EXPECT_EQ(instance->Streams().AppletFileState(), StateReady);
}

// The text counts once its stream has ended: all writes together, each cut at its own
// length and at a NUL byte.
TEST_F(Streams, LocationTextIsEveryWriteTogetherOnceTheStreamEnds)
{
    Start(0x000B);
    NPStream location{};
    location.url = "javascript:window.location.href";
    EXPECT_EQ(NewStream(location), NP_NORMAL);
    EXPECT_EQ(instance->Streams().LocationStream(), &location);
    char empty[] = "";
    char nulFirst[] = "\0http://wrong/";
    char page[] = "http://h/d/\0tail";
    char rest[] = "p.htmlXYZ";
    EXPECT_EQ(session->funcs.write(&npp, &location, 0, 0, empty), 0);
    EXPECT_EQ(session->funcs.write(&npp, &location, 0, sizeof nulFirst - 1, nulFirst),
              static_cast<int32_t>(sizeof nulFirst - 1));
    EXPECT_EQ(session->funcs.write(&npp, &location, 0, sizeof page - 1, page), static_cast<int32_t>(sizeof page - 1));
    session->funcs.write(&npp, &location, 11, 6, rest);
    EXPECT_EQ(instance->Streams().LocationStream(), &location);
    EXPECT_EQ(instance->Settings().PageLocation(), "");
    session->funcs.destroystream(&npp, &location, NPRES_DONE);
    EXPECT_EQ(instance->Streams().LocationStream(), nullptr);
    EXPECT_EQ(instance->Settings().PageLocation(), "http://h/d/p.html");
}

TEST_F(Streams, LocationStreamThatEndsWithoutTextIsForgotten)
{
    Start(0x000B);
    NPStream location{};
    location.url = "javascript:window.location.href";
    NewStream(location);
    EXPECT_EQ(session->funcs.destroystream(&npp, &location, NPRES_NETWORK_ERR), NPERR_NO_ERROR);
    EXPECT_EQ(instance->Streams().LocationStream(), nullptr);
    // The same record reused for another stream carries no page location.
    location.url = "http://h/other.bin";
    char text[] = "http://not/the/page";
    session->funcs.write(&npp, &location, 0, sizeof text - 1, text);
    EXPECT_EQ(instance->Settings().PageLocation(), "");
}

TEST_F(Streams, RequestStreamsAreMatchedByTheirLastSegment)
{
    Start(0x0008);  // no notifications: requests wait in pendingRequests
    CountingListener& tex = Listener("models/tex.obv");
    CountingListener& other = Listener("y/TEX.obv");
    auto* otherRequest = new StreamRequest(&other);
    auto* texRequest = new StreamRequest(&tex);
    instance->Streams().TrackRequest(otherRequest);
    instance->Streams().TrackRequest(texRequest);

    NPStream stream{};
    stream.url = "C:\\x\\tex.obv";
    EXPECT_EQ(NewStream(stream), NP_ASFILE);
    EXPECT_TRUE(texRequest->started);
    EXPECT_FALSE(otherRequest->started);
    EXPECT_EQ(instance->Streams().AppletStream(), nullptr);

    session->funcs.asfile(&npp, &stream, CacheFile("tex.obv").c_str());
    ASSERT_EQ(tex.files.size(), 1u);
    EXPECT_EQ(ReadFile(tex.files[0]), "tex.obv");
    EXPECT_EQ(session->funcs.destroystream(&npp, &stream, NPRES_DONE), NPERR_NO_ERROR);
    EXPECT_EQ(tex.states, std::vector<int>{StateReady});
    EXPECT_EQ(tex.references, 1);
    EXPECT_EQ(instance->Streams().PendingRequests(), std::deque<StreamRequest*>{otherRequest});

    NPStream failing{};
    failing.url = "http://h/y/TEX.obv";
    session->funcs.asfile(&npp, &failing, nullptr);
    EXPECT_EQ(other.states, std::vector<int>{StateFailed});
    EXPECT_EQ(other.references, 1);
    // Having reported, the request no longer matches its stream's end; it stays with the
    // instance until the instance goes.
    session->funcs.destroystream(&npp, &failing, NPRES_NETWORK_ERR);
    EXPECT_EQ(other.states, std::vector<int>{StateFailed});
    EXPECT_EQ(instance->Streams().PendingRequests(), std::deque<StreamRequest*>{otherRequest});
}

TEST_F(Streams, NotifiedRequestIsReportedOnceAndFreedByTheNotification)
{
    Start(0x000B);
    const long requestsBefore = StreamRequest::Live();
    CountingListener& listener = Listener("http://h/t.obv");
    ASSERT_TRUE(instance->Streams().FetchThroughBrowser(&listener, "http://h/t.obv"));
    NPStream stream{};
    stream.url = "http://h/t.obv";
    stream.notifyData = session->browser.Calls().back().notifyData;
    EXPECT_EQ(NewStream(stream), NP_ASFILE);
    session->funcs.asfile(&npp, &stream, CacheFile("t.obv").c_str());
    session->funcs.destroystream(&npp, &stream, NPRES_DONE);
    EXPECT_EQ(listener.states, std::vector<int>{StateReady});
    EXPECT_EQ(StreamRequest::Live(), requestsBefore + 1) << "the notification owns it";
    session->funcs.urlnotify(&npp, "http://h/t.obv", NPRES_NETWORK_ERR, stream.notifyData);
    EXPECT_EQ(listener.states, std::vector<int>{StateReady});
    EXPECT_EQ(listener.references, 1);
    EXPECT_EQ(StreamRequest::Live(), requestsBefore);
}

TEST_F(Streams, NotificationDecidesByTheFileNotTheReason)
{
    Start(0x000B);
    CountingListener& withFile = Listener("a.obv");
    CountingListener& withoutFile = Listener("b.obv");
    instance->Streams().FetchThroughBrowser(&withFile, "a.obv");
    void* first = session->browser.Calls().back().notifyData;
    instance->Streams().FetchThroughBrowser(&withoutFile, "b.obv");
    void* second = session->browser.Calls().back().notifyData;
    NPStream stream{};
    stream.url = "a.obv";
    stream.notifyData = first;
    NewStream(stream);
    session->funcs.asfile(&npp, &stream, CacheFile("a.obv").c_str());
    session->funcs.urlnotify(&npp, "a.obv", NPRES_NETWORK_ERR, first);
    EXPECT_EQ(withFile.states, std::vector<int>{StateReady});
    session->funcs.urlnotify(&npp, "b.obv", NPRES_DONE, second);
    EXPECT_EQ(withoutFile.states, std::vector<int>{StateFailed});
    EXPECT_EQ(withFile.references + withoutFile.references, 2);
}

}  // namespace
