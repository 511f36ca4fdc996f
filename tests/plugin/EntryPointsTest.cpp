// The built library as a browser meets it: its registration in the version resource, its
// three plain exports, and the tables they exchange.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "OrbolanthVersion.h"
#include "PluginModule.h"
#include "TestBrowser.h"
#include "VersionResource.h"

namespace {

TEST(Registration, VersionResourceCarriesThePluginRegistration)
{
    std::vector<char> block = VersionBlock(PluginDllPath());
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(VersionString(block, "MIMEType"), "application/x-Orbolanth-3D-Applet");
    EXPECT_EQ(VersionString(block, "FileExtents"), "obvm, obv");
    EXPECT_EQ(VersionString(block, "FileOpenName"), "Orbolanth 3D Applet (*.obvm, *.obv)");
    // The version set in project(): the logo and download tests hold their texts against this resource.
    EXPECT_EQ(VersionString(block, "FileDescription"), "Orbolanth3D Plug-in (Version " ORB_VERSION_SHORT ")");
    EXPECT_EQ(VersionString(block, "FileVersion"), ORB_VERSION_COMMAS);
    EXPECT_EQ(VersionString(block, "ProductVersion"), ORB_VERSION_COMMAS);
    EXPECT_EQ(ShortVersion(PluginDllPath()), ORB_VERSION_SHORT);
    EXPECT_EQ(VersionString(block, "InternalName"), "Orbolanth3D Player");
    EXPECT_EQ(VersionString(block, "OriginalFilename"), "NetscapePlugin.dll");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const WORD numbers[] = {ORB_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(numbers[1], numbers[0]));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(numbers[3], numbers[2]));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(numbers[1], numbers[0]));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(numbers[3], numbers[2]));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);
}

TEST(Registration, LogoBitmapIs342SquareWith256Colours)
{
    PluginModule plugin;
    ASSERT_TRUE(plugin.Loaded());
    HRSRC found = FindResourceA(plugin.Handle(), MAKEINTRESOURCEA(103), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    ASSERT_NE(found, nullptr);
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(plugin.Handle(), found)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 342);
    EXPECT_EQ(header->biHeight, 342);
    EXPECT_EQ(header->biBitCount, 8);
}

TEST(EntryPoints, GetEntryPointsFillsTheTableAndKeepsItsSize)
{
    PluginModule plugin;
    ASSERT_TRUE(plugin.Loaded());
    EXPECT_EQ(plugin.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);

    // The library keeps the table for the NP_Initialize that follows, and may stay loaded after
    // this test (an earlier test's subclassed window pins it): the table must outlive the test.
    static NPPluginFuncs table;
    table = NPPluginFuncs{};
    table.size = 1234;
    ASSERT_EQ(plugin.getEntryPoints(&table), NPERR_NO_ERROR);
    EXPECT_EQ(table.size, 1234);
    EXPECT_EQ(table.version, 11);
    EXPECT_NE(table.newp, nullptr);
    EXPECT_NE(table.destroy, nullptr);
    EXPECT_NE(table.setwindow, nullptr);
    EXPECT_NE(table.newstream, nullptr);
    EXPECT_NE(table.destroystream, nullptr);
    EXPECT_NE(table.asfile, nullptr);
    EXPECT_NE(table.writeready, nullptr);
    EXPECT_NE(table.write, nullptr);
    EXPECT_NE(table.print, nullptr);
    EXPECT_EQ(table.event, nullptr);
    EXPECT_EQ(table.urlnotify, nullptr);
    EXPECT_EQ(table.getvalue, nullptr);
    EXPECT_EQ(table.setvalue, nullptr);
}

struct InitializeCase {
    uint16_t version;
    NPError expected;
    bool notifySet;
};

class InitializeByVersion : public ::testing::TestWithParam<InitializeCase> {};

TEST_P(InitializeByVersion, AnswersAndCompletesTheTable)
{
    const InitializeCase c = GetParam();
    PluginModule plugin;
    ASSERT_TRUE(plugin.Loaded());
    NPPluginFuncs table{};
    table.size = sizeof table;
    void* const untouched = reinterpret_cast<void*>(0x1234);
    table.javaClass = untouched;
    ASSERT_EQ(plugin.getEntryPoints(&table), NPERR_NO_ERROR);

    TestBrowser browser(c.version, "Mozilla/4.0 (Win32)");
    EXPECT_EQ(plugin.initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(plugin.initialize(browser.Table()), c.expected);
    EXPECT_EQ(table.urlnotify != nullptr, c.notifySet);
    EXPECT_EQ(table.javaClass, c.notifySet ? nullptr : untouched);
    EXPECT_EQ(plugin.shutdown(), NPERR_NO_ERROR);
}

INSTANTIATE_TEST_SUITE_P(Versions, InitializeByVersion,
                         ::testing::Values(InitializeCase{0x0008, NPERR_NO_ERROR, false},
                                           InitializeCase{0x0009, NPERR_NO_ERROR, true},
                                           InitializeCase{0x000B, NPERR_NO_ERROR, true},
                                           InitializeCase{0x0100, NPERR_INCOMPATIBLE_VERSION_ERROR, false}));

TEST(EntryPoints, InitializeWithoutEntryPointsStillSucceeds)
{
    PluginModule plugin;
    ASSERT_TRUE(plugin.Loaded());
    TestBrowser browser(0x000B, "Mozilla/4.0");
    EXPECT_EQ(plugin.initialize(browser.Table()), NPERR_NO_ERROR);
    EXPECT_EQ(plugin.shutdown(), NPERR_NO_ERROR);
}

}  // namespace
