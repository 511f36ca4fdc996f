// The renderer session of embeds on a page, end to end: real child windows, the real
// registry, the built reference renderer (or the channel tests' peer where a renderer must
// misbehave) in processes of their own, pixels read back from the screen, and the
// launch-failure box found and pressed by a thread of the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ConfigurationKey.h"
#include "PluginModule.h"
#include "ProgramCopy.h"
#include "TestFiles.h"
#include "TestPage.h"
#include "base/Trace.h"
#include "streams/StreamManager.h"
#include "channel/RendererChannel.h"
#include "block/RendererClient.h"
#include "channel/RendererGroup.h"

namespace {

constexpr char kLaunchFailureText[] =
    "An error occurred while attempting to launch the Orbolanth3D renderer. The renderer executable "
    "may be missing or corrupt, or the registry setting may be incorrect. If restarting your web "
    "browser does not correct the problem, you should reinstall the Orbolanth player.\n\nThe applet "
    "will display the Orbolanth logo.";

constexpr int kWidth = 160, kHeight = 120;

std::string PeerPath()
{
    return CHANNEL_PEER_PATH;
}

RendererChannel* ChannelOf(PluginInstance* instance)
{
    return instance && instance->Session().Group() ? instance->Session().Group()->channel : nullptr;
}

DWORD ExitCodeOf(HANDLE process)
{
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

// The renderer's view of a channel's block, for reading what the plug-in wrote.
class BlockReader {
public:
    explicit BlockReader(RendererChannel* channel) { attached_ = channel && client_.Attach(channel->NamePart()); }
    bool Attached() const { return attached_; }

    // -1 when the mutex could not be had.
    int Active() { return Read([this] { return client_.IsActive() ? 1 : 0; }); }
    int QuitRequested() { return Read([this] { return client_.QuitRequested() ? 1 : 0; }); }
    // The window registered under name: -1 for no record, 0 for a reserved name.
    long WindowOf(const std::string& name)
    {
        return Read([&] {
            for (const WindowEntry& entry : client_.Windows()) {
                if (entry.name == name) return static_cast<int>(entry.window);
            }
            return -1;
        });
    }

private:
    template <typename F>
    int Read(F read)
    {
        MutexGuard guard(client_.Mutex());
        return guard.Acquire() ? read() : -1;
    }

    RendererClient client_;
    bool attached_ = false;
};

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("ORB_PEER_HANG", nullptr);
        SetEnvironmentVariableA("ORB_PEER_EXIT", nullptr);
        SetEnvironmentVariableA("ORB_PEER_REPORT", nullptr);
        SetForegroundWindow(GetAncestor(BrowserWindow(1, 1).Frame(), GA_ROOT));
    }
    void TearDown() override
    {
        page.reset();
        EXPECT_EQ(Groups().Live(), 0) << "a group outlived its page";
        EXPECT_TRUE(PumpUntil([] { return ChildProcesses() == 0; }, 10000)) << "a renderer outlived its page";
        SetEnvironmentVariableA("ORB_PEER_HANG", nullptr);
    }

    // An embed that launches: its page location and its applet file are there before the
    // browser hands it the window.
    TestPage::Embed* Launcher(std::vector<Attribute> attributes, int width = kWidth, int height = kHeight,
                              TestPage::Window kind = TestPage::Window::Child)
    {
        attributes.insert(attributes.begin(), {"src", kAppletName});
        TestPage::Embed* embed = page->Add(attributes, width, height, kind);
        if (!embed) return nullptr;
        page->DeliverLocation(embed);
        page->DeliverApplet(embed, applet.Path());
        return embed;
    }

    // An attached launcher whose renderer (the channel tests' peer) ignores the quit
    // request; a handle of the caller's own to the renderer's process.
    KernelHandle LaunchHungRenderer(TestPage::Embed** launched)
    {
        key.SetString("RendererPath", PeerPath());
        SetEnvironmentVariableA("ORB_PEER_HANG", "1");
        TestPage::Embed* embed = Launcher({{"WindowName", "main"}});
        if (!embed) return KernelHandle();
        page->Attach(embed);
        RendererChannel* channel = ChannelOf(embed->Instance());
        if (!channel) return KernelHandle();
        if (!PumpUntil([&] { return page->Browser().LastStatus() == "peer ready"; }, 10000)) return KernelHandle();
        *launched = embed;
        return DuplicateOf(channel->Process());
    }

    // An embed whose window shows on the screen what its renderer draws.
    TestPage::Embed* Watched(std::vector<Attribute> attributes)
    {
        return Launcher(std::move(attributes), kWidth, kHeight, TestPage::Window::TopLevel);
    }

    // Most of the window shows the applet's background: the renderer has drawn.
    static bool Drawn(TestPage::Embed* embed)
    {
        return SceneBackgroundPixels(embed->Hwnd()) > kWidth * kHeight / 2;
    }

    // A watched embed named "main" whose reference renderer has drawn: its channel, or none.
    RendererChannel* DrawingRenderer(TestPage::Embed*& embed)
    {
        key.SetString("RendererPath", RendererExePath());
        embed = Watched({{"WindowName", "main"}});
        if (!embed) return nullptr;
        page->Attach(embed);
        RendererChannel* channel = ChannelOf(embed->Instance());
        return channel && PumpUntil([&] { return Drawn(embed); }, 15000) ? channel : nullptr;
    }

    ConfigurationKey key;
    AppletFile applet;
    std::unique_ptr<TestPage> page = std::make_unique<TestPage>();
};

// --- launch failures ---------------------------------------------------------------------

enum class Broken { NoKey, ExpandString, MissingFile };

class LaunchFailure : public Session, public ::testing::WithParamInterface<Broken> {};

TEST_P(LaunchFailure, OneBoxThenTheLogoAndNoGroup)
{
    switch (GetParam()) {
    case Broken::NoKey:
        break;
    case Broken::ExpandString:
        key.SetString("RendererPath", RendererExePath(), REG_EXPAND_SZ);
        break;
    case Broken::MissingFile:
        key.SetString("RendererPath", "Z:\\no\\such\\folder\\orbrenderer.exe");
        break;
    }
    BoxWatcher watcher;
    TestPage::Embed* embed = Launcher({{"WindowName", "main"}});
    ASSERT_NE(embed, nullptr);
    // The launch runs inside NPP_SetWindow; the box holds it until the watcher presses it.
    page->Attach(embed);
    PumpFor(200);
    watcher.Stop();

    EXPECT_EQ(watcher.Boxes(), 1);
    EXPECT_EQ(watcher.FirstText(), kLaunchFailureText);
    PluginInstance* instance = embed->Instance();
    EXPECT_TRUE(instance->Session().LaunchDone());
    EXPECT_TRUE(instance->Session().ShowLogo());
    EXPECT_EQ(instance->Session().Group(), nullptr);
    EXPECT_EQ(Groups().Live(), 0);
    EXPECT_EQ(ChildProcesses(), 0);
    EXPECT_EQ(DifferencesFromLogo(instance, embed->Hwnd()), 0) << "the window does not show the logo";
}

INSTANTIATE_TEST_SUITE_P(Registry, LaunchFailure,
                         ::testing::Values(Broken::NoKey, Broken::ExpandString, Broken::MissingFile));

// --- the trace ------------------------------------------------------------------------------

class Traced : public Session {
protected:
    void SetUp() override
    {
        Session::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        tracePath = std::string(temp) + "session-trace-" + std::to_string(GetCurrentProcessId()) + ".log";
        DeleteFileA(tracePath.c_str());
    }
    void TearDown() override
    {
        Session::TearDown();
        DeleteFileA(tracePath.c_str());
    }

    // The page's library is initialised again, reading the key as it is now, and an applet
    // whose renderer path names no file fails to launch; the page goes (NP_Shutdown).
    void FailOneLaunch()
    {
        key.SetString("RendererPath", "Z:\\no\\such\\folder\\orbrenderer.exe");
        page = std::make_unique<TestPage>();
        traceWasOn = TraceOn();
        BoxWatcher watcher;
        TestPage::Embed* embed = Launcher({{"WindowName", "main"}});
        ASSERT_NE(embed, nullptr);
        page->Attach(embed);
        PumpFor(200);
        watcher.Stop();
        EXPECT_EQ(watcher.Boxes(), 1);
        page.reset();
    }

    std::string tracePath;
    bool traceWasOn = false;
};

TEST_F(Traced, ALaunchFailureIsTracedWithTheRendererPathAndTheError)
{
    page.reset();
    key.SetString("TraceFile", tracePath);
    FailOneLaunch();
    EXPECT_TRUE(traceWasOn);
    const std::vector<std::string> lines = ReadLines(tracePath);
    const std::string trace = ReadFile(tracePath);
    ASSERT_GE(lines.size(), 4u) << trace;
    const std::string process = " [" + std::to_string(GetCurrentProcessId()) + "] ";
    for (const std::string& line : lines) {
        // "YYYY-MM-DD hh:mm:ss.mmm [pid] subject: event"
        ASSERT_GT(line.size(), 24u) << line;
        EXPECT_EQ(line[4], '-') << line;
        EXPECT_EQ(line[19], '.') << line;
        EXPECT_EQ(line.compare(23, process.size(), process), 0) << line;
    }
    EXPECT_NE(trace.find(": block {"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" created for " + std::string(kAppletName) + "\r\n"), std::string::npos) << trace;
    // Wine says the folder is not there (3); Windows may say the file is not (2).
    const size_t failure = trace.find(": renderer Z:\\no\\such\\folder\\orbrenderer.exe not started: its path "
                                      "does not open, error ");
    ASSERT_NE(failure, std::string::npos) << trace;
    EXPECT_TRUE(trace.find("error 3\r\n", failure) != std::string::npos ||
                trace.find("error 2\r\n", failure) != std::string::npos)
        << trace;
    EXPECT_NE(trace.find("plug-in: shut down\r\n"), std::string::npos) << trace;
}

// Off unless the value is a string: nothing is written, not even an empty file.
TEST_F(Traced, WithoutAStringValueNothingIsWritten)
{
    page.reset();
    key.SetString("TraceFile", tracePath, REG_EXPAND_SZ);
    FailOneLaunch();
    EXPECT_FALSE(traceWasOn);
    EXPECT_EQ(GetFileAttributesA(tracePath.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The box runs its own message loop, which goes on delivering the launch timer.
TEST_F(Session, AFailedLaunchFromTheTimerShowsOneBoxWhileTheTimerKeepsFiring)
{
    BoxWatcher watcher(1000);
    TestPage::Embed* embed = Launcher({{"WindowName", "main"}, {"CommandLine", "-x"}}, 0, 0);
    ASSERT_NE(embed, nullptr);
    page->Attach(embed);
    PumpFor(250);
    PluginInstance* instance = embed->Instance();
    EXPECT_FALSE(instance->Session().LaunchDone());

    SetWindowPos(embed->Hwnd(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    const int timersBefore = embed->window->Received(WM_TIMER);
    ASSERT_TRUE(PumpUntil([&] { return instance->Session().LaunchDone(); }, 10000));
    watcher.Stop();

    EXPECT_EQ(watcher.Boxes(), 1);
    // The launch timer went on reaching the browser's procedure while the box was up.
    EXPECT_GE(embed->window->Received(WM_TIMER) - timersBefore, 5);
    EXPECT_EQ(instance->Session().RendererArgs(), "-x -width 200 -height 150");
    EXPECT_TRUE(instance->Session().ShowLogo());
    EXPECT_EQ(instance->Session().Group(), nullptr);
    EXPECT_EQ(Groups().Live(), 0);
}

TEST_F(Session, ALocationThatComesAfterTheWindowLaunchesWithoutWaitingForTheLaunchTimer)
{
    key.SetString("RendererPath", PeerPath());
    TestPage::Embed* embed = page->Add({{"src", kAppletName}, {"WindowName", "main"}}, kWidth, kHeight);
    ASSERT_NE(embed, nullptr);
    page->Attach(embed);
    PluginInstance* instance = embed->Instance();
    EXPECT_FALSE(instance->Session().LaunchDone());

    page->DeliverLocation(embed);
    // Only the plug-in's own posted message is dispatched: no launch-timer tick has a say.
    const UINT soon = PluginInstance::ServiceSoonMessage();
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, embed->Hwnd(), soon, soon, PM_REMOVE));
    DispatchMessageA(&message);
    EXPECT_TRUE(instance->Session().LaunchDone());
    EXPECT_NE(ChannelOf(instance), nullptr);
}

TestPage* closingPage;
TestPage::Embed* closingEmbed;
long managersAfterClose = -1;

void CALLBACK CloseFromTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    closingPage->Close(closingEmbed);
    managersAfterClose = LiveCount<StreamManager>::Live();
}

// The page goes while the launch-failure box is still open: the browser's NPP_Destroy runs
// inside the box's message loop, and the launch around it finishes on a live instance.
TEST_F(Session, APageClosedWhileTheFailureBoxIsOpenIsDestroyedAfterTheLaunch)
{
    BoxWatcher watcher(1000);
    const long managersBefore = LiveCount<StreamManager>::Live();
    TestPage::Embed* embed = Launcher({{"WindowName", "main"}}, 0, 0);
    ASSERT_NE(embed, nullptr);
    page->Attach(embed);
    PumpFor(250);

    closingPage = page.get();
    closingEmbed = embed;
    // A thread timer: the box's own loop dispatches it while the launch waits on the box.
    SetTimer(nullptr, 0, 400, &CloseFromTimer);
    SetWindowPos(embed->Hwnd(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(PumpUntil([&] { return watcher.Boxes() == 1 && !embed->open; }, 10000));
    PumpFor(1500);
    watcher.Stop();

    EXPECT_EQ(watcher.Boxes(), 1);
    // Still alive (with its stream manager) while the launch waited on the box; gone after.
    EXPECT_EQ(managersAfterClose, managersBefore + 1);
    EXPECT_EQ(LiveCount<StreamManager>::Live(), managersBefore);
    EXPECT_EQ(embed->Instance(), nullptr);
    EXPECT_EQ(Groups().Live(), 0);
    EXPECT_EQ(ChildProcesses(), 0);
}

// --- the renderer at work ----------------------------------------------------------------

struct Install {
    bool spacedPath;      // the renderer copied into a folder with a space in its name
    bool windowDestroyed; // the page goes by WM_DESTROY before NPP_Destroy
};

class RendererRun : public Session, public ::testing::WithParamInterface<Install> {};

TEST_P(RendererRun, DrawsReportsStatusAndQuitsWithThePage)
{
    std::string program = RendererExePath();
    std::unique_ptr<ProgramCopy> copy;
    if (GetParam().spacedPath) {
        copy = std::make_unique<ProgramCopy>(RendererExePath(), "orb session renderer", "orb renderer.exe");
        ASSERT_TRUE(copy->Copied());
        program = copy->Path();
    }
    key.SetString("RendererPath", program);

    TestPage::Embed* embed = Watched({{"WindowName", "main"}, {"CommandLine", "-quality high"}});
    ASSERT_NE(embed, nullptr);
    page->Attach(embed);
    PluginInstance* instance = embed->Instance();
    RendererChannel* channel = ChannelOf(instance);
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(instance->Session().LaunchDone());
    EXPECT_FALSE(instance->Session().ShowLogo());
    EXPECT_EQ(instance->Session().RendererArgs(), "-quality high -width 160 -height 120");
    EXPECT_EQ(ChildProcesses(), 1);

    ASSERT_TRUE(PumpUntil([&] { return Drawn(embed); }, 15000)) << "the renderer never drew";
    EXPECT_GT(DifferencesFromLogo(instance, embed->Hwnd()), kWidth * kHeight / 2);
    EXPECT_TRUE(PumpUntil([&] { return page->Browser().LastStatus() == "Orbolanth: scene.obvm - 1 object"; },
                          5000))
        << page->Browser().LastStatus();
    // The text goes to the browser on every service tick while the renderer keeps it.
    const int statusCalls = page->Browser().Count("status");
    PumpFor(500);
    EXPECT_GE(page->Browser().Count("status") - statusCalls, 3);

    BlockReader reader(channel);
    ASSERT_TRUE(reader.Attached());
    EXPECT_EQ(reader.WindowOf("main"), static_cast<long>(reinterpret_cast<uintptr_t>(embed->Hwnd())));
    EXPECT_EQ(reader.QuitRequested(), 0);
    const KernelHandle process = DuplicateOf(channel->Process());
    if (GetParam().windowDestroyed) embed->DestroyBrowserWindow();
    page->Close(embed);
    // Closing waited for the renderer, which left on its own.
    EXPECT_EQ(reader.QuitRequested(), 1);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(process.Get()), 0u);
    EXPECT_EQ(Groups().Live(), 0);
}

INSTANTIATE_TEST_SUITE_P(Installs, RendererRun,
                         ::testing::Values(Install{false, false}, Install{true, true}),
                         [](const ::testing::TestParamInfo<Install>& info) {
                             return std::string(info.param.spacedPath ? "SpacedPath" : "BuiltPath") +
                                    (info.param.windowDestroyed ? "WindowDestroyed" : "Detached");
                         });

class SharedGroup : public Session, public ::testing::WithParamInterface<bool> {};

TEST_P(SharedGroup, TwoEmbedsShareOneRendererAndReserveTheOtherNames)
{
    const bool joinerFirst = GetParam();
    key.SetString("RendererPath", RendererExePath());
    TestPage::Embed* joiner = page->Add({{"WindowName", "right"}, {"GroupName", "sHARED"}});
    ASSERT_NE(joiner, nullptr);
    if (joinerFirst) {
        page->Attach(joiner);
        // Nobody renders for the group yet: the joiner waits blank, polling.
        PumpFor(250);
        EXPECT_TRUE(joiner->Instance()->Session().LaunchDone());
        EXPECT_EQ(joiner->Instance()->Session().Group(), nullptr);
        EXPECT_FALSE(joiner->Instance()->Session().ShowLogo());
        EXPECT_EQ(Groups().Live(), 0);
    }
    TestPage::Embed* launcher = Watched({{"WindowName", "left"},
                                          {"GroupName", "Shared"},
                                          {"OtherWindows", "'a', 'it''s' and 'b'"}});
    ASSERT_NE(launcher, nullptr);
    page->Attach(launcher);
    if (!joinerFirst) page->Attach(joiner);
    RendererChannel* channel = ChannelOf(launcher->Instance());
    ASSERT_NE(channel, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return joiner->Instance()->Session().Group() == launcher->Instance()->Session().Group(); }, 2000));
    EXPECT_EQ(Groups().Live(), 1);
    EXPECT_EQ(Groups().RefsOf(launcher->Instance()->Session().Group()), 2);
    EXPECT_EQ(ChildProcesses(), 1);

    BlockReader reader(channel);
    ASSERT_TRUE(reader.Attached());
    EXPECT_EQ(reader.WindowOf("left"), static_cast<long>(reinterpret_cast<uintptr_t>(launcher->Hwnd())));
    EXPECT_EQ(reader.WindowOf("right"), static_cast<long>(reinterpret_cast<uintptr_t>(joiner->Hwnd())));
    EXPECT_EQ(reader.WindowOf("a"), 0);
    EXPECT_EQ(reader.WindowOf("it's"), 0);
    EXPECT_EQ(reader.WindowOf("b"), 0);
    EXPECT_EQ(reader.WindowOf("and"), -1);
    EXPECT_TRUE(PumpUntil([&] { return Drawn(launcher); }, 15000));

    // A joiner that goes takes only its window back: the renderer goes on for the launcher.
    const KernelHandle process = DuplicateOf(channel->Process());
    page->Close(joiner);
    PumpFor(300);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(reader.QuitRequested(), 0);
    EXPECT_EQ(reader.WindowOf("right"), -1);
    EXPECT_EQ(reader.WindowOf("left"), static_cast<long>(reinterpret_cast<uintptr_t>(launcher->Hwnd())));
    EXPECT_FALSE(launcher->Instance()->Session().ShowLogo());
    EXPECT_TRUE(Drawn(launcher));

    page->Close(launcher);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(process.Get()), 0u);
}

// The renderer is the launcher's: when its page goes, the group ends with it, and a later
// launcher of the same name starts a renderer of its own, which the waiting joiner joins.
TEST_F(Session, ALauncherThatGoesEndsTheGroupAndTheNextLauncherStartsClean)
{
    key.SetString("RendererPath", RendererExePath());
    TestPage::Embed* first = Launcher({{"WindowName", "left"}, {"GroupName", "g"}});
    TestPage::Embed* joiner = page->Add({{"WindowName", "right"}, {"GroupName", "G"}});
    ASSERT_TRUE(first && joiner);
    page->Attach(first);
    page->Attach(joiner);
    RendererChannel* old = ChannelOf(joiner->Instance());
    ASSERT_NE(old, nullptr);
    const KernelHandle process = DuplicateOf(old->Process());
    const std::string oldName = old->NamePart();

    page->Close(first);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(joiner->Instance()->Session().Group(), nullptr);
    EXPECT_FALSE(joiner->Instance()->Session().ShowLogo()) << "a page that closed broke nothing";
    PumpFor(250);
    EXPECT_EQ(Groups().Live(), 0);
    EXPECT_EQ(ChildProcesses(), 0);

    TestPage::Embed* second = Launcher({{"WindowName", "left"}, {"GroupName", "G"}});
    ASSERT_NE(second, nullptr);
    page->Attach(second);
    RendererChannel* fresh = ChannelOf(second->Instance());
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh->NamePart(), oldName);
    ASSERT_TRUE(PumpUntil([&] { return joiner->Instance()->Session().Group() == second->Instance()->Session().Group(); },
                          2000));
    EXPECT_EQ(Groups().RefsOf(second->Instance()->Session().Group()), 2);
    EXPECT_EQ(ChildProcesses(), 1);
    BlockReader reader(fresh);
    ASSERT_TRUE(reader.Attached());
    EXPECT_EQ(reader.WindowOf("right"), static_cast<long>(reinterpret_cast<uintptr_t>(joiner->Hwnd())));
}

INSTANTIATE_TEST_SUITE_P(Order, SharedGroup, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "JoinerFirst" : "LauncherFirst";
                         });

TEST_F(Session, FocusMovesTheActiveFlagBetweenGroups)
{
    key.SetString("RendererPath", RendererExePath());
    TestPage::Embed* one = Launcher({{"WindowName", "one"}});
    TestPage::Embed* two = Launcher({{"WindowName", "two"}});
    ASSERT_TRUE(one && two);
    page->Attach(one);
    page->Attach(two);
    BlockReader first(ChannelOf(one->Instance())), second(ChannelOf(two->Instance()));
    ASSERT_TRUE(first.Attached() && second.Attached());
    ASSERT_EQ(GetForegroundWindow(), one->window->Frame()) << "the test needs the foreground";

    // The last launch was activated; the service tick sees that our process has the foreground.
    EXPECT_TRUE(PumpUntil([&] { return second.Active() == 1; }, 2000));
    EXPECT_EQ(first.Active(), 0);
    SendMessageA(one->Hwnd(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(first.Active(), 1);
    EXPECT_EQ(second.Active(), 0);
    SendMessageA(two->Hwnd(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(first.Active(), 0);
    EXPECT_EQ(second.Active(), 1);
}

TEST_F(Session, ARendererKilledFromOutsideGivesTheLogoAtTheNextTick)
{
    TestPage::Embed* embed = nullptr;
    RendererChannel* channel = DrawingRenderer(embed);
    ASSERT_NE(channel, nullptr);

    ASSERT_TRUE(TerminateProcess(channel->Process(), 7));
    WaitForSingleObject(channel->Process(), 5000);
    EXPECT_TRUE(PumpUntil([&] { return embed->Instance()->Session().ShowLogo(); }, 300));
    EXPECT_TRUE(embed->Instance()->Session().RendererStopped());
    EXPECT_EQ(embed->Instance()->Session().Group(), nullptr);
    EXPECT_EQ(Groups().Live(), 0);
}

// --- a renderer that dies under a running page ------------------------------------------

class Recovery : public Session {
protected:
    // The browser's requests for the applet file so far.
    std::vector<BrowserCall> AppletRequests()
    {
        std::vector<BrowserCall> found;
        for (const BrowserCall& call : page->Browser().Calls()) {
            if (call.function == "geturlnotify" && call.url.find(kAppletName) != std::string::npos) {
                found.push_back(call);
            }
        }
        return found;
    }
    // Ends the launcher's renderer from outside and waits for the tick that notices.
    bool Kill(TestPage::Embed* launcher)
    {
        RendererChannel* channel = ChannelOf(launcher->Instance());
        if (!channel || !TerminateProcess(channel->Process(), 7)) return false;
        WaitForSingleObject(channel->Process(), 5000);
        return PumpUntil([&] { return launcher->Instance()->Session().RendererStopped(); }, 1000);
    }
    static void Click(TestPage::Embed* embed) { SendMessageA(embed->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5)); }
};

TEST_F(Recovery, AClickOnTheLogoStartsTheWholeGroupAgainThreeTimesAMinute)
{
    key.SetString("RendererPath", RendererExePath());
    TestPage::Embed* launcher = Watched({{"WindowName", "main"}, {"GroupName", "g"}});
    TestPage::Embed* joiner = page->Add({{"WindowName", "side"}, {"GroupName", "g"}});
    ASSERT_TRUE(launcher && joiner);
    page->Attach(launcher);
    page->Attach(joiner);
    PluginInstance* instance = launcher->Instance();
    RendererChannel* first = ChannelOf(instance);
    ASSERT_NE(first, nullptr);
    const std::string firstName = first->NamePart();
    ASSERT_TRUE(PumpUntil([&] { return Drawn(launcher); }, 15000)) << "the renderer never drew";
    // The first renderer got the applet the browser had already streamed.
    EXPECT_TRUE(AppletRequests().empty());

    // A click on a running applet is the browser's.
    Click(launcher);
    EXPECT_EQ(ChildProcesses(), 1);

    ASSERT_TRUE(Kill(launcher));
    EXPECT_TRUE(instance->Session().ShowLogo());
    // The group is gone at once, the joiner out of it and showing the logo too.
    EXPECT_EQ(joiner->Instance()->Session().Group(), nullptr);
    EXPECT_TRUE(joiner->Instance()->Session().ShowLogo());
    EXPECT_FALSE(joiner->Instance()->Session().RendererStopped());
    EXPECT_EQ(Groups().Live(), 0);
    PumpFor(150);
    // The launcher's logo carries the note: it differs from the plain logo in that line only.
    const int differences = DifferencesFromLogo(instance, launcher->Hwnd());
    EXPECT_GT(differences, 10);
    EXPECT_LT(differences, kWidth * 20);

    Click(launcher);
    EXPECT_FALSE(instance->Session().RendererStopped());
    EXPECT_FALSE(instance->Session().ShowLogo());
    RendererChannel* second = ChannelOf(instance);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->NamePart(), firstName);
    EXPECT_EQ(ChildProcesses(), 1);
    // The new renderer asks for the applet again, and this time the browser is asked.
    ASSERT_TRUE(PumpUntil([&] { return !AppletRequests().empty(); }, 10000));
    page->AnswerRequest(launcher, AppletRequests().front(), applet.Path());
    EXPECT_TRUE(PumpUntil([&] { return Drawn(launcher); }, 15000)) << "the new renderer never drew";
    ASSERT_TRUE(PumpUntil([&] { return joiner->Instance()->Session().Group() == instance->Session().Group(); }, 2000));
    EXPECT_FALSE(joiner->Instance()->Session().ShowLogo());
    BlockReader reader(second);
    ASSERT_TRUE(reader.Attached());
    EXPECT_EQ(reader.WindowOf("side"), static_cast<long>(reinterpret_cast<uintptr_t>(joiner->Hwnd())));

    // Two more starts within the minute, then clicks do nothing.
    for (int restart = 2; restart <= 3; ++restart) {
        ASSERT_TRUE(Kill(launcher)) << restart;
        Click(launcher);
        ASSERT_NE(ChannelOf(instance), nullptr) << restart;
    }
    ASSERT_TRUE(Kill(launcher));
    Click(launcher);
    EXPECT_TRUE(instance->Session().RendererStopped());
    EXPECT_EQ(ChildProcesses(), 0);
    EXPECT_EQ(Groups().Live(), 0);
}

// A renderer that cannot be started again gets the launch failure's box and the plain
// logo, which no click starts again.
TEST_F(Recovery, ARestartThatCannotLaunchShowsTheBoxAndThePlainLogo)
{
    key.SetString("RendererPath", RendererExePath());
    TestPage::Embed* launcher = Watched({{"WindowName", "main"}});
    ASSERT_NE(launcher, nullptr);
    page->Attach(launcher);
    PluginInstance* instance = launcher->Instance();
    ASSERT_NE(ChannelOf(instance), nullptr);
    ASSERT_TRUE(Kill(launcher));

    key.SetString("RendererPath", "Z:\\no\\such\\folder\\orbrenderer.exe");
    BoxWatcher watcher;
    Click(launcher);
    PumpFor(200);
    Click(launcher);
    PumpFor(200);
    watcher.Stop();
    EXPECT_EQ(watcher.Boxes(), 1);
    EXPECT_EQ(watcher.FirstText(), kLaunchFailureText);
    EXPECT_FALSE(instance->Session().RendererStopped());
    EXPECT_TRUE(instance->Session().ShowLogo());
    EXPECT_EQ(instance->Session().Group(), nullptr);
    EXPECT_EQ(DifferencesFromLogo(instance, launcher->Hwnd()), 0);
}

// The browser shows a dialog inside the status line (its own message loop, in which our
// timers go on firing) and the renderer dies meanwhile: the tick that asked stays safe, and
// the logo takes over.
TEST_F(Session, ARendererThatDiesInsideABrowserDialogGivesTheLogo)
{
    TestPage::Embed* embed = nullptr;
    RendererChannel* channel = DrawingRenderer(embed);
    ASSERT_NE(channel, nullptr);

    HANDLE renderer = channel->Process();
    long channelsInDialog = -1;
    page->Browser().inside = [&](NPP, const BrowserCall& call) {
        if (call.function != "status") return;
        page->Browser().inside = nullptr;
        TerminateProcess(renderer, 7);
        PumpFor(1500);
        channelsInDialog = RendererChannel::Live();
    };
    ASSERT_TRUE(PumpUntil([&] { return channelsInDialog >= 0; }, 5000));
    EXPECT_EQ(channelsInDialog, 1) << "the session gave up its channel under the call that used it";
    EXPECT_EQ(RendererChannel::Live(), 0);
    EXPECT_TRUE(embed->Instance()->Session().ShowLogo());
    EXPECT_TRUE(embed->Instance()->Session().RendererStopped());
    EXPECT_EQ(embed->Instance()->Session().Group(), nullptr);
}

TEST_F(Session, AHungRendererIsEndedAfterTheBoundAndTheCloseReturns)
{
    TestPage::Embed* embed = nullptr;
    const KernelHandle process = LaunchHungRenderer(&embed);
    ASSERT_TRUE(process.Valid());
    const DWORD start = GetTickCount();
    page->Close(embed);
    const DWORD waited = GetTickCount() - start;
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
    // Ended by the plug-in (exit code 1), not by itself (0).
    EXPECT_EQ(ExitCodeOf(process.Get()), 1u);
    EXPECT_GE(waited, 9900u) << "the renderer was not given its time";
}

// A browser that is quitting does not wait for its renderers.
TEST_F(Session, AQuitMessageEndsTheWaitAtOnceAndStaysQueued)
{
    TestPage::Embed* embed = nullptr;
    const KernelHandle process = LaunchHungRenderer(&embed);
    ASSERT_TRUE(process.Valid());
    PostQuitMessage(3);
    page->Close(embed);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_TIMEOUT) << "the close waited for the renderer";
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 5000);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
}

// One name more than the block has window records: the launcher gives its renderer up right
// after starting it, and shows the logo with nothing drawing over it.
TEST_F(Session, OtherWindowsBeyondTheRecordsGiveTheLogo)
{
    key.SetString("RendererPath", RendererExePath());
    std::string names;
    for (int i = 0; i <= kWindowRecords; ++i) names += "'n" + std::to_string(i) + "' ";
    TestPage::Embed* embed = Watched({{"WindowName", "main"}, {"OtherWindows", names.c_str()}});
    ASSERT_NE(embed, nullptr);
    page->Attach(embed);
    EXPECT_TRUE(embed->Instance()->Session().ShowLogo());
    EXPECT_EQ(embed->Instance()->Session().Group(), nullptr);
    EXPECT_TRUE(PumpUntil([] { return ChildProcesses() == 0; }, 5000)) << "the renderer runs on";
    PumpFor(600);
    EXPECT_EQ(DifferencesFromLogo(embed->Instance(), embed->Hwnd()), 0);
}

// --- waiting for a window ----------------------------------------------------------------

TEST_F(Session, AnEmptyWindowIsRetriedEveryTickAndForeignTimersReachTheBrowser)
{
    TestPage::Embed* embed = Launcher({{"WindowName", ""}, {"CommandLine", "-x"}}, 0, 0);
    ASSERT_NE(embed, nullptr);
    page->Attach(embed);
    PluginInstance* instance = embed->Instance();
    BrowserWindow& window = *embed->window;
    // Every launch-timer tick also goes to the browser's own procedure: quickly at first,
    // slowly once the launch has waited a while.
    PumpFor(500);
    EXPECT_FALSE(instance->Session().LaunchDone());
    EXPECT_GE(window.Received(WM_TIMER), 15);
    EXPECT_LE(window.Received(WM_TIMER), 55);
    PumpFor(700);
    const int slowStart = window.Received(WM_TIMER);
    PumpFor(650);
    EXPECT_FALSE(instance->Session().LaunchDone());
    EXPECT_EQ(instance->Settings().CommandLine(), "-x");
    EXPECT_GE(window.Received(WM_TIMER) - slowStart, 4);
    EXPECT_LE(window.Received(WM_TIMER) - slowStart, 8);

    int timers = window.Received(WM_TIMER);
    SendMessageA(embed->Hwnd(), WM_TIMER, 3, 0);
    EXPECT_EQ(window.Received(WM_TIMER), ++timers);
    SendMessageA(embed->Hwnd(), WM_TIMER, 77, 0);
    EXPECT_EQ(window.Received(WM_TIMER), ++timers);
    SendMessageA(embed->Hwnd(), WM_TIMER, 1, 0);
    EXPECT_EQ(window.Received(WM_TIMER), timers) << "the service timer is the plug-in's own";
    EXPECT_EQ(instance->Settings().CommandLine(), "-x");

    SetWindowPos(embed->Hwnd(), nullptr, 0, 0, 90, 70, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(PumpUntil([&] { return instance->Session().LaunchDone(); }, 1000));
    EXPECT_EQ(instance->Session().RendererArgs(), "-x -width 90 -height 70");
    // Without a window name the instance gets no renderer and no logo; its timer stops.
    EXPECT_EQ(instance->Session().Group(), nullptr);
    EXPECT_FALSE(instance->Session().ShowLogo());
    timers = window.Received(WM_TIMER);
    PumpFor(300);
    EXPECT_EQ(window.Received(WM_TIMER), timers);
    EXPECT_EQ(instance->Session().RendererArgs(), "-x -width 90 -height 70");
}

}  // namespace
