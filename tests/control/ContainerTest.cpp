// The control end to end in Internet Explorer's call order: orbcontainer creates the
// registered class for each element of a page, the control starts the renderers, and the
// page draws, relays status and navigation, and closes with nothing left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Capture.h"
#include "HostProcess.h"
#include "RendererScript.h"
#include "SampleServer.h"
#include "TestFiles.h"
#include "base/UniqueHandle.h"
#include "logo/LogoPainter.h"

namespace {

constexpr DWORD kRunMs = 60000;

const std::string kSamples = ORB_SOURCE_DIR "/samples/applets/";
const std::string kStreamPages = ORB_SOURCE_DIR "/tests/streams/pages/";

// The container with the renderer a test names, its log read back by name.
class ContainerRun : public HostProcess {
public:
    ContainerRun(const std::string& name, std::vector<std::string> arguments,
                 const std::string& renderer = RendererExePath())
        : HostProcess("container-" + name, arguments, renderer, ORBCONTAINER_EXE)
    {
    }

    // Closes the page as a user would, once `done` says so or the time is up; the exit code.
    DWORD CloseWhen(const std::function<bool()>& done)
    {
        const DWORD start = GetTickCount();
        while (!done() && GetTickCount() - start < kRunMs) Sleep(250);
        CloseWindow();
        return Finish(kRunMs);
    }

    // The windows the controls made, by instance, as the log names them.
    std::vector<HWND> ControlWindows() const
    {
        std::vector<HWND> windows;
        for (const std::string& line : LinesStarting(Lines(), "* control inst=")) {
            windows.push_back(reinterpret_cast<HWND>(std::stoul(Field(line, "window"), nullptr, 16)));
        }
        return windows;
    }

    std::vector<std::string> StatusTexts() const
    {
        std::vector<std::string> texts;
        for (const std::string& line : LinesStarting(Lines(), "< IOleInPlaceFrame::SetStatusText ")) {
            texts.push_back(Field(line, "text"));
        }
        return texts;
    }
};

// The scene has loaded every file: the control's last status says how many objects it shows.
bool Settled(const std::vector<std::string>& texts)
{
    return !texts.empty() && texts.back().find(" object") != std::string::npos &&
           texts.back().find("loading") == std::string::npos;
}

std::vector<DWORD> Shown(HWND window, SIZE& size)
{
    RECT client = {};
    GetClientRect(window, &client);
    size = {client.right, client.bottom};
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const WindowDc screen(GetDC(nullptr));
    return Capture(screen.Get(), origin.x, origin.y, size.cx, size.cy);
}

// The share of the window's pixels that the logo of the same size has too.
double LogoShare(HWND window)
{
    SIZE size = {};
    const std::vector<DWORD> shown = Shown(window, size);
    if (shown.empty()) return 0;
    LogoPainter painter(GetModuleHandleA(nullptr));
    const WindowDc screen(GetDC(nullptr));
    const std::vector<DWORD> logo = Capture(screen.Get(), 0, 0, size.cx, size.cy,
                                            [&](HDC memory) { painter.Paint(memory, RECT{0, 0, size.cx, size.cy}); });
    size_t same = 0;
    for (size_t i = 0; i < shown.size(); ++i) same += shown[i] == logo[i];
    return static_cast<double>(same) / shown.size();
}

// Index of the first line at or after `from` that starts with `prefix` and names `instance`.
int IndexFor(const std::vector<std::string>& log, const std::string& prefix, int instance, int from = 0)
{
    for (int i = IndexOf(log, prefix, from); i >= 0; i = IndexOf(log, prefix, i + 1)) {
        if (Field(log[i], "inst") == std::to_string(instance)) return i;
    }
    return -1;
}

// After the last control: no renderer left, and the library ready to go.
void ExpectNothingLeft(const ContainerRun& container)
{
    const std::vector<std::string> log = container.Lines();
    const std::vector<std::string> unload = LinesStarting(log, "* DllCanUnloadNow ");
    ASSERT_EQ(unload.size(), 1u);
    EXPECT_NE(unload[0].find("-> 0x00000000"), std::string::npos) << unload[0];
    EXPECT_GE(IndexOf(log, "* children running=0"), 0);
    EXPECT_EQ(container.RunningChildren(), 0);
}

struct Way {
    const char* name;
    std::vector<std::string> arguments;
};

class IeCallOrder : public ::testing::TestWithParam<Way> {};

// The demo page: three embeds in two groups. Whatever the way of hosting, each draws, the
// two of one group share one renderer, and the calls come in the order the way names.
TEST_P(IeCallOrder, SamplePageDrawsAndClosesWithNothingLeft)
{
    const Way way = GetParam();
    std::vector<std::string> arguments = {"--page", kSamples + "demo.html"};
    arguments.insert(arguments.end(), way.arguments.begin(), way.arguments.end());
    ContainerRun container(std::string("demo-") + way.name, arguments);
    ASSERT_TRUE(container.Started());
    size_t drawn = 0;
    int renderers = -1;
    const DWORD code = container.CloseWhen([&] {
        if (!Settled(container.StatusTexts())) return false;
        const std::vector<HWND> windows = container.ControlWindows();
        drawn = 0;
        for (HWND window : windows) drawn += Colours(window) > kDrawn;
        renderers = container.RunningChildren();
        return drawn == 3;
    });
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(drawn, 3u);
    EXPECT_EQ(renderers, 2);  // "orbit" twice, "cubes" once
    ExpectNothingLeft(container);

    const std::vector<std::string> log = container.Lines();
    const auto has = [&way](const char* argument) {
        for (const std::string& given : way.arguments) {
            if (given == argument) return true;
        }
        return false;
    };
    for (int instance = 1; instance <= 3; ++instance) {
        SCOPED_TRACE(instance);
        const int created = IndexFor(log, "> CoCreateInstance ", instance);
        const int load = IndexFor(log, "> IPersistPropertyBag::Load ", instance);
        const int site = IndexFor(
            log, has("--no-quick-activate") ? "> IOleObject::SetClientSite " : "> IQuickActivate::QuickActivate ",
            instance);
        const int active = IndexFor(log, "< IOleInPlaceSite", instance, IndexFor(log, "> IOleObject::GetExtent ", instance));
        const int verb = IndexFor(log, "> IOleObject::DoVerb ", instance);
        const int rects = IndexFor(log, "> IOleInPlaceObject::SetObjectRects ", instance);
        const int close = IndexFor(log, "> IOleObject::Close ", instance);
        ASSERT_GE(created, 0);
        ASSERT_GE(load, 0);
        ASSERT_GE(site, 0);
        EXPECT_LT(created, site);
        if (has("after-load")) {
            EXPECT_GT(site, load);
        }
        if (has("first")) {
            EXPECT_LT(site, load);
        }
        EXPECT_GT(active, load);  // activation asks the site from inside DoVerb
        EXPECT_LT(active, verb);
        EXPECT_GT(rects, verb);
        ASSERT_GT(close, rects);
        EXPECT_EQ(IndexFor(log, "> IOleInPlaceObject::InPlaceDeactivate ", instance) >= 0, !has("close-only"));
        // Either way the control leaves its place before Close returns.
        EXPECT_GE(IndexFor(log, "< IOleInPlaceSite::OnInPlaceDeactivate", instance, rects), 0);
        EXPECT_LT(IndexFor(log, "< IOleInPlaceSite::OnInPlaceDeactivate", instance, rects), close);
        EXPECT_GE(IndexFor(log, "> IOleObject::SetClientSite ", instance, close), 0);
        EXPECT_GE(IndexFor(log, "> Release inst=", instance, close), 0);
    }
    // A bag that lists its names is asked for them.
    EXPECT_EQ(LinesStarting(log, "< IPropertyBag2::CountProperties inst=1 ").empty(), !has("--listing-bag"));
    // The page's address came from the moniker.
    EXPECT_FALSE(LinesStarting(log, "< IOleClientSite::GetMoniker inst=1 ").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, IeCallOrder,
    ::testing::Values(Way{"quick", {}},
                      Way{"sitefirst", {"--no-quick-activate", "--site", "first"}},
                      Way{"siteafterload_closeonly", {"--no-quick-activate", "--site", "after-load", "--close", "close-only"}},
                      Way{"listingbag_closeonly", {"--listing-bag", "--close", "close-only"}}),
    [](const ::testing::TestParamInfo<Way>& info) { return std::string(info.param.name); });

// The scripted renderer's page; the script's report is read back by name.
class ScriptedContainer {
public:
    ScriptedContainer(const std::string& name, const std::string& script, std::vector<std::string> arguments)
        : script_(LogFolder("control"), name, script),
          container_(name, Arguments(arguments), SCRIPTED_RENDERER)
    {
    }

    ContainerRun& Container() { return container_; }
    const RendererScript& Script() const { return script_; }
    DWORD RunUntilReported(const std::string& line)
    {
        return container_.CloseWhen([this, line] { return script_.Reported(line); });
    }

    // The report's outcome line for a name ("delivered ..." or "failed ..."); empty if none.
    std::string Outcome(const std::string& name) const
    {
        for (const std::string& line : script_.Report()) {
            const bool outcome = line.rfind("delivered ", 0) == 0 || line.rfind("failed ", 0) == 0;
            if (outcome && Field(line, "name") == name) return line;
        }
        return "";
    }

private:
    RendererScript script_;
    ContainerRun container_;

    static std::vector<std::string> Arguments(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--page", kStreamPages + "resources.html"});
        return arguments;
    }
};

// Where the bag lists its names, a Res:<name> mapping is read; otherwise only the names the
// control knows and Res1, Res2... are, and the renderer's "sky" is not mapped.
TEST(ControlParameters, EveryNameIsReadOnlyWhereTheBagListsThem)
{
    const char script[] = "ask $applet\nask sky\nask ground\nwait\n";
    for (const bool listing : {true, false}) {
        SCOPED_TRACE(listing);
        std::vector<std::string> arguments;
        if (listing) arguments.push_back("--listing-bag");
        ScriptedContainer page(listing ? "params-listed" : "params-unlisted", script, arguments);
        ASSERT_TRUE(page.Container().Started());
        EXPECT_EQ(page.RunUntilReported("done"), 0u);
        EXPECT_EQ(Field(page.Outcome("applets/scripted.obvm"), "text"), "scripted applet\n");
        EXPECT_EQ(Field(page.Outcome("ground"), "text"), "grass\n") << page.Outcome("ground");
        const std::string sky = Field(page.Outcome("sky"), "text");
        EXPECT_EQ(sky == "night sky\n", listing) << sky;
        const std::vector<std::string> log = page.Container().Lines();
        EXPECT_EQ(LinesStarting(log, "< IPropertyBag2::Read inst=1 name=\"Res:sky\" ").size(), listing ? 1u : 0u);
        ExpectNothingLeft(page.Container());
    }
}

struct Navigation {
    const char* name;
    const char* service;  // the log line the navigation shows as
};

class ControlNavigation : public ::testing::TestWithParam<Navigation> {};

// The renderer's link reaches the browser object, or the hyperlink frame where that is the
// only service.
TEST_P(ControlNavigation, ReachTheContainer)
{
    const Navigation way = GetParam();
    ScriptedContainer page(std::string("navigate-") + way.name,
                           "ask $applet\nwait\nnavigate _blank:http://example.invalid/next.html\npause 1500\n",
                           {"--navigation", way.name});
    ASSERT_TRUE(page.Container().Started());
    EXPECT_EQ(page.RunUntilReported("done"), 0u);
    const std::vector<std::string> log = page.Container().Lines();
    const std::vector<std::string> navigations = LinesStarting(log, way.service);
    ASSERT_EQ(navigations.size(), 1u);
    EXPECT_EQ(Field(navigations[0], "url"), "http://example.invalid/next.html");
    EXPECT_EQ(Field(navigations[0], "target"), "_blank");
    ExpectNothingLeft(page.Container());
}

INSTANTIATE_TEST_SUITE_P(Services, ControlNavigation,
                         ::testing::Values(Navigation{"browser", "< IWebBrowser2::Navigate2 "},
                                           Navigation{"hlink", "< IHlinkFrame::Navigate "}),
                         [](const ::testing::TestParamInfo<Navigation>& info) { return std::string(info.param.name); });

// A renderer slow to leave: the page closes while it shuts down, the control waits for it
// within its bound, and nothing of it outlives the page.
TEST(ControlShutdown, PageClosedWhileTheRendererShutsDownLeavesNothing)
{
    ScriptedContainer page("slow-renderer", "ask $applet\nwait\nlinger 3000\n", {"--close", "close-only"});
    ASSERT_TRUE(page.Container().Started());
    const DWORD start = GetTickCount();
    EXPECT_EQ(page.RunUntilReported("done"), 0u);
    EXPECT_LT(GetTickCount() - start, kRunMs);
    EXPECT_TRUE(page.Script().Reported("quit"));
    ExpectNothingLeft(page.Container());
}

// The control's status reaches the frame, each text once in a row. A renderer that dies while
// its page is open leaves the logo in the control's window; the page goes on and closes as ever.
TEST(ControlRecovery, RendererCrashShowsTheLogo)
{
    ContainerRun container("crash", {"--page", kStreamPages + "cubes.html", "--page-url", "file:///" + kSamples + "cubes.html"});
    ASSERT_TRUE(container.Started());
    double before = 1, after = 0;
    const DWORD code = container.CloseWhen([&] {
        if (!Settled(container.StatusTexts()) || container.ControlWindows().empty()) return false;
        const HWND window = container.ControlWindows()[0];
        if (Colours(window) <= kDrawn) return false;
        before = LogoShare(window);
        if (container.EndChildren() < 1) return false;
        for (int tries = 0; tries < 40 && after < 0.8; ++tries, Sleep(250)) after = LogoShare(window);
        return true;
    });
    EXPECT_EQ(code, 0u);
    EXPECT_LT(before, 0.5);  // the scene, not the logo
    EXPECT_GE(after, 0.8);   // the logo, but for the line that says what happened
    const std::vector<std::string> texts = container.StatusTexts();
    for (size_t i = 1; i < texts.size(); ++i) EXPECT_NE(texts[i], texts[i - 1]) << i;
    ExpectNothingLeft(container);
}

// The page area resized: the container moves the control with SetObjectRects, and the
// control's window follows.
TEST(ControlPage, SetObjectRectsSizesTheControlsWindow)
{
    ContainerRun container("fit", {"--page", kStreamPages + "cubes.html", "--page-url", "file:///" + kSamples + "cubes.html",
                                   "--fit", "--window", "400x300"});
    ASSERT_TRUE(container.Started());
    SIZE before = {}, after = {};
    const DWORD code = container.CloseWhen([&] {
        const std::vector<HWND> windows = container.ControlWindows();
        const std::vector<std::string> frames = LinesStarting(container.Lines(), "* window frame=");
        if (windows.empty() || frames.empty()) return false;
        Shown(windows[0], before);
        const HWND frame = reinterpret_cast<HWND>(std::stoul(Field(frames[0], "frame"), nullptr, 16));
        SetWindowPos(frame, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client = {};
        GetClientRect(frame, &client);
        for (int tries = 0; tries < 40; ++tries, Sleep(100)) {
            Shown(windows[0], after);
            if (after.cx == client.right && after.cy == client.bottom) break;
        }
        return true;
    });
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(before.cx, 400);
    EXPECT_EQ(before.cy, 300);
    EXPECT_GT(after.cx, before.cx);
    EXPECT_GT(after.cy, before.cy);
    EXPECT_GE(LinesStarting(container.Lines(), "> IOleInPlaceObject::SetObjectRects inst=1 ").size(), 2u);
    ExpectNothingLeft(container);
}

// A container that offers no parameters initialises the control anew; it opens and closes.
TEST(ControlPage, InitNewWithoutParametersOpensAndCloses)
{
    ContainerRun container("init-new", {"--page", kSamples + "demo.html", "--init-new", "--seconds", "3"});
    ASSERT_TRUE(container.Started());
    EXPECT_EQ(container.Finish(kRunMs), 0u);
    const std::vector<std::string> log = container.Lines();
    EXPECT_EQ(LinesStarting(log, "> IPersistStreamInit::InitNew ").size(), 3u);
    EXPECT_EQ(LinesStarting(log, "< IPropertyBag").size(), 0u);
    EXPECT_NE(LinesStarting(log, "* control inst=3 window=").at(0).find(" open"), std::string::npos);
    ExpectNothingLeft(container);
}

// A container that knows no page address and resolves nothing (as Wine's ATL): an absolute
// src is its own base, and the applet draws.
TEST(ControlPage, WithoutAPageAddressAnAbsoluteSrcPlays)
{
    SampleServer server;
    ASSERT_TRUE(server.Listening());
    const std::string page = LogFolder("control") + "absolute-src.html";
    {
        std::ofstream html(page, std::ios::binary);
        html << "<embed type=\"application/x-Orbolanth-3D-Applet\" src=\"" << server.AppletUrl()
             << "\" width=240 height=180 WindowName=cubes>";
    }
    ContainerRun container("absolute-src", {"--page", page, "--no-moniker", "--no-bind-host", "--navigation", "none"});
    ASSERT_TRUE(container.Started());
    size_t colours = 0;
    const DWORD code = container.CloseWhen([&] {
        const std::vector<HWND> windows = container.ControlWindows();
        colours = windows.empty() ? 0 : Colours(windows[0]);
        return colours > kDrawn;
    });
    EXPECT_EQ(code, 0u);
    EXPECT_GT(colours, kDrawn);
    const std::vector<std::string> log = container.Lines();
    EXPECT_EQ(LinesStarting(log, "< IBindHost::").size(), 0u);
    EXPECT_NE(LinesStarting(log, "< IOleClientSite::GetMoniker inst=1 ").at(0).find("-> 0x80004001"), std::string::npos);
    ExpectNothingLeft(container);
}

}  // namespace
