// The plug-in in a host that calls itself Internet Explorer, end to end: the page's
// resources come through the plug-in's own download threads (never through the browser),
// resolved against the page, into temporary files that go with the page; a 404 fails its
// request; and where WININET.DLL cannot be loaded the instance is still made and every
// resource fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "LoopbackHttpServer.h"

namespace {

constexpr char kWorkerAgent[] = "Orbolanth Player Resource Downloader (Version 1.3.2 - Win32)";
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

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
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
        response.body = FileText(PageFile(file));
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
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((std::string(folder) + "orb*.tmp").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        found.insert(std::string(folder) + data.cFileName);
    } while (FindNextFileA(search, &data));
    FindClose(search);
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

// The user closes the browser's window (only one host runs at a time).
bool CloseHostWindow()
{
    HWND frame = FindWindowA("OrbhostFrame", nullptr);
    return frame && PostMessageA(frame, WM_CLOSE, 0, 0);
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
    EXPECT_EQ(Added(TempDownloads(), before).size(), 3u);
    ASSERT_TRUE(CloseHostWindow());
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

// One request's end as the scripted renderer saw it.
struct Answer {
    int state = -1;
    std::string path;
    std::string text;
};

struct ScriptedRun {
    std::vector<std::string> lines;
    std::map<int, Answer> answers;
    std::set<std::string> tempWhileOpen;  // download files added while the page was open
    std::set<std::string> tempAfter;      // ... and still there after it closed
};

std::map<int, Answer> ReadAnswers(const std::string& reportPath, bool* done)
{
    std::map<int, Answer> answers;
    *done = false;
    std::ifstream report(reportPath);
    for (std::string line; std::getline(report, line);) {
        *done = *done || line == "done";
        if (line.compare(0, 7, "answer ") != 0) continue;
        Answer answer;
        answer.state = std::stoi(Field(line, "state"));
        if (HasField(line, "path")) {
            // The path runs up to " bytes=", and the text to the end of the line.
            const size_t path = line.find(" path=") + 6;
            answer.path = line.substr(path, line.find(" bytes=", path) - path);
            answer.text = line.substr(line.find(" text=") + 6);
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
    const std::string logs = ORB_BUILD_DIR "/tests/download/logs";
    CreateDirectoryA(logs.c_str(), nullptr);
    const std::string reportPath = logs + "/" + name + ".report";
    DeleteFileA(reportPath.c_str());
    std::string joined;
    for (const std::string& each : names) joined += (joined.empty() ? "" : "|") + each;
    SetEnvironmentVariableA("ORB_SCRIPT_REPORT", reportPath.c_str());
    SetEnvironmentVariableA("ORB_SCRIPT_REQUESTS", joined.c_str());
    const std::set<std::string> before = TempDownloads();

    std::vector<std::string> arguments = pageArguments;
    arguments.insert(arguments.end(), {"--version", kModernExplorer.version, "--user-agent",
                                       kModernExplorer.userAgent, "--seconds", "60"});
    HostProcess host(name, arguments, SCRIPTED_RENDERER);
    EXPECT_TRUE(host.Started());
    bool done = false;
    for (DWORD start = GetTickCount(); !done && GetTickCount() - start < kLoadMs; Sleep(50)) {
        run.answers = ReadAnswers(reportPath, &done);
    }
    EXPECT_TRUE(done) << "the scripted renderer did not get all its answers";
    run.tempWhileOpen = Added(TempDownloads(), before);
    EXPECT_TRUE(CloseHostWindow());
    EXPECT_EQ(host.Finish(kCloseMs), 0u);
    run.tempAfter = Added(TempDownloads(), before);
    run.lines = host.Lines();
    return run;
}

// File content as the scripted renderer reports it: line breaks spelt out.
std::string AsReported(const std::string& text)
{
    std::string reported;
    for (char c : text) reported += c == '\n' ? std::string("\\n") : std::string(1, c);
    return reported;
}

std::string LowerCase(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
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

    // Delivered (status word 6) with exactly the bytes served, each in a file of its own.
    const char* served[] = {"models/parts.obv", "models/rock shape.obv", "models/base.obv"};
    std::set<std::string> delivered;
    for (int id = 1; id <= 3; ++id) {
        SCOPED_TRACE(served[id - 1]);
        const Answer& answer = run.answers[id];
        EXPECT_EQ(answer.state, 6);
        EXPECT_EQ(answer.text, AsReported(FileText(PageFile(served[id - 1]))));
        delivered.insert(LowerCase(answer.path));
    }
    std::set<std::string> made;
    for (const std::string& path : run.tempWhileOpen) made.insert(LowerCase(path));
    EXPECT_EQ(made, delivered);

    // The 404: failed, no delivery, no file left for it.
    EXPECT_EQ(run.answers[4].state, 4);
    EXPECT_EQ(run.answers[4].path, "");

    EXPECT_EQ(run.tempAfter, std::set<std::string>{});
    EXPECT_EQ(RequestsByAgent(server)[kWorkerAgent], kWorkerPaths);
}

// Run in a process started with WININET.DLL disabled (its own CTest entry), so the host and
// the plug-in in it cannot load it.
TEST(WithoutWinInet, TheInstanceIsMadeAndEveryResourceRequestFails)
{
    HMODULE wininet = LoadLibraryA("wininet.dll");
    ASSERT_EQ(wininet, nullptr) << "WININET.DLL is loadable here; run this through its CTest entry";

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
        EXPECT_EQ(answer.state, 4) << "request " << id;
        EXPECT_EQ(answer.path, "") << "request " << id;
    }
    EXPECT_EQ(run.tempWhileOpen, std::set<std::string>{});
    EXPECT_EQ(server.Started(), 0);
}

}  // namespace
