// OrbolanthPlayer.exe: plays Orbolanth applets and pages without a browser.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

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
    PlayerCommand command;
    if (!AnsiArguments(arguments, error) || !ParsePlayerCommand(arguments, command, error)) {
        MessageBoxA(nullptr, (error + "\n\nUsage: " + kPlayerUsage).c_str(), "Orbolanth Player",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    Player player(std::move(command));
    return player.Run();
}
