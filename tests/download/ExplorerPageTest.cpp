// The plug-in in a host that calls itself Internet Explorer, end to end: the page's
// resources come through the plug-in's own download threads (never through the browser),
// resolved against the page, into temporary files that go with the page; a 404 fails its
// request; and where WININET.DLL cannot be loaded the instance is still made and every
// resource fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "LoopbackHttpServer.h"
#include "RendererScript.h"
#include "TestFiles.h"
#include "VersionResource.h"
#include "base/AsciiCase.h"
#include "base/ResourceState.h"
#include "base/UniqueHandle.h"

namespace {

// The worker's user agent states the version of the library the host loads.
const std::string kWorkerAgent =
    "Orbolanth Player Resource Downloader (Version " + ShortVersion(PluginDllPath()) + " - Win32)";
constexpr char kLocation[] = "javascript:window.location.href";
constexpr DWORD kLoadMs = 30000;
constexpr DWORD kCloseMs = 20000;

struct Explorer {
    const char* name;
    const char* version;
    const char* userAgent;
};

const Explorer kModernExplorer{"msie", "0x000B", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"};

std::string PageFile(const std::string& name)
{
    return ORB_SOURCE_DIR "/tests/download/pages/" + name;
}

// The page's files as its server has them; models/absent.obv is not there (404).
void ServeSite(LoopbackHttpServer& server)
{
    const std::map<std::string, std::string> site = {
        {"/site/sub/scene.obvm", "scene.obvm"},
        {"/site/sub/models/parts.obv", "models/parts.obv"},
        {"/site/sub/models/rock%20shape.obv", "models/rock shape.obv"},
        {"/shared/base.obv", "models/base.obv"},
    };
    for (const auto& [path, file] : site) {
        HttpResponse response;
        response.body = ReadFile(PageFile(file));
        server.Serve(path, response);
    }
}

// What the download threads ask the server for, sorted, when the renderer asks for
// "models/parts.obv", "models/rock shape.obv", "/shared/base.obv" and "models/absent.obv".
const std::vector<std::string> kWorkerPaths = {"/shared/base.obv", "/site/sub/models/absent.obv",
                                               "/site/sub/models/parts.obv",
                                               "/site/sub/models/rock%20shape.obv"};

// The paths each user agent asked the server for, sorted.
std::map<std::string, std::vector<std::string>> RequestsByAgent(const LoopbackHttpServer& server)
{
    std::map<std::string, std::vector<std::string>> byAgent;
    const std::vector<std::string> agents = server.UserAgents();
    const std::vector<std::string> paths = server.Paths();
    for (size_t i = 0; i < agents.size() && i < paths.size(); ++i) byAgent[agents[i]].push_back(paths[i]);
    for (auto& entry : byAgent) std::sort(entry.second.begin(), entry.second.end());
    return byAgent;
}

// Files of the download threads ("orb*.tmp") in the temporary folder, by full path.
std::set<std::string> TempDownloads()
{
    char folder[MAX_PATH + 1] = "";
    GetTempPathA(MAX_PATH, folder);
    std::set<std::string> found;
    for (const std::string& name : FileNames(folder, "orb*.tmp")) found.insert(folder + name);
    return found;
}

std::set<std::string> Added(const std::set<std::string>& now, const std::set<std::string>& before)
{
    std::set<std::string> added;
    for (const std::string& path : now) {
        if (!before.count(path)) added.insert(path);
    }
    return added;
}

// The browser is asked for the page's location and for nothing else.
void ExpectOnlyTheLocationFromTheBrowser(const std::vector<std::string>& lines)
{
    const std::vector<std::string> getUrl = LinesStarting(lines, "< NPN_GetURL ");
    ASSERT_EQ(getUrl.size(), 1u);
    EXPECT_EQ(Field(getUrl[0], "url"), kLocation);
    EXPECT_EQ(LinesStarting(lines, "< NPN_GetURLNotify ").size(), 0u);
}

void ExpectInstanceMade(const std::vector<std::string>& lines)
{
    const std::vector<std::string> made = LinesStarting(lines, "> NPP_New inst=1 ");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_NE(made[0].find("-> 0"), std::string::npos) << made[0];
}

class ExplorerPage : public ::testing::TestWithParam<Explorer> {};

TEST_P(ExplorerPage, RendererDrawsWhatTheDownloadThreadsFetchedAndTheirFilesGoWithThePage)
{
    const Explorer browser = GetParam();
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    ServeSite(server);
    const std::set<std::string> before = TempDownloads();

    HostProcess host(std::string("explorer-") + browser.name,
                     {"--page", PageFile("explorer.html"), "--page-url", server.Url("/site/sub/explorer.html"),
                      "--version", browser.version, "--user-agent", browser.userAgent, "--seconds", "60"});
    ASSERT_TRUE(host.Started());
    // Everything arrived but the missing file; the ring comes from an included file, the rock
    // and the base from mesh files, the planet needs none.
    ASSERT_TRUE(host.WaitForLine("text=\"Orbolanth: scene.obvm - 4 objects, 1 file missing\"", kLoadMs));
    // The renderer has read them all: their files go while the page is still open.
    bool gone = false;
    for (DWORD start = GetTickCount(); !gone && GetTickCount() - start < 5000; Sleep(50)) {
        gone = Added(TempDownloads(), before).empty();
    }
    EXPECT_TRUE(gone);
    ASSERT_TRUE(host.CloseWindow());
    ASSERT_EQ(host.Finish(kCloseMs), 0u);
    EXPECT_EQ(Added(TempDownloads(), before), std::set<std::string>{});

    const std::vector<std::string> lines = host.Lines();
    ExpectInstanceMade(lines);
    ExpectOnlyTheLocationFromTheBrowser(lines);
    // The browser fetched the applet file; the download threads fetched the rest, each once,
    // resolved against the page ("sub/explorer.html/../models" is sub/models), spaces escaped.
    auto byAgent = RequestsByAgent(server);
    EXPECT_EQ(byAgent.size(), 2u);
    EXPECT_EQ(byAgent[browser.userAgent], std::vector<std::string>{"/site/sub/scene.obvm"});
    EXPECT_EQ(byAgent[kWorkerAgent], kWorkerPaths);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, ExplorerPage,
    ::testing::Values(kModernExplorer, Explorer{"explorer09", "0x0009",
                                                "Mozilla/2.0 (compatible; MSIE 3.02; Windows 95) "
                                                "Microsoft Internet Explorer"}),
    [](const ::testing::TestParamInfo<Explorer>& info) { return std::string(info.param.name); });

// A renderer that dies while its page is open is started again by a click on the logo. The
// download threads went with the first renderer; the second gets threads of its own, which
// fetch everything again, the applet file too (the browser's stream of it is long gone).
TEST(ExplorerRecovery, AClickStartsTheRendererAgainAndNewDownloadThreadsServeIt)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    ServeSite(server);
    const std::set<std::string> before = TempDownloads();
    HostProcess host("explorer-recovery",
                     {"--page", PageFile("explorer.html"), "--page-url", server.Url("/site/sub/explorer.html"),
                      "--version", kModernExplorer.version, "--user-agent", kModernExplorer.userAgent,
                      "--seconds", "90"});
    ASSERT_TRUE(host.Started());
    const std::string loaded = "text=\"Orbolanth: scene.obvm - 4 objects, 1 file missing\"";
    ASSERT_TRUE(host.WaitForLine(loaded, kLoadMs));
    ASSERT_EQ(host.EndChildren(), 1);
    Sleep(500);  // the plug-in's next tick notices

    const std::string setWindow = LinesStarting(host.Lines(), "> NPP_SetWindow inst=1 ").at(0);
    HWND area = reinterpret_cast<HWND>(std::stoul(Field(setWindow, "window"), nullptr, 16));
    const size_t seen = host.Lines().size();
    ASSERT_TRUE(PostMessageA(area, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)));
    bool again = false;
    for (DWORD start = GetTickCount(); !again && GetTickCount() - start < kLoadMs; Sleep(100)) {
        const std::vector<std::string> lines = host.Lines();
        for (size_t i = seen; i < lines.size() && !again; ++i) again = lines[i].find(loaded) != std::string::npos;
    }
    EXPECT_TRUE(again) << "the second renderer did not load the scene";
    ASSERT_TRUE(host.CloseWindow());
    ASSERT_EQ(host.Finish(kCloseMs), 0u);
    EXPECT_EQ(Added(TempDownloads(), before), std::set<std::string>{});

    auto byAgent = RequestsByAgent(server);
    std::vector<std::string> twice = kWorkerPaths;
    twice.insert(twice.end(), kWorkerPaths.begin(), kWorkerPaths.end());
    twice.push_back("/site/sub/scene.obvm");
    std::sort(twice.begin(), twice.end());
    EXPECT_EQ(byAgent[kWorkerAgent], twice);
    EXPECT_EQ(byAgent[kModernExplorer.userAgent], std::vector<std::string>{"/site/sub/scene.obvm"});
}

// One request's end as the scripted renderer reported it.
struct Answer {
    int state = -1;  // the last status word it saw
    std::string path;
    std::string text;
};

struct ScriptedRun {
    std::vector<std::string> lines;
    std::vector<std::string> report;  // the scripted renderer's
    std::map<int, Answer> answers;
    std::set<std::string> tempWhileOpen;  // download files added while the page was open
    std::set<std::string> tempAfter;      // ... and still there after it closed
};

// The report's "delivered" and "failed" lines by request id.
std::map<int, Answer> ReadAnswers(const std::vector<std::string>& report)
{
    std::map<int, Answer> answers;
    for (const std::string& line : report) {
        const bool delivered = line.rfind("delivered ", 0) == 0;
        if (!delivered && line.rfind("failed ", 0) != 0) continue;
        Answer answer;
        const std::vector<int> statuses = StatusWords(Field(line, "statuses"));
        if (!statuses.empty()) answer.state = statuses.back();
        if (delivered) {
            answer.path = Field(line, "path");
            answer.text = Field(line, "text");
        }
        answers[std::stoi(Field(line, "id"))] = answer;
    }
    return answers;
}

// Runs the page with the scripted renderer asking for `names` (request i has id i) and
// closes it once every request has its answer.
ScriptedRun RunScripted(const std::string& name, const std::vector<std::string>& names,
                        const std::vector<std::string>& pageArguments)
{
    ScriptedRun run;
    std::string script;
    for (const std::string& each : names) script += "ask " + each + "\n";
    const RendererScript renderer(LogFolder("download"), name, script + "wait\npause 400\ngone\n");
    const std::set<std::string> before = TempDownloads();

    std::vector<std::string> arguments = pageArguments;
    arguments.insert(arguments.end(), {"--version", kModernExplorer.version, "--user-agent",
                                       kModernExplorer.userAgent, "--seconds", "60"});
    HostProcess host(name, arguments, SCRIPTED_RENDERER);
    EXPECT_TRUE(host.Started());
    for (DWORD start = GetTickCount(); !renderer.Done() && GetTickCount() - start < kLoadMs;) Sleep(50);
    EXPECT_TRUE(renderer.Done()) << "the scripted renderer did not get all its answers";
    run.report = renderer.Report();
    run.answers = ReadAnswers(run.report);
    run.tempWhileOpen = Added(TempDownloads(), before);
    EXPECT_TRUE(host.CloseWindow());
    EXPECT_EQ(host.Finish(kCloseMs), 0u);
    run.tempAfter = Added(TempDownloads(), before);
    run.lines = host.Lines();
    return run;
}

TEST(ExplorerRequests, EachEndsInItsStatusWordWithTheServedBytesInATemporaryFile)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    ServeSite(server);
    ScriptedRun run = RunScripted("explorer-scripted",
                                  {"models/parts.obv", "models/rock shape.obv", "/shared/base.obv",
                                   "models/absent.obv"},
                                  {"--page", PageFile("explorer.html"), "--page-url",
                                   server.Url("/site/sub/explorer.html")});
    ExpectInstanceMade(run.lines);
    ExpectOnlyTheLocationFromTheBrowser(run.lines);
    ASSERT_EQ(run.answers.size(), 4u);

    // Delivered with exactly the bytes served, each in a file of its own.
    const char* served[] = {"models/parts.obv", "models/rock shape.obv", "models/base.obv"};
    char temp[MAX_PATH + 1] = "";
    GetTempPathA(MAX_PATH, temp);
    std::set<std::string> delivered;
    for (int id = 1; id <= 3; ++id) {
        SCOPED_TRACE(served[id - 1]);
        const Answer& answer = run.answers[id];
        EXPECT_EQ(answer.state, StateDelivered);
        EXPECT_EQ(answer.text, ReadFile(PageFile(served[id - 1])));
        EXPECT_EQ(AsciiLowerCase(answer.path).rfind(AsciiLowerCase(std::string(temp) + "orb"), 0), 0u) << answer.path;
        delivered.insert(AsciiLowerCase(answer.path));
    }
    EXPECT_EQ(delivered.size(), 3u);
    // Read and released by the renderer, each went while the page was still open.
    const std::vector<std::string> gone = LinesStarting(run.report, "gone ");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(Field(gone[0], "n"), "3");
    EXPECT_EQ(Field(gone[0], "of"), "3");
    EXPECT_EQ(run.tempWhileOpen, std::set<std::string>{});

    // The 404: failed, no delivery, no file left for it.
    EXPECT_EQ(run.answers[4].state, StateFailed);
    EXPECT_EQ(run.answers[4].path, "");

    EXPECT_EQ(run.tempAfter, std::set<std::string>{});
    EXPECT_EQ(RequestsByAgent(server)[kWorkerAgent], kWorkerPaths);
}

// Run in a process started with WININET.DLL disabled (its own CTest entry), so the host and
// the plug-in in it cannot load it.
TEST(WithoutWinInet, TheInstanceIsMadeAndEveryResourceRequestFails)
{
    const LoadedModule wininet(LoadLibraryA("wininet.dll"));
    ASSERT_FALSE(wininet.Valid()) << "WININET.DLL is loadable here; run this through its CTest entry";

    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    ServeSite(server);
    // Read from disk, so the applet file arrives without any network: relative names become
    // file: URLs, which a running download worker would always answer.
    ScriptedRun run = RunScripted("explorer-without-wininet",
                                  {"models/parts.obv", "models/rock shape.obv", "/shared/base.obv",
                                   server.Url("/site/sub/models/parts.obv")},
                                  {"--page", PageFile("explorer.html")});
    ExpectInstanceMade(run.lines);
    ExpectOnlyTheLocationFromTheBrowser(run.lines);
    ASSERT_EQ(run.answers.size(), 4u);
    for (const auto& [id, answer] : run.answers) {
        EXPECT_EQ(answer.state, StateFailed) << "request " << id;
        EXPECT_EQ(answer.path, "") << "request " << id;
    }
    EXPECT_EQ(run.tempWhileOpen, std::set<std::string>{});
    EXPECT_EQ(server.Started(), 0);
}

}  // namespace
