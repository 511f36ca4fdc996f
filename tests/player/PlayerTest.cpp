// The player as a person uses it: an applet from the command line drawn and redrawn at the
// window's size, the demo page, a saved site played with no network, parameters given on the
// command line, and what goes wrong shown without the player going away.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "Capture.h"
#include "ChildProcesses.h"
#include "HostProcess.h"
#include "PlayerResources.h"
#include "ProgramCopy.h"
#include "base/UniqueHandle.h"

namespace {

constexpr DWORD kRunMs = 30000;
const std::string kApplets = ORB_SOURCE_DIR "/samples/applets/";

class PlayerProcess {
public:
    explicit PlayerProcess(const std::vector<std::string>& arguments, const std::string& program = PLAYER_EXE)
    {
        installation_.SetString("RendererPath", RendererExePath());
        std::string command = ProgramCommandLine(program, arguments);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            KernelHandle thread(info.hThread);
            process_.Reset(info.hProcess);
        }
    }
    ~PlayerProcess()
    {
        if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
            EndChildProcesses(process_.Get(), 99);
            TerminateProcess(process_.Get(), 99);
            WaitForSingleObject(process_.Get(), 5000);
        }
    }
    PlayerProcess(const PlayerProcess&) = delete;
    PlayerProcess& operator=(const PlayerProcess&) = delete;

    HANDLE Process() const { return process_.Get(); }

    // The player's frame once it is shown.
    HWND Frame(DWORD timeoutMs = kRunMs)
    {
        const DWORD start = GetTickCount();
        while (!frame_ && GetTickCount() - start < timeoutMs && process_) {
            EnumWindows(&FindFrame, reinterpret_cast<LPARAM>(this));
            if (!frame_) Sleep(50);
        }
        return frame_;
    }

    std::string Status()
    {
        HWND bar = FindWindowExA(Frame(), nullptr, "msctls_statusbar32", nullptr);
        char text[512] = "";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                            &ignored);
        return text;
    }

    bool WaitForStatus(const std::string& text, DWORD timeoutMs = kRunMs)
    {
        const DWORD start = GetTickCount();
        do {
            if (Status().find(text) != std::string::npos) return true;
            Sleep(50);
        } while (GetTickCount() - start < timeoutMs);
        return false;
    }

    std::vector<HWND> Areas()
    {
        std::vector<HWND> areas;
        for (HWND area = FindWindowExA(Frame(), nullptr, "OrbhostPluginArea", nullptr); area;
             area = FindWindowExA(Frame(), area, "OrbhostPluginArea", nullptr)) {
            areas.push_back(area);
        }
        return areas;
    }

    bool Answers()
    {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutA(Frame(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
    }

    // Closes the window as a user would; the exit code, or STILL_ACTIVE.
    DWORD Close()
    {
        PostMessageA(Frame(), WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.Get(), kRunMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.Get(), &code);
        return code;
    }

private:
    ConfigurationKey installation_{KEY_WOW64_32KEY};
    KernelHandle process_;
    HWND frame_ = nullptr;

    static BOOL CALLBACK FindFrame(HWND window, LPARAM self)
    {
        auto* player = reinterpret_cast<PlayerProcess*>(self);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (owner != GetProcessId(player->process_.Get()) || std::string(name) != "OrbolanthPlayerFrame" ||
            !IsWindowVisible(window)) {
            return TRUE;
        }
        player->frame_ = window;
        return FALSE;
    }
};

// How many colours the part [left, right) x [top, bottom) of a window shows on screen: an
// empty area or a logo shows a handful, a drawn scene (gradients, lit faces) hundreds.
size_t Colours(HWND window, int left, int top, int right, int bottom)
{
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const WindowDc screen(GetDC(nullptr));
    const std::vector<DWORD> pixels = Capture(screen.Get(), origin.x + left, origin.y + top, right - left, bottom - top);
    return std::set<DWORD>(pixels.begin(), pixels.end()).size();
}

constexpr size_t kDrawn = 40;

SIZE ClientSize(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    return {rect.right, rect.bottom};
}

TEST(Player, DrawsAnAppletFromTheCommandLineAndRedrawsItAtTheWindowsSize)
{
    PlayerProcess player({kApplets + "orbit.obvm", "--size", "320x240"});
    ASSERT_NE(player.Frame(), nullptr);
    ASSERT_TRUE(player.WaitForStatus("Orbolanth: orbit.obvm - 43 objects")) << player.Status();
    char title[128] = "";
    GetWindowTextA(player.Frame(), title, sizeof title);
    EXPECT_STREQ(title, "orbit.obvm - Orbolanth Player");
    ASSERT_EQ(player.Areas().size(), 1u);
    HWND area = player.Areas()[0];
    const SIZE before = ClientSize(area);
    EXPECT_GE(before.cx, 320);
    Sleep(500);
    EXPECT_GT(Colours(area, 0, 0, before.cx, before.cy), kDrawn);

    // Fit to window is the default: a larger window makes a larger embed, drawn all over.
    RECT frame = {};
    GetWindowRect(player.Frame(), &frame);
    SetWindowPos(player.Frame(), nullptr, 0, 0, frame.right - frame.left + 240, frame.bottom - frame.top + 160,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const DWORD start = GetTickCount();
    SIZE after = ClientSize(area);
    while ((after.cx < before.cx + 240 || after.cy < before.cy + 160) && GetTickCount() - start < 5000) {
        Sleep(50);
        after = ClientSize(area);
    }
    EXPECT_EQ(after.cx, before.cx + 240);
    EXPECT_EQ(after.cy, before.cy + 160);
    Sleep(1000);  // the renderer's next frames at the new size
    EXPECT_GT(Colours(area, before.cx, before.cy, after.cx, after.cy), kDrawn);

    // Actual size: the applet's own size again, whatever the window's.
    SendMessageA(player.Frame(), WM_COMMAND, kActualSize, 0);
    EXPECT_EQ(ClientSize(area).cx, 320);
    EXPECT_EQ(ClientSize(area).cy, 240);
    EXPECT_EQ(player.Close(), 0u);
}

TEST(Player, ShowsTheDemoPageWithTwoRenderersForThreeEmbeds)
{
    PlayerProcess player({kApplets + "demo.html"});
    ASSERT_TRUE(player.WaitForStatus("Orbolanth: cubes.obvm - ")) << player.Status();
    Sleep(1000);
    const std::vector<HWND> areas = player.Areas();
    ASSERT_EQ(areas.size(), 3u);
    for (HWND area : areas) {
        const SIZE size = ClientSize(area);
        EXPECT_GT(Colours(area, 0, 0, size.cx, size.cy), kDrawn);
    }
    EXPECT_EQ(CountRunningChildProcesses(player.Process()), 2);
    EXPECT_EQ(player.Close(), 0u);
}

TEST(Player, PlaysASavedSiteFromItsFolderWithoutTheNetwork)
{
    // The host name does not resolve: whatever is not answered from the folder is missing.
    PlayerProcess player({"http://saved.invalid/applets/orbit.obvm", "--site",
                          "http://saved.invalid/applets/=" + kApplets});
    ASSERT_TRUE(player.WaitForStatus("Orbolanth: orbit.obvm - 43 objects")) << player.Status();
    EXPECT_EQ(player.Close(), 0u);
}

TEST(Player, HandsCommandLineParametersToTheApplet)
{
    PlayerProcess player({kApplets + "gyro.obvm", "--param", "src=cubes.obvm"});
    EXPECT_TRUE(player.WaitForStatus("Orbolanth: cubes.obvm - ")) << player.Status();

    // Reload: a new instance in a new area, with the same parameters, drawn again.
    ASSERT_EQ(player.Areas().size(), 1u);
    const HWND first = player.Areas()[0];
    PostMessageA(player.Frame(), WM_COMMAND, kReload, 0);
    const DWORD start = GetTickCount();
    while (IsWindow(first) && GetTickCount() - start < kRunMs) Sleep(50);
    EXPECT_TRUE(player.WaitForStatus("Orbolanth: cubes.obvm - ")) << player.Status();
    ASSERT_EQ(player.Areas().size(), 1u);
    const SIZE size = ClientSize(player.Areas()[0]);
    Sleep(500);
    EXPECT_GT(Colours(player.Areas()[0], 0, 0, size.cx, size.cy), kDrawn);
    EXPECT_EQ(player.Close(), 0u);
}

TEST(Player, SaysWhenTheFileIsMissingAndStaysUsable)
{
    PlayerProcess player({kApplets + "missing.obvm"});
    EXPECT_TRUE(player.WaitForStatus("there is no such file")) << player.Status();
    EXPECT_TRUE(player.Answers());
    EXPECT_EQ(player.Close(), 0u);
}

TEST(Player, SaysWhenThereIsNoPlugin)
{
    // Alone in a folder of its own, with nothing registered: no plug-in anywhere.
    const ProgramCopy alone(PLAYER_EXE, "orb-player-alone", "OrbolanthPlayer.exe");
    ASSERT_TRUE(alone.Copied());
    PlayerProcess player({kApplets + "orbit.obvm"}, alone.Path());
    EXPECT_TRUE(player.WaitForStatus("No Orbolanth plug-in is installed")) << player.Status();
    EXPECT_TRUE(player.Answers());
    EXPECT_TRUE(player.Areas().empty());
    EXPECT_EQ(player.Close(), 0u);
}

}  // namespace
