// The player as it is lived with: commands that come while a page opens or closes (a renderer
// slow to quit keeps the plug-in pumping messages inside the close), the command line's options
// kept to its own file, links that cannot flood the desktop, and full screen that shows how to
// leave it and never hides an error.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ChildProcesses.h"
#include "HostProcess.h"
#include "FullscreenHint.h"
#include "PlayerProcess.h"
#include "PlayerResources.h"
#include "RendererScript.h"
#include "TestFiles.h"

namespace {

// How long each scripted renderer stays after it was asked to quit: the close pumps messages
// that long, and the commands posted meanwhile are dispatched inside it.
const char kSlowToQuit[] = "linger 1500\n";

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kRunMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

size_t ReportCount(const RendererScript& script, const std::string& lineStart)
{
    size_t count = 0;
    for (const std::string& line : script.Report()) count += line.rfind(lineStart, 0) == 0 ? 1 : 0;
    return count;
}

// The player's recent files, removed before and after the test.
class RecentFiles {
public:
    static constexpr char kKey[] = "Software\\Orbolanth\\Player\\Recent Files";
    explicit RecentFiles(const std::string& first)
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            RegSetValueExA(key, "File1", 0, REG_SZ, reinterpret_cast<const BYTE*>(first.c_str()),
                           static_cast<DWORD>(first.size() + 1));
            RegCloseKey(key);
        }
    }
    ~RecentFiles() { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
    RecentFiles(const RecentFiles&) = delete;
    RecentFiles& operator=(const RecentFiles&) = delete;
};

// The user's program for mailto: links: each call records the link as a value of a key of its
// own (reg.exe: calls at the same moment all count), so that what the player handed out is
// counted where it arrives. Registered for the machine (this Wine reads no per-user
// classes), and the program registered before comes back afterwards.
class MailHandler {
public:
    static constexpr char kCommandKey[] = "Software\\Classes\\mailto\\shell\\open\\command";
    static constexpr char kRecordKey[] = "Software\\Orbolanth\\Test Links";
    MailHandler()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kRecordKey);
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kCommandKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            return;
        }
        key_.Reset(key);
        char before[1024] = "";
        DWORD size = sizeof before - 1;
        hadCommand_ = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(before), &size) ==
                      ERROR_SUCCESS;
        before_ = before;
        Set(std::string("reg.exe add \"HKCU\\") + kRecordKey + "\" /v \"%1\" /f");
    }
    ~MailHandler()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kRecordKey);
        if (hadCommand_) {
            Set(before_);
        } else if (key_) {
            RegDeleteValueA(key_.Get(), nullptr);
        }
    }
    MailHandler(const MailHandler&) = delete;
    MailHandler& operator=(const MailHandler&) = delete;

    size_t Calls() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
        const RegistryKeyHandle owner(key);
        DWORD values = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        return values;
    }

private:
    RegistryKeyHandle key_;
    bool hadCommand_ = false;
    std::string before_;

    void Set(const std::string& command) const
    {
        if (key_) {
            RegSetValueExA(key_.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                           static_cast<DWORD>(command.size() + 1));
        }
    }
};

bool IsFullscreen(HWND frame)
{
    RECT rect = {};
    GetWindowRect(frame, &rect);
    return rect.right - rect.left == GetSystemMetrics(SM_CXSCREEN) && GetMenu(frame) == nullptr;
}

// The applet of the last renderer launched.
std::string LastLaunched(const RendererScript& script)
{
    std::string applet;
    for (const std::string& line : script.Report()) {
        if (line.rfind("launch ", 0) == 0) applet = Field(line, "applet");
    }
    return applet;
}

TEST(PlayerLife, ReloadsAndARecentFileWhileTheRendererIsSlowToQuitEndWithTheLastOneShown)
{
    const RecentFiles recent(kApplets + "cubes.obvm");
    RendererScript script(LogFolder("player"), "two-reloads", kSlowToQuit);
    PlayerProcess player({kApplets + "orbit.obvm"}, PLAYER_EXE, SCRIPTED_RENDERER);
    ASSERT_NE(player.Frame(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return script.Reported("launch"); }));

    // The first Reload closes the page for as long as the renderer lingers; the second and the
    // recent file come meanwhile, and the last of them is what opens next.
    PostMessageA(player.Frame(), WM_COMMAND, kReload, 0);
    PostMessageA(player.Frame(), WM_COMMAND, kReload, 0);
    PostMessageA(player.Frame(), WM_COMMAND, kFirstRecent + 1, 0);
    ASSERT_TRUE(WaitUntil([&] { return LastLaunched(script) == "cubes.obvm"; })) << LastLaunched(script);
    Sleep(3000);  // whatever else the commands would do
    EXPECT_EQ(LastLaunched(script), "cubes.obvm");
    EXPECT_EQ(WaitForSingleObject(player.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(player.Areas().size(), 1u);
    EXPECT_EQ(CountRunningChildProcesses(player.Process()), 1);
    // Every renderer but the one shown was asked to quit by its instance.
    EXPECT_EQ(ReportCount(script, "quit") + 1, ReportCount(script, "launch"));

    // Two Reloads at once: the same again, and the player still shows one applet.
    PostMessageA(player.Frame(), WM_COMMAND, kReload, 0);
    PostMessageA(player.Frame(), WM_COMMAND, kReload, 0);
    ASSERT_TRUE(WaitUntil([&] { return ReportCount(script, "quit") + 1 >= ReportCount(script, "launch") &&
                                       ReportCount(script, "quit") >= 2; }));
    Sleep(3000);
    EXPECT_EQ(player.Areas().size(), 1u);
    EXPECT_EQ(CountRunningChildProcesses(player.Process()), 1);
    EXPECT_EQ(ReportCount(script, "quit") + 1, ReportCount(script, "launch"));

    EXPECT_EQ(player.Close(), 0u);
    EXPECT_EQ(ReportCount(script, "quit"), ReportCount(script, "launch"));
}

TEST(PlayerLife, ReloadThenCloseEndsThePlayerAndOpensNothingMore)
{
    RendererScript script(LogFolder("player"), "reload-close", kSlowToQuit);
    PlayerProcess player({kApplets + "orbit.obvm"}, PLAYER_EXE, SCRIPTED_RENDERER);
    ASSERT_NE(player.Frame(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return script.Reported("launch"); }));

    PostMessageA(player.Frame(), WM_COMMAND, kReload, 0);
    PostMessageA(player.Frame(), WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(player.Process(), kRunMs), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(player.Process(), &code);
    EXPECT_EQ(code, 0u);
    Sleep(500);  // a renderer launched in the end would have reported by now
    EXPECT_EQ(ReportCount(script, "launch"), 1u);
    EXPECT_EQ(ReportCount(script, "quit"), 1u);
}

TEST(PlayerLife, CommandLineParametersStayWithTheCommandLinesFile)
{
    const RecentFiles recent(kApplets + "orbit.obvm");
    PlayerProcess player({kApplets + "gyro.obvm", "--param", "src=cubes.obvm"});
    ASSERT_TRUE(player.WaitForStatus("Orbolanth: cubes.obvm - ")) << player.Status();

    // The command line's file is now the first recent entry, the one written before the second.
    PostMessageA(player.Frame(), WM_COMMAND, kFirstRecent + 1, 0);
    EXPECT_TRUE(player.WaitForStatus("Orbolanth: orbit.obvm - 43 objects")) << player.Status();
    EXPECT_EQ(player.Close(), 0u);
}

TEST(PlayerLife, ABurstOfLinksReachesTheUsersProgramsOnlyUpToTheBudget)
{
    const MailHandler handler;
    // Targets of the applet's own window pass the plug-in's throttle three a second; each link
    // opens a window of the mail program all the same.
    std::string links;
    for (int round = 0, n = 0; round < 3; ++round) {
        for (const char* target : {"_self", "_top", "_parent"}) {
            links += std::string("navigate ") + target + ":mailto:to" + std::to_string(++n) + "@example.invalid\n";
        }
        links += "pause 1100\n";
    }
    RendererScript script(LogFolder("player"), "links", links);
    PlayerProcess player({kApplets + "orbit.obvm"}, PLAYER_EXE, SCRIPTED_RENDERER);
    ASSERT_NE(player.Frame(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return script.Done(); })) << player.Status();
    EXPECT_TRUE(player.WaitForStatus("Not opened (too many links in a short time): mailto:to", 5000))
        << player.Status();
    Sleep(3000);  // the handlers started last have written
    EXPECT_EQ(handler.Calls(), 4u);
    EXPECT_EQ(player.Close(), 0u);
}

TEST(PlayerLife, FullScreenSaysHowToLeaveItForAFewSeconds)
{
    PlayerProcess player({kApplets + "cubes.obvm", "--fullscreen"});
    ASSERT_NE(player.Frame(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return IsFullscreen(player.Frame()); }, 5000));
    HWND hint = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (hint = FindWindowA("Static", FullscreenHint::kText)) != nullptr; }, 5000));
    EXPECT_TRUE(IsWindowVisible(hint));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hint); }, FullscreenHint::kShownMs + 5000));
    EXPECT_TRUE(IsFullscreen(player.Frame()));
    EXPECT_EQ(player.Close(), 0u);
}

TEST(PlayerLife, AnErrorInFullScreenLeavesItToBeSeen)
{
    PlayerProcess player({kApplets + "missing.obvm", "--fullscreen"});
    ASSERT_NE(player.Frame(), nullptr);
    EXPECT_TRUE(player.WaitForStatus("there is no such file")) << player.Status();
    EXPECT_FALSE(IsFullscreen(player.Frame()));
    HWND bar = FindWindowExA(player.Frame(), nullptr, "msctls_statusbar32", nullptr);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(player.Close(), 0u);
}

}  // namespace
