// How modules and processes find their controller: the named block, plug-in copies loaded
// side by side in this process, and a controller of another process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ActivityFixtures.h"
#include "PluginModule.h"
#include "TestBrowser.h"
#include "activity/ActivityController.h"

namespace {

using Log = std::vector<std::string>;

// This test program is the first module of class Netscape in its process to look.
ActivityController* ProcessController()
{
    SetActivityClass("Netscape");
    return GetActivityController();
}

UINT_PTR AddressOf(ActivityController* controller)
{
    return reinterpret_cast<UINT_PTR>(controller);
}

TEST(ControllerBlock, FirstLookupCreatesTheBlockForClassAndProcessAndLaterOnesReuseIt)
{
    ActivityController* controller = ProcessController();
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(GetActivityController(), controller);

    const std::string name = ControllerBlockName("Netscape", GetCurrentProcessId());
    bool found = false;
    EXPECT_EQ(ReadControllerBlock(name, &found), AddressOf(controller));
    EXPECT_TRUE(found) << name;
    ReadControllerBlock(ControllerBlockName("UnClassed", GetCurrentProcessId()), &found);
    EXPECT_FALSE(found);

    // One allocation granule, zero past the address.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const KernelHandle block(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()));
    ASSERT_TRUE(block.Valid());
    const MappedView mapped(MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, system.dwAllocationGranularity));
    ASSERT_TRUE(mapped.Valid());
    auto* view = static_cast<const unsigned char*>(mapped.Get());
    MEMORY_BASIC_INFORMATION region = {};
    VirtualQuery(view, &region, sizeof region);
    EXPECT_EQ(region.RegionSize, system.dwAllocationGranularity);
    std::vector<unsigned char> zeros(system.dwAllocationGranularity - sizeof(UINT_PTR), 0);
    EXPECT_EQ(std::memcmp(view + sizeof(UINT_PTR), zeros.data(), zeros.size()), 0);
}

TEST(ControllerBlock, AnotherProcessHasABlockAndControllerOfItsOwn)
{
    ActivityController* ours = ProcessController();
    ASSERT_NE(ours, nullptr);
    DWORD helperId = 0;
    {
        HelperProcess helper("Netscape");
        ASSERT_TRUE(helper.Ready());
        helperId = helper.Id();
        ASSERT_NE(helperId, GetCurrentProcessId());
        bool found = false;
        EXPECT_NE(ReadControllerBlock(ControllerBlockName("Netscape", helperId), &found), 0u);
        EXPECT_TRUE(found);
        EXPECT_EQ(ReadControllerBlock(ControllerBlockName("Netscape", GetCurrentProcessId()), &found),
                  AddressOf(ours));
    }
    // The block goes away with the module that created it.
    bool found = true;
    ReadControllerBlock(ControllerBlockName("Netscape", helperId), &found);
    EXPECT_FALSE(found);
}

TEST(ControllerBlock, AModuleThatNeverSetAClassLooksUpTheUnclassedBlock)
{
    HelperProcess helper;
    ASSERT_TRUE(helper.Ready());
    bool found = false;
    EXPECT_NE(ReadControllerBlock(ControllerBlockName("UnClassed", helper.Id()), &found), 0u);
    EXPECT_TRUE(found);
    ReadControllerBlock(ControllerBlockName("Netscape", helper.Id()), &found);
    EXPECT_FALSE(found);
}

// A copy of the plug-in library under another file name loads as a module of its own,
// with its own per-module state, as a second plug-in folder's copy would.
class PluginCopy {
public:
    PluginCopy(const char* fileName, TestBrowser& browser)
        : path_(std::string(ORB_BUILD_DIR "/tests/activity/") + fileName),
          copied_(CopyFileA(PluginDllPath().c_str(), path_.c_str(), FALSE) != 0), module_(path_)
    {
        table_.size = sizeof table_;
        if (!module_.Loaded()) return;
        initialized_ = module_.getEntryPoints(&table_) == NPERR_NO_ERROR &&
                       module_.initialize(browser.Table()) == NPERR_NO_ERROR;
    }
    ~PluginCopy()
    {
        if (instanceMade_) table_.destroy(&npp_, nullptr);
        if (initialized_) module_.shutdown();
    }

    bool Ready() const { return copied_ && initialized_; }
    HMODULE Handle() const { return module_.Handle(); }

    // An instance whose window is `window`; attaching it paints it at once.
    bool ShowInstanceIn(HWND window)
    {
        char mime[] = "application/x-Orbolanth-3D-Applet";
        instanceMade_ = table_.newp(mime, &npp_, 1, 0, nullptr, nullptr, nullptr) == NPERR_NO_ERROR;
        window_.window = window;
        window_.width = 320;
        window_.height = 240;
        return instanceMade_ && table_.setwindow(&npp_, &window_) == NPERR_NO_ERROR;
    }

    void Repaint(HWND window)
    {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }

private:
    std::string path_;
    bool copied_;
    PluginModule module_;
    NPPluginFuncs table_{};
    bool initialized_ = false;
    NPP_t npp_{};
    NPWindow window_{};
    bool instanceMade_ = false;
};

TEST(ControllerAcrossModules, PluginCopiesSideBySideWorkOnTheControllerThisProgramCreated)
{
    ActivityController* controller = ProcessController();
    ASSERT_NE(controller, nullptr);
    Log log;
    RecordingSession a("A", log);
    controller->Track(&a, false);
    // The instances' windows sit side by side in one shown page window.
    TestWindow page(TestWindow::Shown), first(TestWindow::Shown, page.Handle()),
        second(TestWindow::Shown, page.Handle());
    ASSERT_TRUE(page.TakeForeground());
    controller->CheckForeground();
    controller->Activate(&a);
    ASSERT_FALSE(controller->InBackground());
    log.clear();

    TestBrowser browser(0x000B, "Mozilla/4.0 (Win32)");
    PluginCopy copy1("npOrbolanthCopy1.dll", browser), copy2("npOrbolanthCopy2.dll", browser);
    ASSERT_TRUE(copy1.Ready());
    ASSERT_TRUE(copy2.Ready());
    ASSERT_NE(copy1.Handle(), copy2.Handle());

    {
        HelperProcess helper;
        ASSERT_TRUE(helper.Ready());
        // Only the copy's paint looks at the foreground now.
        EXPECT_FALSE(controller->InBackground());
        ASSERT_TRUE(copy1.ShowInstanceIn(first.Handle()));
        EXPECT_TRUE(controller->InBackground());
        EXPECT_EQ(log, Log{"A-"});
    }
    ASSERT_TRUE(page.TakeForeground());
    EXPECT_TRUE(controller->InBackground());
    ASSERT_TRUE(copy2.ShowInstanceIn(second.Handle()));
    EXPECT_FALSE(controller->InBackground());
    EXPECT_EQ(log, (Log{"A-", "A+"}));

    // Neither copy made a block or a controller of its own.
    bool found = false;
    EXPECT_EQ(ReadControllerBlock(ControllerBlockName("Netscape", GetCurrentProcessId()), &found),
              AddressOf(controller));
    ReadControllerBlock(ControllerBlockName("UnClassed", GetCurrentProcessId()), &found);
    EXPECT_FALSE(found);
    controller->Track(&a, true);
}

constexpr char kFreshProcessVariable[] = "ORB_ACTIVITY_FRESH_PROCESS";

// Runs this program's tests that match `filter` in a new process, where no module has
// looked up a controller yet; gives its exit code.
DWORD RunInFreshProcess(const char* filter)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" --gtest_brief=1 --gtest_filter=" + filter;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    SetEnvironmentVariableA(kFreshProcessVariable, "1");
    BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    SetEnvironmentVariableA(kFreshProcessVariable, nullptr);
    if (!started) return ~0u;
    const OwnedProcess owned(process);
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    return code;
}

// Here a plug-in copy creates the controller, and it unloads while another copy and this
// program go on using that controller.
TEST(ControllerAcrossModules, ControllerOutlivesThePluginCopyThatCreatedIt)
{
    if (!std::getenv(kFreshProcessVariable)) {
        EXPECT_EQ(RunInFreshProcess("ControllerAcrossModules.ControllerOutlives*"), 0u);
        return;
    }
    TestWindow page(TestWindow::Shown), first(TestWindow::Shown, page.Handle()),
        second(TestWindow::Shown, page.Handle());
    ASSERT_TRUE(page.TakeForeground());
    TestBrowser browser(0x000B, "Mozilla/4.0 (Win32)");
    auto creator = std::make_unique<PluginCopy>("npOrbolanthCreator.dll", browser);
    PluginCopy finder("npOrbolanthFinder.dll", browser);
    ASSERT_TRUE(creator->Ready());
    ASSERT_TRUE(finder.Ready());

    const std::string name = ControllerBlockName("Netscape", GetCurrentProcessId());
    bool found = false;
    ReadControllerBlock(name, &found);
    ASSERT_FALSE(found);
    ASSERT_TRUE(creator->ShowInstanceIn(first.Handle()));
    const UINT_PTR address = ReadControllerBlock(name, &found);
    ASSERT_TRUE(found);
    ASSERT_NE(address, 0u);
    ASSERT_TRUE(finder.ShowInstanceIn(second.Handle()));

    creator.reset();
    EXPECT_EQ(ReadControllerBlock(name, &found), address);
    EXPECT_TRUE(found);

    // A module that looks only now gets the same, still working, object; the remaining
    // copy's paint switches it.
    ActivityController* controller = ProcessController();
    ASSERT_EQ(AddressOf(controller), address);
    Log log;
    RecordingSession a("A", log);
    controller->Track(&a, false);
    controller->Activate(&a);
    HelperProcess helper;
    ASSERT_TRUE(helper.Ready());
    finder.Repaint(second.Handle());
    EXPECT_TRUE(controller->InBackground());
    EXPECT_EQ(log, (Log{"A+", "A-"}));
    controller->Track(&a, true);
}

}  // namespace
