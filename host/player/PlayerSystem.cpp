#include "PlayerSystem.h"

#include <windows.h>

#include <vector>

#include "PlayerPage.h"
#include "PluginFinder.h"

PluginCandidate FindPlayerPlugin()
{
    const std::vector<PluginCandidate> known = KnownPlugins(ProgramFolder());
    const PluginCandidate* found = FirstHandling(known, kAppletType);
    return found ? *found : PluginCandidate();
}

std::string Utf8FromWide(const std::wstring& wide)
{
    if (wide.empty()) return "";
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr,
                            nullptr);
    }
    return text;
}

std::string Utf8FromAnsi(const std::string& ansi)
{
    if (ansi.empty()) return "";
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], length);
    return Utf8FromWide(wide);
}
