// The player as a person uses it: an applet from the command line drawn and redrawn at the
// window's size, the demo page, a saved site played with no network, parameters given on the
// command line, and what goes wrong shown without the player going away.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ChildProcesses.h"
#include "PlayerProcess.h"
#include "PlayerResources.h"
#include "ProgramCopy.h"

namespace {

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

TEST(Player, PlaysFullScreenUntilEscape)
{
    PlayerProcess player({kApplets + "cubes.obvm", "--fullscreen"});
    ASSERT_TRUE(player.WaitForStatus("Orbolanth: cubes.obvm - ")) << player.Status();
    RECT frame = {};
    GetWindowRect(player.Frame(), &frame);
    EXPECT_EQ(frame.right - frame.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(frame.bottom - frame.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(GetMenu(player.Frame()), nullptr);
    ASSERT_EQ(player.Areas().size(), 1u);
    EXPECT_EQ(ClientSize(player.Areas()[0]).cx, GetSystemMetrics(SM_CXSCREEN));  // fitted to the whole screen
    EXPECT_EQ(ClientSize(player.Areas()[0]).cy, GetSystemMetrics(SM_CYSCREEN));

    SendMessageA(player.Frame(), WM_COMMAND, kLeaveFullscreen, 0);
    GetWindowRect(player.Frame(), &frame);
    EXPECT_LT(frame.right - frame.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_NE(GetMenu(player.Frame()), nullptr);
    EXPECT_LT(ClientSize(player.Areas()[0]).cy, GetSystemMetrics(SM_CYSCREEN));
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

TEST(Player, OpensAFileWhoseNameTheAnsiCodePageCannotSpell)
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"orb-player-wide";
    const std::wstring applet = folder + L"\\\x043a\x0443\x0431\x0438\x043a\x0438.obvm";  // Cyrillic
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\models").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(Wide(kApplets + "cubes.obvm").c_str(), applet.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Wide(kApplets + "models/pedestal.obv").c_str(), (folder + L"\\models\\pedestal.obv").c_str(),
                          FALSE));
    {
        PlayerProcess player(L"\"" + Wide(PLAYER_EXE) + L"\" \"" + applet + L"\"");
        EXPECT_TRUE(player.WaitForStatus(" - 6 objects")) << player.Status();
        // The title names the file by its own name, not by the short one it is opened by.
        wchar_t title[128] = L"";
        GetWindowTextW(player.Frame(), title, 128);
        EXPECT_STREQ(title, L"\x043a\x0443\x0431\x0438\x043a\x0438.obvm - Orbolanth Player");
        EXPECT_EQ(player.Close(), 0u);
    }
    DeleteFileW(applet.c_str());
    DeleteFileW((folder + L"\\models\\pedestal.obv").c_str());
    RemoveDirectoryW((folder + L"\\models").c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(Player, SaysWhenTheFileIsMissingAndStaysUsable)
{
    PlayerProcess player({kApplets + "missing.obvm"});
    EXPECT_TRUE(player.WaitForStatus("there is no such file")) << player.Status();
    EXPECT_TRUE(player.Answers());

    // File > Open URL... then takes another applet.
    PostMessageA(player.Frame(), WM_COMMAND, kOpenUrl, 0);
    HWND dialog = nullptr;
    const DWORD start = GetTickCount();
    while (!dialog && GetTickCount() - start < kRunMs) {
        dialog = FindWindowA("#32770", "Open URL");
        if (!dialog) Sleep(50);
    }
    ASSERT_NE(dialog, nullptr);
    const std::string url = "file:///" + kApplets + "cubes.obvm";
    EXPECT_TRUE(SetDlgItemTextA(dialog, kUrlEdit, url.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(player.WaitForStatus("Orbolanth: cubes.obvm - 6 objects")) << player.Status();
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
