// Files named in any script: the player shows the names the user knows, the plug-in and the
// renderer get every name the ANSI code page can spell as it is, and under a double-byte code
// page a name whose second byte is a backslash opens with the files beside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "PlayerProcess.h"

namespace {

// A copy of cubes.obvm as `file` in the folder `folder` under %TEMP%, with the model it includes.
class AppletCopy {
public:
    AppletCopy(const std::wstring& folder, const std::wstring& file)
    {
        wchar_t temp[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + folder;
        applet_ = folder_ + L"\\" + file;
        CreateDirectoryW(folder_.c_str(), nullptr);
        CreateDirectoryW((folder_ + L"\\models").c_str(), nullptr);
        copied_ = CopyFileW(Wide(kApplets + "cubes.obvm").c_str(), applet_.c_str(), FALSE) &&
                  CopyFileW(Wide(kApplets + "models/pedestal.obv").c_str(), Model().c_str(), FALSE);
    }
    ~AppletCopy()
    {
        DeleteFileW(applet_.c_str());
        DeleteFileW(Model().c_str());
        RemoveDirectoryW((folder_ + L"\\models").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    AppletCopy(const AppletCopy&) = delete;
    AppletCopy& operator=(const AppletCopy&) = delete;

    bool Copied() const { return copied_; }
    const std::wstring& Folder() const { return folder_; }
    const std::wstring& Applet() const { return applet_; }

private:
    std::wstring folder_;
    std::wstring applet_;
    bool copied_ = false;

    std::wstring Model() const { return folder_ + L"\\models\\pedestal.obv"; }
};

// The player started for `file` as Explorer starts it, with the name in UTF-16.
std::wstring CommandFor(const std::wstring& file)
{
    return L"\"" + Wide(PLAYER_EXE) + L"\" \"" + file + L"\"";
}

std::wstring Title(HWND frame)
{
    wchar_t title[256] = L"";
    GetWindowTextW(frame, title, 256);
    return title;
}

// The status bar's text in UTF-16.
std::wstring WideStatus(HWND frame)
{
    HWND bar = FindWindowExA(frame, nullptr, "msctls_statusbar32", nullptr);
    wchar_t text[512] = L"";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(bar, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &ignored);
    return text;
}

const std::wstring kOrbitFolder = L"\x043e\x0440\x0431\x0438\x0442\x0430";  // Cyrillic

TEST(PlayerNames, TellsTheRendererTheOwnNameOfAFileInAFolderTheCodePageCannotSpell)
{
    const AppletCopy copy(kOrbitFolder, L"engine.obvm");
    ASSERT_TRUE(copy.Copied());
    PlayerProcess player(CommandFor(copy.Applet()));
    // A short name of the whole path would have the renderer load ENGINE~1.OBV.
    EXPECT_TRUE(player.WaitForStatus("Orbolanth: engine.obvm - 6 objects")) << player.Status();
    EXPECT_EQ(Title(player.Frame()), L"engine.obvm - Orbolanth Player");
    EXPECT_EQ(player.Close(), 0u);
}

TEST(PlayerNames, NamesAMissingFileByTheNamesTheUserKnows)
{
    const AppletCopy copy(kOrbitFolder, L"engine.obvm");
    ASSERT_TRUE(copy.Copied());
    PlayerProcess player(CommandFor(copy.Folder() + L"\\missing.obvm"));
    ASSERT_TRUE(player.WaitForStatus("there is no such file")) << player.Status();
    const std::wstring status = WideStatus(player.Frame());
    EXPECT_NE(status.find(kOrbitFolder + L"\\missing.obvm"), std::wstring::npos) << player.Status();
    EXPECT_EQ(player.Close(), 0u);
}

// Run by its own CTest entry, in a Wine prefix whose ANSI code page is 932.
TEST(DoubleByteCodePage, OpensAFileWhoseNameHasABackslashForASecondByte)
{
    ASSERT_EQ(GetACP(), 932u);
    const std::wstring table = L"\x8868";  // 0x95 0x5C in code page 932
    const AppletCopy copy(table, table + L".obvm");
    ASSERT_TRUE(copy.Copied());
    PlayerProcess player(CommandFor(copy.Applet()));
    // The model beside the applet is found: its objects count among the six.
    ASSERT_TRUE(player.WaitForStatus(" - 6 objects")) << player.Status();
    EXPECT_EQ(player.Status().find("missing"), std::string::npos) << player.Status();
    EXPECT_EQ(Title(player.Frame()), table + L".obvm - Orbolanth Player");
    ASSERT_EQ(player.Areas().size(), 1u);
    const SIZE size = ClientSize(player.Areas()[0]);
    Sleep(500);
    EXPECT_GT(Colours(player.Areas()[0], 0, 0, size.cx, size.cy), kDrawn);
    EXPECT_EQ(player.Close(), 0u);
}

}  // namespace
