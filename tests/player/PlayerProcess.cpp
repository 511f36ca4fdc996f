#include "PlayerProcess.h"

#include <set>

#include "Capture.h"
#include "ChildProcesses.h"

const std::string kApplets = ORB_SOURCE_DIR "/samples/applets/";

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], static_cast<int>(wide.size()))));
    return wide;
}

PlayerProcess::PlayerProcess(const std::vector<std::string>& arguments, const std::string& program,
                             const std::string& renderer)
    : PlayerProcess(Wide(ProgramCommandLine(program, arguments)), renderer)
{
}

PlayerProcess::PlayerProcess(std::wstring command, const std::string& renderer)
{
    installation_.SetString("RendererPath", renderer);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        KernelHandle thread(info.hThread);
        process_.Reset(info.hProcess);
    }
}

PlayerProcess::~PlayerProcess()
{
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        EndChildProcesses(process_.Get(), 99);
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

HWND PlayerProcess::Frame(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!frame_ && GetTickCount() - start < timeoutMs && process_) {
        EnumWindows(&FindFrame, reinterpret_cast<LPARAM>(this));
        if (!frame_) Sleep(50);
    }
    return frame_;
}

std::string PlayerProcess::Status()
{
    HWND bar = FindWindowExA(Frame(), nullptr, "msctls_statusbar32", nullptr);
    char text[512] = "";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    return text;
}

bool PlayerProcess::WaitForStatus(const std::string& text, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        if (Status().find(text) != std::string::npos) return true;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

std::vector<HWND> PlayerProcess::Areas()
{
    std::vector<HWND> areas;
    for (HWND area = FindWindowExA(Frame(), nullptr, "OrbhostPluginArea", nullptr); area;
         area = FindWindowExA(Frame(), area, "OrbhostPluginArea", nullptr)) {
        areas.push_back(area);
    }
    return areas;
}

bool PlayerProcess::Answers()
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(Frame(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}

DWORD PlayerProcess::Close()
{
    PostMessageA(Frame(), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.Get(), kRunMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

BOOL CALLBACK PlayerProcess::FindFrame(HWND window, LPARAM self)
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


