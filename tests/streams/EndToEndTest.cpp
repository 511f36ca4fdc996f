// Every file a renderer asks for, end to end: orbhost loads the real plug-in library, the
// plug-in launches a renderer (the reference renderer, or a scripted one that reports what
// it receives), and the files travel through the browser's streams into the renderer.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "HostProcess.h"
#include "LoopbackHttpServer.h"
#include "RendererScript.h"
#include "TestFiles.h"
#include "base/ResourceState.h"
#include "base/UniqueHandle.h"

namespace {

constexpr DWORD kRunMs = 60000;
constexpr char kNotifyBrowser[] = "0x000B";
constexpr char kOldBrowser[] = "0x0008";

std::string PagesDir()
{
    return ORB_SOURCE_DIR "/tests/streams/pages/";
}

std::string PageFileUrl(const std::string& path)  // as the host forms it from a path
{
    return "file:///" + path;
}

// Closes the page as a user would, once `done` says so or the time is up.
DWORD CloseWhen(HostProcess& host, const std::function<bool()>& done)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < kRunMs) Sleep(250);
    host.CloseWindow();
    return host.Finish(kRunMs);
}

// A host whose renderer is the scripted one; the script's report is read back by name.
class ScriptedPage {
public:
    ScriptedPage(const std::string& name, const std::string& script, std::vector<std::string> arguments)
        : script_(LogFolder("streams"), name, script),
          host_("streams-" + name, arguments, SCRIPTED_RENDERER)
    {
    }

    // Runs until the script reports a line starting with `until`, then closes the page;
    // the host's exit code.
    DWORD Run(const std::string& until = "done")
    {
        return CloseWhen(host_, [this, until] { return script_.Reported(until); });
    }
    // Closes the page after `ms` whatever the script has done.
    DWORD RunFor(DWORD ms)
    {
        const DWORD start = GetTickCount();
        return CloseWhen(host_, [start, ms] { return GetTickCount() - start >= ms; });
    }
    DWORD RunUntil(const std::function<bool()>& done) { return CloseWhen(host_, done); }

    std::vector<std::string> Report() const { return script_.Report(); }
    std::vector<std::string> HostLog() const { return host_.Lines(); }

    // The report's outcome line for a name ("delivered ..." or "failed ..."); empty if none.
    std::string Outcome(const std::string& name) const
    {
        for (const std::string& line : Report()) {
            const bool outcome = line.rfind("delivered ", 0) == 0 || line.rfind("failed ", 0) == 0;
            if (outcome && Field(line, "name") == name) {
                return line;
            }
        }
        return "";
    }

private:
    RendererScript script_;
    HostProcess host_;
};

// The host log's lines for the plug-in's requests of `url` (both kinds of call).
std::vector<std::string> RequestsFor(const std::vector<std::string>& log, const std::string& url)
{
    std::vector<std::string> found;
    for (const std::string& line : log) {
        if ((line.rfind("< NPN_GetURLNotify ", 0) == 0 || line.rfind("< NPN_GetURL ", 0) == 0) &&
            Field(line, "url") == url) {
            found.push_back(line);
        }
    }
    return found;
}

// How the host's fetch of `url` went: "ok", "failed", or "" when it was not fetched.
std::string Fetched(const std::vector<std::string>& log, const std::string& url)
{
    for (const std::string& line : LinesStarting(log, "* fetch stream=")) {
        if (Field(line, "url") != url) continue;
        return line.find("-> ok ") != std::string::npos ? "ok" : "failed";
    }
    return "";
}

const char kResourcesScript[] =
    "ask $applet\n"
    "ask data/plain.txt\n"
    "ask data/with space.txt\n"
    "pause 1000\n"
    "ask sky\n"
    "ask ground\n"
    "ask tex.txt\n"
    "ask NOREMAP:tex.txt\n"
    "ask data/missing.txt\n"
    "navigate _blank:next.html\n"
    "wait\n";

TEST(ScriptedRenderer, EveryKindOfRequestIsAnsweredThroughTheBrowser)
{
    ScriptedPage page("resources", kResourcesScript,
                      {"--page", PagesDir() + "resources.html", "--version", kNotifyBrowser});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();
    const std::string base = PageFileUrl(PagesDir());

    const std::vector<std::string> launch = LinesStarting(page.Report(), "launch ");
    ASSERT_EQ(launch.size(), 1u);
    EXPECT_EQ(Field(launch[0], "applet"), "applets/scripted.obvm");
    EXPECT_EQ(Field(launch[0], "page"), base + "resources.html");

    // The applet file is the browser's own src stream: never asked for again.
    std::string applet = page.Outcome("applets/scripted.obvm");
    EXPECT_EQ(applet.rfind("delivered ", 0), 0u) << applet;
    EXPECT_EQ(Field(applet, "first"), "scripted applet");
    EXPECT_TRUE(RequestsFor(log, "applets/scripted.obvm").empty());

    // Page-relative names go to the browser as they are, spaces escaped.
    std::string plain = page.Outcome("data/plain.txt");
    EXPECT_EQ(Field(plain, "first"), "plain file") << plain;
    std::string spaced = page.Outcome("data/with space.txt");
    EXPECT_EQ(Field(spaced, "first"), "with space") << spaced;
    EXPECT_EQ(RequestsFor(log, "data/with%20space.txt").size(), 1u);
    EXPECT_TRUE(RequestsFor(log, "data/with space.txt").empty());
    EXPECT_EQ(Fetched(log, base + "data/with%20space.txt"), "ok");

    // Mappings were fetched when the renderer was launched: the request finds the file
    // ready (the renderer never sees it requested or fetching; it may see it ready before
    // delivered, depending on when it looks) and no second fetch is made.
    for (auto [name, url, first] : {std::make_tuple("sky", "data/night%20sky.txt", "night sky"),
                                    std::make_tuple("ground", "data/grass.txt", "grass"),
                                    std::make_tuple("tex.txt", "data/other.txt", "other file")}) {
        SCOPED_TRACE(name);
        std::string line = page.Outcome(name);
        EXPECT_EQ(Field(line, "first"), first) << line;
        const std::vector<int> statuses = StatusWords(Field(line, "statuses"));
        EXPECT_TRUE(statuses == std::vector<int>({StateReady, StateDelivered}) ||
                    statuses == std::vector<int>({StateDelivered}))
            << line;
        EXPECT_EQ(RequestsFor(log, url).size(), 1u);
    }
    // The mapping nobody asks for is fetched all the same; sharing goes by the name asked,
    // so the renderer's own request for the same file is a fetch of its own.
    EXPECT_EQ(RequestsFor(log, "data/plain.txt").size(), 2u);

    // NOREMAP: the name itself is fetched, beside the mapped entry of the same name.
    std::string noremap = page.Outcome("NOREMAP:tex.txt");
    EXPECT_EQ(Field(noremap, "first"), "tex itself") << noremap;
    EXPECT_EQ(RequestsFor(log, "tex.txt").size(), 1u);

    std::string missing = page.Outcome("data/missing.txt");
    EXPECT_EQ(missing.rfind("failed ", 0), 0u) << missing;
    const std::vector<int> missingStatuses = StatusWords(Field(missing, "statuses"));
    EXPECT_TRUE(!missingStatuses.empty() && missingStatuses.back() == StateFailed) << missing;
    EXPECT_EQ(RequestsFor(log, "data/missing.txt").size(), 1u);
    EXPECT_EQ(Fetched(log, base + "data/missing.txt"), "failed");

    // The navigation goes to the browser with its target, resolved by the browser.
    std::vector<std::string> navigate = LinesStarting(log, "* navigate inst=1 ");
    ASSERT_EQ(navigate.size(), 1u);
    EXPECT_EQ(Field(navigate[0], "url"), base + "next.html");
    EXPECT_EQ(Field(navigate[0], "target"), "_blank");
    EXPECT_EQ(RequestsFor(log, "next.html").size(), 1u);
}

TEST(ScriptedRenderer, OldBrowserGetsResolvedUrlsAndARequestWithoutStreamFails)
{
    ScriptedPage page("old-browser",
                      "ask $applet\nask data/with space.txt\nask data/never.txt\nask sky\nwait\n",
                      {"--page", PagesDir() + "resources.html", "--version", kOldBrowser, "--withhold", "never"});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();
    const std::string pageUrl = PageFileUrl(PagesDir() + "resources.html");

    EXPECT_EQ(Field(page.Outcome("applets/scripted.obvm"), "first"), "scripted applet");
    // This browser cannot resolve: the plug-in joins the name to the page itself.
    std::vector<std::string> spaced = RequestsFor(log, pageUrl + "/../data/with%20space.txt");
    ASSERT_EQ(spaced.size(), 1u);
    EXPECT_EQ(spaced[0].rfind("< NPN_GetURL inst=1 ", 0), 0u) << spaced[0];
    EXPECT_EQ(Field(spaced[0], "target"), "(null)");
    EXPECT_EQ(Field(page.Outcome("data/with space.txt"), "first"), "with space");
    EXPECT_EQ(RequestsFor(log, pageUrl + "/../data/night%20sky.txt").size(), 1u);
    EXPECT_EQ(Field(page.Outcome("sky"), "first"), "night sky");
    EXPECT_TRUE(LinesStarting(log, "< NPN_GetURLNotify").empty());

    // The stream that never comes: failed by the start time-out, never before 30 s.
    std::vector<std::string> withheld = LinesStarting(log, "* withhold inst=1 ");
    ASSERT_EQ(withheld.size(), 1u);
    EXPECT_EQ(Field(withheld[0], "url"), PageFileUrl(PagesDir()) + "data/never.txt");
    std::string never = page.Outcome("data/never.txt");
    ASSERT_EQ(never.rfind("failed ", 0), 0u) << never;
    // The renderer samples its status word, so the short-lived "requested" may pass unseen.
    const std::vector<int> statuses = StatusWords(Field(never, "statuses"));
    EXPECT_TRUE(statuses == std::vector<int>({StateRequested, StateFetching, StateFailed}) ||
                statuses == std::vector<int>({StateFetching, StateFailed}))
        << never;
    EXPECT_GT(std::stod(Field(never, "ms")), 30000.0);
}

TEST(ScriptedRenderer, PageServedOverHttpHasItsFilesFetchedFromTheClaimedLocation)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    server.Serve("/load/resources.html", {200, ReadFile(PagesDir() + "resources.html")});
    server.Serve("/site/applets/scripted.obvm", {200, "applet over http\n"});
    server.Serve("/site/data/with%20space.txt", {200, "spaced over http\n"});
    server.Serve("/site/data/grass.txt", {200, "grass over http\n"});

    ScriptedPage page("http", "ask $applet\nask data/with space.txt\nask ground\nask data/missing.txt\nwait\n",
                      {"--page", server.Url("/load/resources.html"), "--page-url",
                       server.Url("/site/resources.html"), "--version", kNotifyBrowser});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();

    EXPECT_EQ(Field(LinesStarting(page.Report(), "launch ").at(0), "page"), server.Url("/site/resources.html"));
    EXPECT_EQ(Field(page.Outcome("applets/scripted.obvm"), "first"), "applet over http");
    EXPECT_EQ(Field(page.Outcome("data/with space.txt"), "first"), "spaced over http");
    EXPECT_EQ(Fetched(log, server.Url("/site/data/with%20space.txt")), "ok");
    EXPECT_EQ(Field(page.Outcome("ground"), "first"), "grass over http");
    std::string missing = page.Outcome("data/missing.txt");
    EXPECT_EQ(missing.rfind("failed ", 0), 0u) << missing;
    EXPECT_EQ(Fetched(log, server.Url("/site/data/missing.txt")), "failed");
}

// The reference renderer's status line says what it has: "Orbolanth: NAME - N objects",
// followed by ", loading ..." while files are on their way and "... missing" for failures.
std::string FinalStatus(const std::vector<std::string>& log, const std::string& applet)
{
    std::string last;
    for (const std::string& line : LinesStarting(log, "< NPN_Status inst=1 ")) {
        if (Field(line, "text").rfind("Orbolanth: " + applet, 0) == 0) last = Field(line, "text");
    }
    return last;
}

bool Settled(const std::string& status)
{
    return status.find(" object") != std::string::npos && status.find("loading") == std::string::npos;
}

// The log line where the stream of `url` to instance 1 ended normally; -1 when it did not.
int AppletStreamEnd(const std::vector<std::string>& log, const std::string& url)
{
    for (const std::string& line : LinesStarting(log, "> NPP_NewStream inst=1 ")) {
        if (Field(line, "url") == url) {
            return IndexOf(log, "> NPP_DestroyStream inst=1 stream=" + Field(line, "stream") + " reason=0 ");
        }
    }
    return -1;
}

struct Sample {
    const char* page;     // under samples/applets/, or a test page shown as if it were there
    const char* applet;
    std::vector<const char*> files;  // what the applet names, as the browser is asked
};

class SamplePage : public ::testing::TestWithParam<Sample> {};

// The applet's stream has ended long before the renderer runs; every file it names
// follows through the browser, names with spaces escaped.
TEST_P(SamplePage, LoadsItsAppletAndEveryFileItNames)
{
    const Sample sample = GetParam();
    const std::string samples = ORB_SOURCE_DIR "/samples/applets/";
    const std::string name = sample.page;
    const std::string shown = name == "demo.html" ? samples + name : PagesDir() + name;
    HostProcess host("streams-sample-" + name, {"--page", shown, "--page-url", PageFileUrl(samples + name)});
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(CloseWhen(host, [&] { return Settled(FinalStatus(host.Lines(), sample.applet)); }), 0u);
    const std::vector<std::string> log = host.Lines();

    const std::string status = FinalStatus(log, sample.applet);
    EXPECT_TRUE(Settled(status)) << status;
    EXPECT_EQ(status.find("missing"), std::string::npos) << status;
    for (const char* file : sample.files) {
        SCOPED_TRACE(file);
        EXPECT_EQ(RequestsFor(log, file).size(), 1u);
        EXPECT_EQ(Fetched(log, PageFileUrl(samples) + file), "ok");
    }
    int appletEnd = AppletStreamEnd(log, PageFileUrl(samples) + sample.applet);
    int asked = IndexOf(log, "< NPN_Status inst=1 text=\"Orbolanth: loading ");
    EXPECT_GE(appletEnd, 0);
    EXPECT_GT(asked, appletEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SamplePage,
    ::testing::Values(Sample{"demo.html", "orbit.obvm",
                             {"models/ring.obv", "models/stars.obv", "models/moon%20rock.obv"}},
                      Sample{"cubes.html", "cubes.obvm", {"models/pedestal.obv"}},
                      Sample{"gyro.html", "gyro.obvm", {"models/gem%20shape.obv"}}),
    [](const ::testing::TestParamInfo<Sample>& info) {
        std::string page = info.param.page;
        return page.substr(0, page.find('.'));
    });

}  // namespace

namespace {

// The renderer asks for the applet while the browser is still writing its stream: the
// request is tied to that stream and the file arrives when the stream ends. An applet that
// trickles in over seconds keeps the stream open well past the renderer's start.
TEST(ReferenceRenderer, AppletAskedForWhileItsStreamIsOpenArrivesWhenTheStreamEnds)
{
    const std::string folder = LogFolder("streams") + "open-stream/";
    CreateDirectoryA(folder.c_str(), nullptr);
    {
        std::ofstream page(folder + "page.html", std::ios::binary);
        page << "<embed type=\"application/x-Orbolanth-3D-Applet\" src=\"big.obvm\" width=200 height=150 "
                "WindowName=\"big\">\n";
        std::ofstream applet(folder + "big.obvm", std::ios::binary);
        applet << "orbolanth-scene 1\n";
        const std::string padding = "// " + std::string(60, 'x') + "\n";
        for (int i = 0; i < 6000; ++i) applet << padding;
        applet << "mesh cube box 1\nobject cube cube\nend\n";
    }
    HostProcess host("streams-open-stream",
                     {"--page", folder + "page.html", "--chunk", "2048", "--trickle", "25"});
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(CloseWhen(host, [&] { return Settled(FinalStatus(host.Lines(), "big.obvm")); }), 0u);
    const std::vector<std::string> log = host.Lines();

    EXPECT_EQ(FinalStatus(log, "big.obvm"), "Orbolanth: big.obvm - 1 object");
    int appletEnd = AppletStreamEnd(log, PageFileUrl(folder) + "big.obvm");
    int asked = IndexOf(log, "< NPN_Status inst=1 text=\"Orbolanth: loading big.obvm");
    ASSERT_GE(asked, 0);
    EXPECT_GT(appletEnd, asked) << "the renderer asked only after the stream had ended";
    EXPECT_TRUE(RequestsFor(log, "big.obvm").empty()) << "the applet is never fetched a second time";
}

}  // namespace

namespace {

// A browser that shows a dialog inside one of its services runs a message loop of its own
// there, and the plug-in's timers fire in it. The loop lasts 1.5 s; while it runs the
// renderer may be killed or the page closed under the call.
const char kLoopScript[] =
    "ask $applet\n"
    "ask data/plain.txt\n"
    "pause 200\n"
    "ask sky\n"
    "wait\n"
    "navigate _blank:next.html\n"
    "pause 2500\n";

std::vector<std::string> LoopArguments(const std::string& loop, const char* action)
{
    std::vector<std::string> arguments = {"--page", PagesDir() + "resources.html", "--modal-loop", loop};
    if (action) {
        arguments.push_back("--in-loop");
        arguments.push_back(action);
    }
    return arguments;
}

// No renderer of this test is left running: its process exited or was ended.
bool NoScriptedRendererLeft()
{
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        if (std::string(entry.szExeFile).find("scripted_renderer") != std::string::npos) return false;
    }
    return true;
}

TEST(BrowserDialogs, TheRendererKeepsTheBlockWhileTheBrowserIsInsideARequest)
{
    int run = 0;
    for (const char* loop : {"geturlnotify:1500:plain.txt", "geturl:1500:next.html"}) {
        SCOPED_TRACE(loop);
        ScriptedPage page("loop-" + std::to_string(++run), kLoopScript, LoopArguments(loop, nullptr));
        ASSERT_EQ(page.Run(), 0u);
        const std::vector<std::string> log = page.HostLog();
        EXPECT_GE(IndexOf(log, "* modal-loop-end"), 0);
        EXPECT_FALSE(page.Outcome("data/plain.txt").empty());
        EXPECT_EQ(page.Outcome("sky").rfind("delivered ", 0), 0u) << "a request made during the loop is served";
        const std::vector<std::string> done = LinesStarting(page.Report(), "done ");
        ASSERT_EQ(done.size(), 1u);
        EXPECT_LT(std::stoi(Field(done[0], "mutex-ms")), 500) << "the renderer waited on the block for the loop";
    }
}

struct LoopRun {
    const char* loop;
    const char* action;
    // The src stream starts after the location: the mappings wait for it, and its
    // NPP_NewStream sends them to the browser, the loop's among them.
    bool lateSrc = false;
};

TEST(BrowserDialogs, ARendererKilledOrAPageClosedInsideTheLoopIsSurvived)
{
    const LoopRun runs[] = {
        {"geturlnotify:1500:plain.txt", "kill-renderer"}, {"geturlnotify:1500:plain.txt", "close-page"},
        {"geturlnotify:1500:night", "kill-renderer"},     {"geturlnotify:1500:night", "close-page"},
        {"geturl:1500:next.html", "kill-renderer"},       {"geturl:1500:next.html", "close-page"},
        {"geturlnotify:1500:night", "close-page", true},
    };
    int run = 0;
    for (const auto& [loop, action, lateSrc] : runs) {
        SCOPED_TRACE(std::string(loop) + " " + action + (lateSrc ? " late-src" : ""));
        std::vector<std::string> arguments = LoopArguments(loop, action);
        if (lateSrc) arguments.insert(arguments.end(), {"--late-src", "500"});
        ScriptedPage page("loop-action-" + std::to_string(++run), kLoopScript, arguments);
        // A killed renderer never finishes its script: the page closes once the dialog is over.
        ASSERT_EQ(page.RunUntil([&] { return IndexOf(page.HostLog(), "* modal-loop-end") >= 0; }), 0u);
        const std::vector<std::string> log = page.HostLog();
        const int loopStart = IndexOf(log, "* modal-loop ");
        const int loopEnd = IndexOf(log, "* modal-loop-end");
        ASSERT_GE(loopStart, 0);
        EXPECT_GT(loopEnd, loopStart);
        if (lateSrc) {
            const int srcAsked = IndexOf(log, "* late-src inst=1 ");
            EXPECT_GE(srcAsked, 0);
            EXPECT_LT(srcAsked, loopStart);
            // Logged once it returns: the loop ran inside the src stream's NPP_NewStream.
            int srcAnnounced = -1;
            for (const std::string& line : LinesStarting(log, "> NPP_NewStream inst=1 ")) {
                if (Field(line, "url").find("scripted.obvm") != std::string::npos) srcAnnounced = IndexOf(log, line);
            }
            EXPECT_GT(srcAnnounced, loopEnd);
        }
        EXPECT_GE(IndexOf(log, "> NP_Shutdown -> 0"), 0);
        if (std::string(action) == "close-page") {
            const int destroyed = IndexOf(log, "> NPP_Destroy inst=1 ", loopStart);
            EXPECT_GT(destroyed, loopStart);
            EXPECT_LT(destroyed, loopEnd) << "the page closed inside the call";
        } else {
            EXPECT_GE(IndexOf(log, "* killed count=1", loopStart), 0);
        }
        EXPECT_TRUE(NoScriptedRendererLeft());
    }
}

// The plug-in's own dialog: with no renderer to launch, its box stays up (nobody presses
// it here), so the host closes the page, shuts the library down and unloads it inside the
// box's message loop, by its clock or once no stream work is left. Only the host's close
// ends that loop, which then returns into the library.
TEST(PluginDialogs, ALibraryUnloadedUnderTheLaunchFailureBoxIsSurvived)
{
    // The switches that close the page, and the reason the host logs.
    const std::vector<std::pair<std::vector<std::string>, std::string>> closes = {
        {{"--seconds", "3"}, "seconds"}, {{"--until-idle"}, "idle"}};
    int run = 0;
    for (const auto& [close, reason] : closes) {
        SCOPED_TRACE(reason);
        std::vector<std::string> arguments = {"--page", PagesDir() + "resources.html"};
        arguments.insert(arguments.end(), close.begin(), close.end());
        HostProcess host("streams-unload-under-box-" + std::to_string(++run), arguments,
                         "Z:\\no\\such\\folder\\orbrenderer.exe");
        bool boxSeen = false;
        const DWORD start = GetTickCount();
        while (!boxSeen && GetTickCount() - start < kRunMs && host.Finish(0) == STILL_ACTIVE) {
            boxSeen = FindWindowA("#32770", "Orbolanth Player Error") != nullptr;
            Sleep(20);
        }
        EXPECT_TRUE(boxSeen);
        // A crash leaves the host waiting for its debugger: still running at the time-out.
        EXPECT_EQ(host.Finish(30000), 0u);
        const std::vector<std::string> log = host.Lines();
        EXPECT_GE(IndexOf(log, "* close reason=" + reason), 0);
        EXPECT_GT(IndexOf(log, "* FreeLibrary"), IndexOf(log, "> NP_Shutdown -> 0"));
    }
}

// Later browsers' habits, each played by one orbhost option.

constexpr char kFilesScript[] = "ask $applet\nask data/plain.txt\nask data/missing.txt\nask sky\nwait\n";

void ExpectFilesScriptOutcome(const ScriptedPage& page)
{
    EXPECT_EQ(Field(page.Outcome("applets/scripted.obvm"), "first"), "scripted applet");
    EXPECT_EQ(Field(page.Outcome("data/plain.txt"), "first"), "plain file");
    EXPECT_EQ(page.Outcome("data/missing.txt").rfind("failed ", 0), 0u) << page.Outcome("data/missing.txt");
    EXPECT_EQ(Field(page.Outcome("sky"), "first"), "night sky");
}

// Folders the plug-in keeps its copies of stream files in, left in %TEMP%.
std::vector<std::string> KeptFolders()
{
    std::vector<std::string> kept;
    for (const std::string& name : TempFiles()) {
        if (name.rfind("orbkeep-", 0) == 0) kept.push_back(name);
    }
    return kept;
}

class AnsweringAtOnce : public ::testing::TestWithParam<const char*> {};

// Every stream, the notification included, comes inside the NPN_GetURL(Notify) call that
// asked for it, for files that are there and files that are not.
TEST_P(AnsweringAtOnce, EveryRequestEndsOnce)
{
    const std::string version = GetParam();
    ScriptedPage page("at-once-" + version, kFilesScript,
                      {"--page", PagesDir() + "resources.html", "--version", version, "--answer-at-once"});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();
    EXPECT_FALSE(LinesStarting(log, "* at-once stream=").empty());
    ExpectFilesScriptOutcome(page);
    // The first request for the file is logged when its call returns: by then its stream
    // has been announced and destroyed.
    const std::string plainUrl = PageFileUrl(PagesDir()) + "data/plain.txt";
    int requested = -1;
    for (size_t i = 0; i < log.size() && requested < 0; ++i) {
        const bool request = log[i].rfind("< NPN_GetURL", 0) == 0;
        if (request && Field(log[i], "url").find("plain.txt") != std::string::npos) requested = static_cast<int>(i);
    }
    std::string stream;
    for (const std::string& line : LinesStarting(log, "> NPP_NewStream inst=1 ")) {
        if (Field(line, "url") == plainUrl && stream.empty()) stream = Field(line, "stream");
    }
    ASSERT_FALSE(stream.empty());
    const int ended = IndexOf(log, "> NPP_DestroyStream inst=1 stream=" + stream + " ");
    EXPECT_GE(ended, 0);
    EXPECT_LT(ended, requested);
}

INSTANTIATE_TEST_SUITE_P(Browsers, AnsweringAtOnce, ::testing::Values(kNotifyBrowser, kOldBrowser),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == kNotifyBrowser ? "Notifying" : "Old";
                         });

// The browser deletes each file once its stream is destroyed, before the renderer has
// heard of it: the renderer still reads the bytes, also for a file asked for again. The
// plug-in's copy goes once the renderer has released its id, and none is left once the
// page has closed.
TEST(DeletingBrowser, FilesStayReadableUntilTheRendererIsDone)
{
    ScriptedPage page("delete-files", std::string(kFilesScript) + "ask data/plain.txt\nwait\npause 400\ngone\n",
                      {"--page", PagesDir() + "resources.html", "--delete-files"});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();
    EXPECT_GE(LinesStarting(log, "* delete-file ").size(), 4u);
    for (const std::string& line : LinesStarting(log, "* delete-file ")) EXPECT_EQ(line.substr(line.size() - 5), "-> ok");
    ExpectFilesScriptOutcome(page);
    int plain = 0;
    for (const std::string& line : LinesStarting(page.Report(), "delivered ")) {
        if (Field(line, "name") != "data/plain.txt") continue;
        ++plain;
        EXPECT_EQ(Field(line, "text"), "plain file\n");
        EXPECT_EQ(Field(line, "path").substr(Field(line, "path").size() - 10), "\\plain.txt");
    }
    EXPECT_EQ(plain, 2);
    const std::vector<std::string> gone = LinesStarting(page.Report(), "gone ");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(Field(gone[0], "of"), "4");  // the applet, plain twice, sky
    EXPECT_EQ(Field(gone[0], "n"), "4");
    EXPECT_TRUE(KeptFolders().empty());
}

TEST(DeletingBrowser, NoCopyIsLeftAfterTheRendererCrashes)
{
    ScriptedPage page("delete-files-crash", "ask $applet\nask data/plain.txt\nwait\ncrash\n",
                      {"--page", PagesDir() + "resources.html", "--delete-files"});
    ASSERT_EQ(page.Run("crash"), 0u);
    EXPECT_EQ(Field(page.Outcome("data/plain.txt"), "first"), "plain file");
    EXPECT_TRUE(KeptFolders().empty());
}

struct LocationCase {
    const char* mode;
    bool fromBrowser;  // the page's own URL arrives; else the src stream's folder
    // The plug-in waits 5 s for the location: the src stream starts after that, or the
    // location stream is still being written then.
    bool pastTheWait = false;
};

constexpr DWORD kPastTheWaitMs = 6000;

// The pause between two writes that makes the split location stream last kPastTheWaitMs.
std::string SplitLocationTrickle(const std::string& pageUrl)
{
    const size_t pauses = (pageUrl.size() + 6) / 7 - 1;  // the host writes it 7 bytes at a time
    return std::to_string(kPastTheWaitMs / pauses + 1);
}

class MissingLocation : public ::testing::TestWithParam<LocationCase> {};

// However the location request goes, the renderer is launched with a page from which the
// applet's names resolve, and every file arrives.
TEST_P(MissingLocation, AppletLaunchesWithTheBaseOfItsSrc)
{
    const LocationCase c = GetParam();
    const std::string base = PageFileUrl(PagesDir());
    std::vector<std::string> arguments = {"--page", PagesDir() + "resources.html", "--location", c.mode};
    if (c.pastTheWait && c.fromBrowser) {
        arguments.insert(arguments.end(), {"--trickle", SplitLocationTrickle(base + "resources.html")});
    } else if (c.pastTheWait) {
        arguments.insert(arguments.end(), {"--late-src", std::to_string(kPastTheWaitMs)});
    }
    ScriptedPage page(std::string("location-") + c.mode + (c.pastTheWait ? "-late" : ""),
                      "ask $applet\nask data/with space.txt\nask sky\nwait\n", arguments);
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> launch = LinesStarting(page.Report(), "launch ");
    ASSERT_EQ(launch.size(), 1u);
    EXPECT_EQ(Field(launch[0], "page"), c.fromBrowser ? base + "resources.html" : base);
    EXPECT_EQ(Field(page.Outcome("applets/scripted.obvm"), "first"), "scripted applet");
    EXPECT_EQ(Field(page.Outcome("data/with space.txt"), "first"), "with space");
    EXPECT_EQ(Field(page.Outcome("sky"), "first"), "night sky");
}

INSTANTIATE_TEST_SUITE_P(Modes, MissingLocation,
                         ::testing::Values(LocationCase{"refuse", false}, LocationCase{"empty", false},
                                           LocationCase{"fail", false}, LocationCase{"split", true},
                                           LocationCase{"never", false}, LocationCase{"split", true, true},
                                           LocationCase{"never", false, true}),
                         [](const ::testing::TestParamInfo<LocationCase>& info) {
                             std::string mode = info.param.mode;
                             mode[0] = static_cast<char>(mode[0] - 'a' + 'A');
                             return mode + (info.param.pastTheWait ? "PastTheWait" : "");
                         });

// Neither the location nor the src stream ever comes: no renderer, and no request made
// for the page afterwards.
TEST(MissingLocation, WithoutSrcStreamNothingIsLaunched)
{
    ScriptedPage page("location-nothing", "ask $applet\nwait\n",
                      {"--page", PagesDir() + "resources.html", "--location", "never", "--withhold", "scripted"});
    ASSERT_EQ(page.RunFor(8000), 0u);
    EXPECT_TRUE(LinesStarting(page.Report(), "launch ").empty());
    const std::vector<std::string> log = page.HostLog();
    EXPECT_EQ(LinesStarting(log, "< NPN_GetURL").size(), 1u) << "only the location request";
}

// The browser destroys the instance first and ends its streams afterwards, never
// notifying: the plug-in survives it, and the host closes cleanly. The page closes while
// the last file is still trickling in; the location is refused so that the launch need not
// wait for a trickling location stream.
TEST(LateEndingBrowser, StreamsEndedAfterDestroyAreSurvived)
{
    ScriptedPage page("late-ends", "ask $applet\nask data/plain.txt\nwait\nask data/never.txt\nask data/other.txt\npause 100\n",
                      {"--page", PagesDir() + "resources.html", "--late-ends", "--withhold", "never", "--chunk", "2",
                       "--trickle", "300", "--location", "refuse"});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();
    const int destroyed = IndexOf(log, "> NPP_Destroy inst=1 ");
    ASSERT_GE(destroyed, 0);
    const int lateEnd = IndexOf(log, "> NPP_DestroyStream inst=1 ", destroyed);
    ASSERT_GT(lateEnd, destroyed) << "a stream was still open at the close";
    EXPECT_NE(log[lateEnd].find(" reason=2 -> 2"), std::string::npos) << log[lateEnd];
    EXPECT_LT(IndexOf(log, "> NPP_URLNotify inst=1 ", destroyed), 0);
    EXPECT_GE(IndexOf(log, "> NP_Shutdown -> 0"), 0);
    EXPECT_EQ(Field(page.Outcome("data/plain.txt"), "first"), "plain file");
}

// A page whose names and paths are long: the renderer's size arguments survive a long
// CommandLine, files lying deeper than 260 characters arrive whole, and a src too long
// for the block launches nothing rather than a cut name.
TEST(LongNames, CommandLineKeepsItsSizeAndDeepFilesArriveWhole)
{
    const std::string folder = LogFolder("streams") + "long/";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "data").c_str(), nullptr);
    std::string words;
    for (int i = 0; words.size() < 1100; ++i) words += " -word" + std::to_string(i);
    {
        std::ofstream page(folder + "page.html", std::ios::binary);
        page << "<embed type=\"application/x-Orbolanth-3D-Applet\" src=\"long.obvm\" width=200 height=150 "
                "WindowName=\"long\" CommandLine=\"" << words << "\">\n";
        std::ofstream(folder + "long.obvm", std::ios::binary) << "long applet\n";
        std::ofstream(folder + "data/deep.txt", std::ios::binary) << "deep file\n";
    }
    ScriptedPage page("long-names", "ask $applet\nask data/deep.txt\nwait\n",
                      {"--page", folder + "page.html", "--long-paths"});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> launch = LinesStarting(page.Report(), "launch ");
    ASSERT_EQ(launch.size(), 1u);
    const std::string args = Field(launch[0], "args");
    EXPECT_LE(args.size(), 1023u);
    EXPECT_EQ(args.substr(args.size() - 23), " -width 200 -height 150") << args;
    EXPECT_EQ(args.rfind(" -word", 0), 0u);
    for (const std::string& line : LinesStarting(page.HostLog(), "> NPP_StreamAsFile ")) {
        EXPECT_GT(Field(line, "fname").size(), 260u) << line;
    }
    EXPECT_EQ(Field(page.Outcome("long.obvm"), "text"), "long applet\n");
    EXPECT_EQ(Field(page.Outcome("data/deep.txt"), "text"), "deep file\n");
}

TEST(LongNames, SrcTooLongForTheBlockLaunchesNothing)
{
    const std::string folder = LogFolder("streams") + "long-src/";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string src = "a.obvm?" + std::string(2100, 'q');
    {
        std::ofstream page(folder + "page.html", std::ios::binary);
        page << "<embed type=\"application/x-Orbolanth-3D-Applet\" src=\"" << src
             << "\" width=200 height=150 WindowName=\"long\">\n";
        std::ofstream(folder + "a.obvm", std::ios::binary) << "applet\n";
    }
    ScriptedPage page("long-src", "ask $applet\nwait\n", {"--page", folder + "page.html"});
    ASSERT_EQ(page.RunFor(4000), 0u);
    EXPECT_TRUE(LinesStarting(page.Report(), "launch ").empty());
    EXPECT_TRUE(RequestsFor(page.HostLog(), src).empty());
}

struct LaterBrowser {
    const char* name;
    const char* version;
    const char* tableSize;
    const char* userAgent;
};

class LaterBrowsers : public ::testing::TestWithParam<LaterBrowser> {};

// Later tables and agents get the 0.11 behaviour: notifying requests, names left for the
// browser to resolve, no download threads.
TEST_P(LaterBrowsers, GetTheNotifyingBehaviour)
{
    const LaterBrowser b = GetParam();
    ScriptedPage page(std::string("later-") + b.name, kFilesScript,
                      {"--page", PagesDir() + "resources.html", "--version", b.version, "--table-size", b.tableSize,
                       "--user-agent", b.userAgent});
    ASSERT_EQ(page.Run(), 0u);
    const std::vector<std::string> log = page.HostLog();
    ASSERT_EQ(LinesStarting(log, "> NP_Initialize ").size(), 1u);
    EXPECT_EQ(Field(LinesStarting(log, "> NP_Initialize ")[0], "size"), b.tableSize);
    const std::vector<std::string> plain = RequestsFor(log, "data/plain.txt");
    ASSERT_EQ(plain.size(), 2u) << "the mapping and the renderer's own request";
    EXPECT_EQ(plain[0].rfind("< NPN_GetURLNotify inst=1 ", 0), 0u) << plain[0];
    ExpectFilesScriptOutcome(page);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, LaterBrowsers,
    ::testing::Values(
        LaterBrowser{"Gecko", "0x001B", "236",
                     "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.9.2) Gecko/20100115 Firefox/3.6"},
        LaterBrowser{"WebKit", "0x001D", "256",
                     "Mozilla/5.0 (Windows; U; Windows NT 6.1; en-US) AppleWebKit/533.4 (KHTML, like Gecko) "
                     "Chrome/5.0.375.99 Safari/533.4"},
        LaterBrowser{"Opera", "0x0011", "120", "Opera/9.80 (Windows NT 5.1; U; en) Presto/2.2.15 Version/10.00"},
        LaterBrowser{"OperaAsExplorer", "0x000B", "88",
                     "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en) Opera 9.02"}),
    [](const ::testing::TestParamInfo<LaterBrowser>& info) { return std::string(info.param.name); });

}  // namespace
