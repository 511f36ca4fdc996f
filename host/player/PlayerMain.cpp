// OrbolanthPlayer.exe: plays Orbolanth applets and pages without a browser.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "NativeHost.h"
#include "NativeHostLaunch.h"
#include "Player.h"
#include "PlayerCommandLine.h"
#include "PlayerPage.h"
#include "base/AnsiPath.h"

namespace {

// The arguments in the ANSI code page; files by their short names where the long ones do not
// fit. False with `error` naming the first argument that cannot be given at all.
bool AnsiArguments(std::vector<std::string>& arguments, std::string& error)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return false;
    bool ok = true;
    for (int i = 1; i < count && ok; ++i) {
        const std::wstring argument = wide[i];
        std::string ansi;
        if (ToCodePage(argument, GetACP(), ansi)) {
            arguments.push_back(ansi);
            continue;
        }
        const bool site = !arguments.empty() && arguments.back() == "--site";
        const size_t equals = site ? argument.find(L'=') : std::wstring::npos;
        std::string url;
        if (equals != std::wstring::npos && ToCodePage(argument.substr(0, equals), GetACP(), url)) {
            const std::string folder = AnsiPath(argument.substr(equals + 1));
            ansi = folder.empty() ? "" : url + "=" + folder;
        } else {
            ansi = AnsiPath(argument);
        }
        ok = !ansi.empty();
        if (ok) arguments.push_back(ansi);
    }
    LocalFree(wide);
    if (!ok) error = "An argument names a file outside this system's code page that has no short name.";
    return ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> arguments;
    std::string error;
    const bool readable = AnsiArguments(arguments, error);
    // A browser's host shows nothing: what goes wrong goes down the pipe.
    const NativeHostLaunch launch = ReadNativeHostLaunch(arguments);
    if (launch.host) {
        const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!launch.allowed) {
            RefuseCaller(output);
            return 1;
        }
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        int code = 0;
        {
            NativeHost host(GetStdHandle(STD_INPUT_HANDLE), output);
            code = host.Run();
        }
        CoUninitialize();
        return code;
    }
    PlayerCommand command;
    if (!readable || !ParsePlayerCommand(arguments, command, error)) {
        MessageBoxA(nullptr, (error + "\n\nUsage: " + kPlayerUsage).c_str(), "Orbolanth Player",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    Player player(std::move(command));
    return player.Run();
}
