// A container none of us wrote: Wine's ATL hosts the control in this process. Its site names
// no page and passes no parameters, so the control either shows its logo (created by ATL
// from the ProgID) or plays an applet of an absolute src from a bag loaded before ATL
// attaches it. Either way it draws, follows its host's size, closes, and lets the library go.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>

#include <set>
#include <string>
#include <vector>

#include "CallLog.h"
#include "Capture.h"
#include "ChildProcesses.h"
#include "ConfigurationKey.h"
#include "PageBag.h"
#include "PluginModule.h"
#include "base/UniqueHandle.h"

namespace {

constexpr size_t kDrawn = 40;

struct AtlLibrary {
    const char* file;
    const char* windowClass;
};

void Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    } while (GetTickCount() - start < ms);
}

// Pumps until `done` or 30 s; whether it came.
template <typename Done>
bool PumpUntil(Done done)
{
    for (int i = 0; i < 300; ++i) {
        if (done()) return true;
        Pump(100);
    }
    return done();
}

size_t Colours(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const WindowDc screen(GetDC(nullptr));
    const std::vector<DWORD> pixels = Capture(screen.Get(), origin.x, origin.y, client.right, client.bottom);
    return std::set<DWORD>(pixels.begin(), pixels.end()).size();
}

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

class AtlHosting : public ::testing::TestWithParam<AtlLibrary> {
protected:
    void SetUp() override
    {
        installation_.SetString("RendererPath", RendererExePath());
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        atl_ = LoadLibraryA(GetParam().file);
        ASSERT_NE(atl_, nullptr) << GetParam().file;
        const auto init = reinterpret_cast<BOOL(WINAPI*)()>(GetProcAddress(atl_, "AtlAxWinInit"));
        ASSERT_NE(init, nullptr);
        // A second call finds the window class of the first and says no.
        WNDCLASSEXA known = {sizeof known};
        ASSERT_TRUE(init() || GetClassInfoExA(nullptr, GetParam().windowClass, &known));
    }
    void TearDown() override
    {
        OleUninitialize();  // ATL stays loaded: its window classes may outlive this test's windows
    }

    HWND MakeHost(const char* text) const
    {
        return CreateWindowA(GetParam().windowClass, text, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }

    // The control's window under ATL's host draws, follows a resize, and closes with the
    // host; afterwards no renderer runs and the library may be unloaded.
    void DrawResizeClose(HWND host, IUnknown* control, size_t drawnColours)
    {
        HWND area = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (area = GetWindow(host, GW_CHILD)) != nullptr; }));
        char className[64] = "";
        GetClassNameA(area, className, sizeof className);
        EXPECT_TRUE(PumpUntil([&] { return Colours(area) > drawnColours; })) << Colours(area) << " in " << className;

        MoveWindow(host, 20, 20, 520, 380, TRUE);
        const SIZE wanted = ClientSize(host);
        EXPECT_TRUE(PumpUntil([&] {
            const SIZE shown = ClientSize(area);
            return shown.cx == wanted.cx && shown.cy == wanted.cy;
        })) << ClientSize(area).cx << "x" << ClientSize(area).cy;

        DestroyWindow(host);
        if (control) control->Release();
        const HMODULE library = GetModuleHandleA(CONTROL_DLL);
        ASSERT_NE(library, nullptr);
        const auto canUnload =
            reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(library, "DllCanUnloadNow"));
        ASSERT_NE(canUnload, nullptr);
        EXPECT_TRUE(PumpUntil([&] { return canUnload() == S_OK; }));
        EXPECT_EQ(CountRunningChildProcesses(GetCurrentProcess()), 0);
        CoFreeUnusedLibrariesEx(0, 0);
    }

private:
    ConfigurationKey installation_{KEY_WOW64_32KEY};
    HMODULE atl_ = nullptr;
};

// ATL creates the class from the ProgID in the window's text and gives it no parameters:
// with no applet to play, the control's logo fills the host.
TEST_P(AtlHosting, CreatedByProgIdShowsTheLogo)
{
    const HWND host = MakeHost("Orbolanth.AppletControl");
    ASSERT_NE(host, nullptr);
    DrawResizeClose(host, nullptr, 1);
}

// Parameters loaded before ATL attaches the control: an absolute src plays without a page.
TEST_P(AtlHosting, AttachedWithItsParametersDrawsTheApplet)
{
    const HWND host = MakeHost("");
    ASSERT_NE(host, nullptr);
    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(L"Orbolanth.AppletControl", &clsid), S_OK);
    IUnknown* control = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control)),
              S_OK);
    IPersistPropertyBag* persist = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)), S_OK);
    CallLog nowhere;
    auto* bag = new PageBag({{"src", "file:///" ORB_SOURCE_DIR "/samples/applets/cubes.obvm"}, {"WindowName", "cubes"}},
                            false, nowhere, 1);
    EXPECT_EQ(persist->Load(bag, nullptr), S_OK);
    bag->Release();
    persist->Release();
    const auto attach = reinterpret_cast<HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**)>(
        GetProcAddress(GetModuleHandleA(GetParam().file), "AtlAxAttachControl"));
    ASSERT_NE(attach, nullptr);
    ASSERT_EQ(attach(control, host, nullptr), S_OK);
    DrawResizeClose(host, control, kDrawn);
}

INSTANTIATE_TEST_SUITE_P(Libraries, AtlHosting,
                         ::testing::Values(AtlLibrary{"atl.dll", "AtlAxWin"}, AtlLibrary{"atl100.dll", "AtlAxWin100"}),
                         [](const ::testing::TestParamInfo<AtlLibrary>& info) {
                             return std::string(info.param.windowClass);
                         });

}  // namespace
