// How long a person waits for an applet: from starting OrbolanthPlayer.exe with an .obvm to
// the applet's first frame on the screen, beside orbhost's first frame of a page holding the
// same applet at the same size. The two programs start in turn, each several times, so that
// both meet much the same load on the machine.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "Capture.h"
#include "ChildProcesses.h"
#include "Clock.h"
#include "ConfigurationKey.h"
#include "HostProcess.h"
#include "PluginModule.h"
#include "TestFiles.h"
#include "base/UniqueHandle.h"

namespace {

constexpr int kRuns = 7;
constexpr int kWidth = 320, kHeight = 240;
constexpr DWORD kLimitMs = 20000;
// An empty area or the logo shows a handful of colours, a drawn scene (gradients, lit faces)
// hundreds.

std::string Backslashed(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The sample applets with their models, copied to a folder of the build beside a page that
// embeds one of them: the player's page is the applet's folder, orbhost's that page.
std::string CopyApplets()
{
    const std::string folder = Backslashed(LogFolder("player")) + "bench";
    // What the folder holds, not the folder itself, which would go inside one there already.
    std::string from = Backslashed(ORB_SOURCE_DIR "/samples/applets/*") + '\0';
    std::string to = folder + '\0';
    SHFILEOPSTRUCTA copy = {};
    copy.wFunc = FO_COPY;
    copy.pFrom = from.c_str();
    copy.pTo = to.c_str();
    copy.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_SILENT;
    if (SHFileOperationA(&copy) != 0) return "";
    std::ofstream page(folder + "\\page.html");
    // The attributes the player gives an applet file's embed.
    page << "<html><body><embed type=\"application/x-Orbolanth-3D-Applet\" src=\"orbit.obvm\" WindowName=\"main\""
         << " width=" << kWidth << " height=" << kHeight << "></body></html>\n";
    return page ? folder : "";
}

struct Windows {
    DWORD process = 0;
    HWND frame = nullptr;
    HWND area = nullptr;
};

BOOL CALLBACK FindArea(HWND top, LPARAM param)
{
    auto* found = reinterpret_cast<Windows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(top, &owner);
    if (owner != found->process || !IsWindowVisible(top)) return TRUE;
    found->area = FindWindowExA(top, nullptr, "OrbhostPluginArea", nullptr);
    found->frame = found->area ? top : nullptr;
    return found->area == nullptr;
}


// Milliseconds from starting the program to the applet's first frame in its embed's area,
// looked at every 2 ms; < 0 when none came. The program is closed again as a user closes it.
double FirstFrameMs(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string command = ProgramCommandLine(program, arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const double start = NowMs();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return -1;
    }
    KernelHandle thread(info.hThread);
    KernelHandle process(info.hProcess);
    Windows found;
    found.process = info.dwProcessId;
    double frameMs = -1;
    while (NowMs() - start < kLimitMs && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        if (!found.area) EnumWindows(&FindArea, reinterpret_cast<LPARAM>(&found));
        if (found.area && Colours(found.area) > kDrawn) {
            frameMs = NowMs() - start;
            break;
        }
        Sleep(2);
    }
    if (found.frame) PostMessageA(found.frame, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) {
        EndChildProcesses(process.Get(), 99);
        TerminateProcess(process.Get(), 99);
        WaitForSingleObject(process.Get(), 5000);
    }
    return frameMs;
}

void Print(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("  %-34s median %7.1f ms (min %.1f, max %.1f) over %zu starts\n", what, times[times.size() / 2],
                times.front(), times.back(), times.size());
}

}  // namespace

int main()
{
    const std::string folder = CopyApplets();
    if (folder.empty()) {
        std::printf("the sample applets could not be copied\n");
        return 1;
    }
    // In the 32-bit view, where the installer writes it.
    ConfigurationKey installation(KEY_WOW64_32KEY);
    installation.SetString("RendererPath", RendererExePath());
    std::vector<double> player, host;
    for (int i = 0; i < kRuns; ++i) {
        const double playerMs = FirstFrameMs(PLAYER_EXE, {folder + "\\orbit.obvm", "--size", "320x240"});
        const double hostMs = FirstFrameMs(ORBHOST_EXE, {"--plugin", PluginDllPath(), "--page", folder + "\\page.html",
                                                         "--log", folder + "\\orbhost.log"});
        if (playerMs < 0 || hostMs < 0) {
            std::printf("start %d: no frame within %lu ms (player %.1f, orbhost %.1f)\n", i, kLimitMs, playerMs,
                        hostMs);
            return 1;
        }
        player.push_back(playerMs);
        host.push_back(hostMs);
    }
    std::printf("program start to the applet's first frame (%dx%d):\n", kWidth, kHeight);
    Print("OrbolanthPlayer.exe with an .obvm:", player);
    Print("orbhost.exe with a page of it:", host);
    return 0;
}
