// OrbolanthPlayer.exe started as a user starts it, watched through its window, its status bar
// and the screen; shared by the player's test files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Capture.h"
#include "ConfigurationKey.h"
#include "HostProcess.h"
#include "base/UniqueHandle.h"

constexpr DWORD kRunMs = 30000;
extern const std::string kApplets;  // samples/applets/, as Wine sees it

// `text` from the ANSI code page in UTF-16.
std::wstring Wide(const std::string& text);

class PlayerProcess {
public:
    // `renderer` is installed as the user's (the reference renderer unless the test brings its own).
    explicit PlayerProcess(const std::vector<std::string>& arguments, const std::string& program = PLAYER_EXE,
                           const std::string& renderer = RendererExePath());
    // A command line in UTF-16, as Explorer starts a program for a file it was given.
    explicit PlayerProcess(std::wstring command, const std::string& renderer = RendererExePath());
    ~PlayerProcess();  // ends a player that is still running, and its renderers
    PlayerProcess(const PlayerProcess&) = delete;
    PlayerProcess& operator=(const PlayerProcess&) = delete;

    HANDLE Process() const { return process_.Get(); }
    // The player's frame once it is shown.
    HWND Frame(DWORD timeoutMs = kRunMs);
    std::string Status();
    bool WaitForStatus(const std::string& text, DWORD timeoutMs = kRunMs);
    std::vector<HWND> Areas();
    // The frame answers a message within 5 s.
    bool Answers();
    // Closes the window as a user would; the exit code, or STILL_ACTIVE.
    DWORD Close();

private:
    ConfigurationKey installation_{KEY_WOW64_32KEY};
    KernelHandle process_;
    HWND frame_ = nullptr;

    static BOOL CALLBACK FindFrame(HWND window, LPARAM self);
};


