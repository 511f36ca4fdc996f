// The real plug-in library in the host, as browsers of three kinds drive it: a page of
// several embeds from load to close, a browser too new for it, and what the user sees; and
// the host's command line as its help and the test-hooks page tell it.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "ContainerOptions.h"
#include "HostOptions.h"
#include "HostProcess.h"
#include "TestFiles.h"

namespace {

constexpr DWORD kRunMs = 30000;
constexpr char kType[] = "application/x-Orbolanth-3D-Applet";
constexpr char kLocation[] = "javascript:window.location.href";

struct BrowserKind {
    const char* name;
    const char* version;
    const char* userAgent;
    bool notifications;
};

class PageInBrowser : public ::testing::TestWithParam<BrowserKind> {};

// The stream announced to `inst` for `url`; empty when there is none.
std::string NewStreamLine(const std::vector<std::string>& lines, int inst, const std::string& url)
{
    for (const std::string& line : LinesStarting(lines, "> NPP_NewStream inst=" + std::to_string(inst) + " ")) {
        if (Field(line, "url") == url) return line;
    }
    return "";
}

TEST_P(PageInBrowser, InstancesGetTheirAttributesLocationAndAppletFile)
{
    const BrowserKind kind = GetParam();
    HostProcess host(std::string("page-") + kind.name,
                     {"--page", TestPagePath("attributes.html"), "--version", kind.version, "--user-agent",
                      kind.userAgent, "--until-idle", "--settle", "300", "--seconds", "20"});
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(host.Finish(kRunMs), 0u);
    const std::vector<std::string> lines = host.Lines();
    const std::string pageUrl = PageUrl("attributes.html");

    int entry = IndexOf(lines, "> NP_GetEntryPoints ");
    int init = IndexOf(lines, "> NP_Initialize ");
    ASSERT_GE(entry, 0);
    ASSERT_GT(init, entry);
    EXPECT_EQ(Field(lines[init], "version"), kind.version);
    EXPECT_EQ(Field(lines[init], "geturlnotify"), kind.notifications ? "yes" : "no");
    EXPECT_NE(lines[init].find("-> 0"), std::string::npos) << lines[init];

    // Three embeds are the plug-in's: by type, by the extension of SRC, by type without src.
    ASSERT_EQ(LinesStarting(lines, "> NPP_New ").size(), 3u);
    EXPECT_EQ(LinesStarting(lines, "* embed index=3 skipped").size(), 1u);
    const std::string first = LinesStarting(lines, "> NPP_New inst=1 ").at(0);
    EXPECT_EQ(Field(first, "type"), kType);
    EXPECT_NE(first.find(" argc=8 args=[type=\"application/x-Orbolanth-3D-Applet\" src=\"sub/../applets/cube.obvm\" "
                         "width=\"200\" height=\"150\" WindowName=\"first view\" GroupName=\"g1\" "
                         "Res:tex=\"data/tex.obv\" NoAds=\"\"] -> 0"),
              std::string::npos)
        << first;
    EXPECT_NE(LinesStarting(lines, "> NPP_New inst=2 ").at(0).find("args=[SRC=\"applets/cube.obvm\" width=\"120\""),
              std::string::npos);

    for (int inst = 1; inst <= 3; ++inst) {
        const std::string tag = "inst=" + std::to_string(inst);
        SCOPED_TRACE(tag);
        EXPECT_NE(LinesStarting(lines, "> NPP_New " + tag).at(0).find("-> 0"), std::string::npos);
        std::vector<std::string> setWindow = LinesStarting(lines, "> NPP_SetWindow " + tag + " ");
        ASSERT_EQ(setWindow.size(), 2u);
        EXPECT_NE(Field(setWindow[0], "window"), "(null)");
        EXPECT_EQ(Field(setWindow[0], "type"), "1");
        EXPECT_EQ(Field(setWindow[1], "window"), "(null)");

        // Only an embed with a src, however spelt, asks for the page's location.
        const std::string request = "< NPN_GetURL " + tag + " url=\"" + kLocation + "\" target=(null) -> 0";
        std::string location = NewStreamLine(lines, inst, kLocation);
        if (inst == 3) {
            EXPECT_EQ(IndexOf(lines, request), -1);
            EXPECT_EQ(location, "");
            EXPECT_EQ(LinesStarting(lines, "> NPP_NewStream " + tag).size(), 0u);
            continue;
        }
        EXPECT_GE(IndexOf(lines, request), 0);
        ASSERT_NE(location, "");
        EXPECT_EQ(Field(location, "type"), "text/plain");
        EXPECT_EQ(Field(location, "stype"), "1");
        const std::string locationId = Field(location, "stream");
        std::vector<std::string> writes = LinesStarting(lines, "> NPP_Write " + tag + " stream=" + locationId + " ");
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(Field(writes[0], "data"), pageUrl);
        EXPECT_EQ(Field(writes[0], "len"), std::to_string(pageUrl.size()));

        // The applet file is switched to file mode by the plug-in and ends normally.
        std::string applet = NewStreamLine(lines, inst, PageUrl("applets/cube.obvm"));
        ASSERT_NE(applet, "");
        EXPECT_EQ(Field(applet, "type"), kType);
        EXPECT_EQ(Field(applet, "notifyData"), "(null)");
        EXPECT_EQ(Field(applet, "stype"), "3");
        const std::string appletStream = tag + " stream=" + Field(applet, "stream");
        int asFile = IndexOf(lines, "> NPP_StreamAsFile " + appletStream + " ");
        int destroyed = IndexOf(lines, "> NPP_DestroyStream " + appletStream + " reason=0 -> 0");
        ASSERT_GE(asFile, 0);
        EXPECT_NE(Field(lines[asFile], "fname"), "(null)");
        EXPECT_GT(destroyed, asFile);
    }
    // Every notification answers a request the plug-in made (the page's resource mapping is
    // fetched in advance), so no request is left travelling as notifyData.
    EXPECT_EQ(LinesStarting(lines, "> NPP_URLNotify").size(), LinesStarting(lines, "< NPN_GetURLNotify").size());

    // Closing: each instance loses its window, the window goes, then the instance; then the module.
    int previous = IndexOf(lines, "* close ");
    ASSERT_GE(previous, 0);
    for (int inst = 1; inst <= 3; ++inst) {
        const std::string tag = "inst=" + std::to_string(inst);
        int nullWindow = IndexOf(lines, "> NPP_SetWindow " + tag + " window=(null)", previous);
        int areaGone = IndexOf(lines, "* area-destroyed " + tag + " ", previous);
        int destroy = IndexOf(lines, "> NPP_Destroy " + tag + " saved=(null) -> 0", previous);
        EXPECT_GT(nullWindow, previous) << tag;
        EXPECT_GT(areaGone, nullWindow) << tag;
        EXPECT_GT(destroy, areaGone) << tag;
        previous = destroy;
    }
    int shutdown = IndexOf(lines, "> NP_Shutdown -> 0");
    EXPECT_GT(shutdown, previous);
    EXPECT_GT(IndexOf(lines, "* FreeLibrary"), shutdown);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, PageInBrowser,
    ::testing::Values(BrowserKind{"netscape4", "0x000B", "Mozilla/4.08 [en] (WinNT; I ;Nav)", true},
                      BrowserKind{"old08", "0x0008", "Mozilla/3.01Gold (Win95; I)", false},
                      BrowserKind{"explorer09", "0x0009",
                                  "Mozilla/2.0 (compatible; MSIE 3.02; Windows 95) Microsoft Internet Explorer",
                                  true}),
    [](const ::testing::TestParamInfo<BrowserKind>& info) { return std::string(info.param.name); });

TEST(TooNewBrowser, InitializeFailsAndNoInstanceIsMade)
{
    HostProcess host("major1", {"--page", TestPagePath("attributes.html"), "--version", "0x0100", "--seconds", "5"});
    ASSERT_TRUE(host.Started());
    EXPECT_EQ(host.Finish(kRunMs), 2u);
    const std::vector<std::string> lines = host.Lines();
    std::vector<std::string> init = LinesStarting(lines, "> NP_Initialize ");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_NE(init[0].find("-> 8"), std::string::npos) << init[0];
    EXPECT_EQ(LinesStarting(lines, "> NPP_").size(), 0u);
    EXPECT_EQ(LinesStarting(lines, "> NP_Shutdown").size(), 0u);
    EXPECT_GT(IndexOf(lines, "* FreeLibrary"), IndexOf(lines, "> NP_Initialize "));
}

// A browser add-on subclasses the plug-in's window after the plug-in did. When the plug-in
// lets go, the add-on stays first in the chain and messages still reach the browser's own
// procedure through it; the window's destruction reaches that procedure too, also when the
// window goes while the plug-in still holds it.
TEST(AddonBrowser, ALaterSubclassSurvivesThePluginAndTheAreaSeesItsDestruction)
{
    for (bool destroyFirst : {false, true}) {
        SCOPED_TRACE(destroyFirst ? "destroyed first" : "detached first");
        std::vector<std::string> arguments = {"--page", TestPagePath("window.html"), "--subclass-areas", "--seconds", "3"};
        if (destroyFirst) arguments.push_back("--destroy-areas-first");
        HostProcess host(destroyFirst ? "addon-destroyed" : "addon-detached", arguments);
        ASSERT_TRUE(host.Started());
        ASSERT_EQ(host.Finish(kRunMs), 0u);
        const std::vector<std::string> lines = host.Lines();

        int subclassed = IndexOf(lines, "* addon inst=1 ");
        ASSERT_GT(subclassed, IndexOf(lines, "> NPP_SetWindow inst=1 "));
        int closing = IndexOf(lines, "* close ");
        int addonSaw = IndexOf(lines, "* addon-destroy inst=1", closing);
        int areaSaw = IndexOf(lines, "* area-destroy-message inst=1", closing);
        int gone = IndexOf(lines, "* area-destroyed inst=1 ", closing);
        int detached = IndexOf(lines, "> NPP_SetWindow inst=1 window=(null)", closing);
        EXPECT_GT(addonSaw, closing);
        EXPECT_GT(areaSaw, addonSaw);
        EXPECT_GT(gone, areaSaw);
        if (destroyFirst) {
            EXPECT_GT(detached, gone);
            EXPECT_EQ(IndexOf(lines, "* addon-chain "), -1);
        } else {
            int chain = IndexOf(lines, "* addon-chain inst=1 ", detached);
            ASSERT_GT(chain, detached);
            EXPECT_EQ(Field(lines[chain], "first"), "1");
            EXPECT_EQ(Field(lines[chain], "answer"), "0");
            EXPECT_GT(addonSaw, chain);
        }
        EXPECT_GT(IndexOf(lines, "> NPP_Destroy inst=1 saved=(null) -> 0", closing), detached);
    }
}

COLORREF ScreenPixel(int x, int y)
{
    const WindowDc screen(GetDC(nullptr));
    return GetPixel(screen.Get(), x, y);
}

TEST(HostWindow, ShowsThePluginAreaPaintedWhiteInAFrameWithAStatusBar)
{
    HostProcess host("window", {"--page", TestPagePath("window.html"), "--seconds", "4"});
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForLine("> NPP_StreamAsFile inst=1 ", kRunMs));
    Sleep(400);  // the stream ends and the last paint lands

    std::string setWindow = LinesStarting(host.Lines(), "> NPP_SetWindow inst=1 ").at(0);
    HWND area = reinterpret_cast<HWND>(std::stoul(Field(setWindow, "window"), nullptr, 16));
    ASSERT_TRUE(IsWindow(area));
    EXPECT_TRUE(IsWindowVisible(area));
    HWND frame = GetParent(area);
    char className[64] = "";
    GetClassNameA(frame, className, sizeof className);
    EXPECT_STREQ(className, "OrbhostFrame");
    EXPECT_NE(FindWindowExA(frame, nullptr, "msctls_statusbar32", nullptr), nullptr);

    RECT rect = {};
    GetWindowRect(area, &rect);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 150);
    // The area's own background is dark grey and the page light grey: white is the plug-in's.
    EXPECT_EQ(ScreenPixel((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2), RGB(255, 255, 255));
    EXPECT_EQ(ScreenPixel(rect.left + 2, rect.bottom - 3), RGB(255, 255, 255));
    EXPECT_NE(ScreenPixel(rect.right + 4, rect.top + 4), RGB(255, 255, 255));

    EXPECT_EQ(host.Finish(kRunMs), 0u);
    EXPECT_FALSE(IsWindow(area));
}

// The switches a program's --help names, and those of its table (the section whose heading
// starts with `heading`) in docs/TEST-HOOKS.md.
std::set<std::string> HelpedSwitches(const std::string& help)
{
    const std::regex switchName("--[a-z][a-z-]*");
    return std::set<std::string>(std::sregex_token_iterator(help.begin(), help.end(), switchName), {});
}

std::set<std::string> DocumentedSwitches(const std::string& heading)
{
    std::set<std::string> documented;
    bool inTable = false;
    const std::regex row("^\\| `(--[a-z][a-z-]*)` \\|");
    for (const std::string& line : ReadLines(ORB_SOURCE_DIR "/docs/TEST-HOOKS.md")) {
        if (line.rfind("## ", 0) == 0) inTable = line.rfind("## " + heading + " ", 0) == 0;
        std::smatch match;
        if (inTable && std::regex_search(line, match, row)) documented.insert(match[1]);
    }
    return documented;
}

// Every switch a test program's --help names has a row in its table of docs/TEST-HOOKS.md
// and every row there is a switch the help names, so neither can leave the other behind;
// and the program takes each of them.
TEST(HostCommandLine, HelpAndTheTestHooksPageNameTheSameSwitches)
{
    const std::string help = HostOutput({"--help"});
    const std::set<std::string> helped = HelpedSwitches(help);
    const std::set<std::string> documented = DocumentedSwitches("orbhost");

    ASSERT_GT(helped.size(), 20u) << help;
    for (const std::string& name : helped) EXPECT_EQ(documented.count(name), 1u) << name << " has no row on the page";
    for (const std::string& name : documented) EXPECT_EQ(helped.count(name), 1u) << name << " is not in --help";
    for (const std::string& name : helped) {
        const char* argv[] = {"orbhost", name.c_str(), "1"};
        HostOptions options;
        std::string error;
        ParseHostOptions(3, argv, options, error);
        EXPECT_EQ(error.find("unknown option"), std::string::npos) << error;
    }
}

TEST(ContainerCommandLine, HelpAndTheTestHooksPageNameTheSameSwitches)
{
    const std::set<std::string> helped = HelpedSwitches(kContainerUsage);
    const std::set<std::string> documented = DocumentedSwitches("orbcontainer");

    ASSERT_GT(helped.size(), 10u);
    EXPECT_EQ(helped, documented);
    for (const std::string& name : helped) {
        const char* argv[] = {"orbcontainer", name.c_str(), "1"};
        ContainerOptions options;
        std::string error;
        ParseContainerOptions(3, argv, options, error);
        EXPECT_NE(error, "unknown option " + name);
    }
    const char* unknown[] = {"orbcontainer", "--page", "p.html", "--no-such-switch"};
    ContainerOptions options;
    std::string error;
    EXPECT_FALSE(ParseContainerOptions(4, unknown, options, error));
    EXPECT_EQ(error, "unknown option --no-such-switch");
}

}  // namespace
