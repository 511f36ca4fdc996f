// The player's icon in its program (Wine answers no WM_GETICON from another process, so
// its windows' icons are not looked at from here), and Help > Diagnostics: the text a
// user copies names the plug-in and how it was found, the renderer, the code page and the
// end of the plug-in's trace, and Copy puts all of it on the clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "PlayerProcess.h"
#include "PlayerResources.h"
#include "PluginModule.h"
#include "base/UniqueHandle.h"

namespace {

constexpr char kSettingsKey[] = "SOFTWARE\\Orbolanth\\ActiveXOrbolanth";

std::string Utf8(const std::wstring& wide)
{
    std::string text(wide.size() * 3, '\0');
    text.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                        &text[0], static_cast<int>(text.size()), nullptr, nullptr)));
    return text;
}

std::string Backslashed(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

const std::string kPlayerFolder = Backslashed(std::string(PLAYER_EXE).substr(0, std::string(PLAYER_EXE).rfind('/')));

// A value of the plug-in's settings key in the 32-bit view (which the player's PlayerProcess
// has just made), removed again with the object.
class SettingsValue {
public:
    SettingsValue(const char* name, const std::string& value) : name_(name)
    {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &opened) == ERROR_SUCCESS) {
            key_.Reset(opened);
            set_ = RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
        }
    }
    ~SettingsValue()
    {
        if (key_) RegDeleteValueA(key_.Get(), name_);
    }
    SettingsValue(const SettingsValue&) = delete;
    SettingsValue& operator=(const SettingsValue&) = delete;
    bool Set() const { return set_; }

private:
    const char* name_;
    RegistryKeyHandle key_;
    bool set_ = false;
};

// The built plug-in registered for the current user, as a browser's installer would, so that
// the player finds it there before the one beside it.
class UserRegistration {
public:
    explicit UserRegistration(const std::string& path)
    {
        HKEY opened = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (kKey + std::string("\\MimeTypes\\application/x-Orbolanth-3D-Applet")).c_str(),
                            0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
            return;
        }
        RegistryKeyHandle mime(opened);
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
        RegistryKeyHandle plugin(opened);
        made_ = RegSetValueExA(plugin.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                               static_cast<DWORD>(path.size() + 1)) == ERROR_SUCCESS;
    }
    ~UserRegistration()
    {
        for (const char* below : {"\\MimeTypes\\application/x-Orbolanth-3D-Applet", "\\MimeTypes", ""}) {
            RegDeleteKeyA(HKEY_CURRENT_USER, (kKey + std::string(below)).c_str());
        }
    }
    UserRegistration(const UserRegistration&) = delete;
    UserRegistration& operator=(const UserRegistration&) = delete;
    bool Made() const { return made_; }

    static constexpr char kKey[] = "SOFTWARE\\MozillaPlugins\\@example.org/Diagnostics";

private:
    bool made_ = false;
};

struct RemovedAtEnd {
    std::string path;
    ~RemovedAtEnd() { DeleteFileA(path.c_str()); }
};

struct FoundDialog {
    DWORD process;
    HWND dialog;
};

BOOL CALLBACK FindDiagnostics(HWND window, LPARAM found)
{
    auto* wanted = reinterpret_cast<FoundDialog*>(found);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (owner != wanted->process || std::string(title) != "Orbolanth Player Diagnostics") return TRUE;
    wanted->dialog = window;
    return FALSE;
}

std::string ReportText(HWND dialog)
{
    HWND edit = GetDlgItem(dialog, kDiagnosticsText);
    if (!edit) return "";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return Utf8(text);
}

// Help > Diagnostics, as the menu sends it; the window it opens, once it shows its text (the
// dialog is there a moment before its controls are).
HWND OpenDiagnostics(PlayerProcess& player)
{
    PostMessageA(player.Frame(), WM_COMMAND, kDiagnostics, 0);
    FoundDialog found = {GetProcessId(player.Process()), nullptr};
    for (int waited = 0; waited < 10000; waited += 50) {
        EnumWindows(&FindDiagnostics, reinterpret_cast<LPARAM>(&found));
        if (found.dialog && !ReportText(found.dialog).empty()) return found.dialog;
        Sleep(50);
    }
    return nullptr;
}

std::string ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr)) return "(clipboard not opened)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = locked;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return Utf8(text);
}

void EmptyTheClipboard()
{
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

bool HasLine(const std::string& text, const std::string& line)
{
    return text.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(PlayerIcon, TheProgramCarriesItsIconInFourSizes)
{
    const LoadedModule program(LoadLibraryExA(PLAYER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(program);
    HRSRC group = FindResourceA(program.Get(), MAKEINTRESOURCEA(kPlayerIcon), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(program.Get(), group)));
    ASSERT_NE(directory, nullptr);
    const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    ASSERT_EQ(SizeofResource(program.Get(), group), 6u + 14u * count);
    std::set<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, bytes, id
        const int size = entry[0] ? entry[0] : 256;
        sizes.insert(size);
        EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 32) << size;
        HRSRC image = FindResourceA(program.Get(), MAKEINTRESOURCEA(*reinterpret_cast<const WORD*>(entry + 12)),
                                    MAKEINTRESOURCEA(3));  // RT_ICON
        ASSERT_NE(image, nullptr) << size;
        const auto* bits = static_cast<const BYTE*>(LockResource(LoadResource(program.Get(), image)));
        if (size == 256) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bits), 8), "\x89PNG\r\n\x1a\n");
        } else {
            const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bits);
            EXPECT_EQ(header->biWidth, size);
            EXPECT_EQ(header->biHeight, 2 * size);  // the colours, then the mask
            EXPECT_EQ(header->biBitCount, 32);
        }
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

TEST(PlayerDiagnostics, NamesThePluginsKeyTheRendererAndTheTracesEndAndCopiesIt)
{
    const std::string plugin = kPlayerFolder + "\\npOrbolanth.dll";
    const UserRegistration registration(plugin);
    ASSERT_TRUE(registration.Made());
    // The trace has just rolled over: its last lines are the older file's end and the new one.
    std::string older;
    for (int i = 1; i <= 60; ++i) older += "older event " + std::to_string(i) + "\r\n";
    const TempFile olderFile(older, ".1");
    const RemovedAtEnd trace{olderFile.Path().substr(0, olderFile.Path().size() - 2)};
    std::ofstream(trace.path, std::ios::binary) << "newer event 1\r\nnewer \x07 event 2\n";

    PlayerProcess player(std::vector<std::string>{});
    ASSERT_NE(player.Frame(), nullptr);
    const SettingsValue traceFile("TraceFile", trace.path);
    ASSERT_TRUE(traceFile.Set());
    EmptyTheClipboard();
    HWND dialog = OpenDiagnostics(player);
    ASSERT_NE(dialog, nullptr);
    const std::string text = ReportText(dialog);
    EXPECT_TRUE(HasLine(text, "Plug-in found: registry key HKCU\\" + std::string(UserRegistration::kKey) +
                                  ", 32-bit registry view")) << text;
    EXPECT_NE(text.find("\r\nPlug-in: " + plugin + ", version "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nRendererPath: " + RendererExePath() + " (exists"), std::string::npos) << text;
    EXPECT_TRUE(HasLine(text, "ANSI code page: " + std::to_string(GetACP()))) << text;
    EXPECT_TRUE(HasLine(text, "Trace: " + trace.path + ", its last lines:")) << text;
    EXPECT_TRUE(HasLine(text, "  older event 13")) << text;   // 48 of the older file's lines and 2 newer ones
    EXPECT_FALSE(HasLine(text, "  older event 12")) << text;
    EXPECT_TRUE(HasLine(text, "  newer ? event 2")) << text;

    SendMessageTimeoutA(dialog, WM_COMMAND, kDiagnosticsCopy, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_EQ(ClipboardText(), text);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(player.Close(), 0u);
}

TEST(PlayerDiagnostics, SaysThePluginIsBesideThePlayerAndHowToTurnTheTraceOn)
{
    PlayerProcess player(std::vector<std::string>{});
    ASSERT_NE(player.Frame(), nullptr);
    HWND dialog = OpenDiagnostics(player);
    ASSERT_NE(dialog, nullptr);
    const std::string text = ReportText(dialog);
    EXPECT_TRUE(HasLine(text, "Plug-in found: beside the player, in " + kPlayerFolder)) << text;
    EXPECT_NE(text.find("\r\nTrace: off. To turn it on, give the key HKLM\\" + std::string(kSettingsKey)),
              std::string::npos) << text;
    EXPECT_NE(text.find("the string value TraceFile"), std::string::npos) << text;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(player.Close(), 0u);
}

}  // namespace
