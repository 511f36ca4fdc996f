// A container none of us wrote: Wine's ATL hosts the control in this process. Its site names
// no page and passes no parameters: created by ATL from the ProgID the control has no applet
// and its view draws the logo; with a bag of an absolute src loaded before ATL attaches it,
// the applet plays in its window. Either way it follows its host's size, closes with the
// host, and lets the library go.
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
#include "SampleServer.h"
#include "base/UniqueHandle.h"
#include "logo/LogoPainter.h"

namespace {


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
        WNDCLASSEXA known = {};
        known.cbSize = sizeof known;
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

    // The control's window under ATL's host follows a resize and closes with the host;
    // afterwards no renderer runs and the library may be unloaded.
    void ResizeAndClose(HWND host, HWND area)
    {
        MoveWindow(host, 20, 20, 520, 380, TRUE);
        const SIZE wanted = ClientSize(host);
        EXPECT_TRUE(PumpUntil([&] {
            const SIZE shown = ClientSize(area);
            return shown.cx == wanted.cx && shown.cy == wanted.cy;
        })) << ClientSize(area).cx << "x" << ClientSize(area).cy;

        DestroyWindow(host);  // ATL closes the control and lets go of it
        EXPECT_FALSE(IsWindow(area));
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
// the control's view draws its logo.
TEST_P(AtlHosting, CreatedByProgIdDrawsItsLogo)
{
    const HWND host = MakeHost("Orbolanth.AppletControl");
    ASSERT_NE(host, nullptr);
    HWND area = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (area = GetWindow(host, GW_CHILD)) != nullptr; }));

    const auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        GetProcAddress(GetModuleHandleA(GetParam().file), "AtlAxGetControl"));
    IUnknown* control = nullptr;
    ASSERT_EQ(getControl(host, &control), S_OK);
    IViewObject* view = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
    control->Release();
    const RECT box = {0, 0, 200, 150};
    const WindowDc screen(GetDC(nullptr));
    const std::vector<DWORD> drawn = Capture(screen.Get(), 0, 0, box.right, box.bottom, [&](HDC memory) {
        const RECTL bounds = {0, 0, box.right, box.bottom};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0),
                  S_OK);
    });
    view->Release();
    LogoPainter painter(GetModuleHandleA(nullptr));
    const std::vector<DWORD> logo =
        Capture(screen.Get(), 0, 0, box.right, box.bottom, [&](HDC memory) { painter.Paint(memory, box); });
    EXPECT_EQ(drawn, logo);
    EXPECT_GT(std::set<DWORD>(logo.begin(), logo.end()).size(), 1u);

    ResizeAndClose(host, area);
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
    SampleServer server;
    ASSERT_TRUE(server.Listening());
    CallLog nowhere;
    // AlwaysActive: this test program's window need not be the foreground one.
    auto* bag = new PageBag({{"src", server.AppletUrl()}, {"WindowName", "cubes"}, {"AlwaysActive", "yes"}}, false,
                            nowhere, 1);
    EXPECT_EQ(persist->Load(bag, nullptr), S_OK);
    bag->Release();
    persist->Release();
    const auto attach = reinterpret_cast<HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**)>(
        GetProcAddress(GetModuleHandleA(GetParam().file), "AtlAxAttachControl"));
    ASSERT_NE(attach, nullptr);
    IUnknown* site = nullptr;  // without asking for it, ATL attaches nothing
    ASSERT_EQ(attach(control, host, &site), S_OK);
    control->Release();  // the site holds it now
    HWND area = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (area = GetWindow(host, GW_CHILD)) != nullptr; }));
    EXPECT_TRUE(PumpUntil([&] { return Colours(area) > kDrawn; })) << Colours(area);

    ResizeAndClose(host, area);
    site->Release();
}

INSTANTIATE_TEST_SUITE_P(Libraries, AtlHosting,
                         ::testing::Values(AtlLibrary{"atl.dll", "AtlAxWin"}, AtlLibrary{"atl100.dll", "AtlAxWin100"}),
                         [](const ::testing::TestParamInfo<AtlLibrary>& info) {
                             return std::string(info.param.windowClass);
                         });

}  // namespace
