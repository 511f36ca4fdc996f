// The control as a container creates it from the registry: CoCreateInstance after
// DllRegisterServer, parameters from a property bag, in-place activation into its own child
// window, where the renderer session runs; its files come through the download worker,
// resolved against the page the site's moniker names; then either close order, after
// which no renderer is left and the library may be unloaded.
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>
#include <olectl.h>

#include <algorithm>
#include <functional>
#include <string>

#include "ConfigurationKey.h"
#include "ControlLibrary.h"
#include "LoopbackHttpServer.h"
#include "RendererScript.h"
#include "TestFiles.h"
#include "TestSite.h"
#include "control/ControlClassId.h"
#include "control/ControlRegistration.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 180;
constexpr char kAppletBody[] = "applet bytes";

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}

template <typename T>
T* As(IUnknown* object, REFIID iid)
{
    T* found = nullptr;
    object->QueryInterface(iid, reinterpret_cast<void**>(&found));
    return found;
}

// The report's line for a delivery of `name`, or "".
std::string Delivery(const RendererScript& script, const std::string& name)
{
    for (const std::string& line : script.Report()) {
        if (line.rfind("delivered ", 0) == 0 && line.find(" name=\"" + name + "\"") != std::string::npos) return line;
    }
    return "";
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.Loaded());
        ASSERT_EQ(library.Register(), S_OK);
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        installation.SetString("RendererPath", SCRIPTED_RENDERER);
        server.Serve("/demo/scene.obvm", HttpResponse{200, kAppletBody});
    }
    void TearDown() override { OleUninitialize(); }

    IOleObject* Create()
    {
        IOleObject* control = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_OrbolanthControl, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                   reinterpret_cast<void**>(&control)),
                  S_OK);
        return control;
    }
    static HRESULT Load(IOleObject* control, TestBag& bag)
    {
        IPersistPropertyBag* persist = As<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
        if (!persist) return E_NOINTERFACE;
        const HRESULT result = persist->Load(&bag, nullptr);
        persist->Release();
        return result;
    }
    static HWND WindowOf(IOleObject* control)
    {
        IOleInPlaceObject* inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
        HWND window = nullptr;
        if (inPlace) {
            inPlace->GetWindow(&window);
            inPlace->Release();
        }
        return window;
    }
    std::wstring PageUrl() const
    {
        const std::string url = server.Url("/demo/page.html");
        return std::wstring(url.begin(), url.end());
    }
    // Every renderer has gone and the library says it may go.
    bool AllGone() { return library.CanUnloadNow(); }

    ControlLibrary library;
    ConfigurationKey installation;
    LoopbackHttpServer server;
};

TEST_F(ControlTest, RunsTheSessionInItsOwnWindowWithFilesFromThePage)
{
    enum class Order { SiteFirst, SiteAfterLoad, QuickActivate };
    for (const Order order : {Order::SiteFirst, Order::SiteAfterLoad, Order::QuickActivate}) {
        const char* name = order == Order::SiteFirst       ? "site-first"
                           : order == Order::SiteAfterLoad ? "site-after"
                                                           : "quick";
        SCOPED_TRACE(name);
        RendererScript script(LogFolder("controllib"), name,
                              "status loading\nask $applet\nwait\nnavigate _blank:next.html\npause 300\n"
                              "status ready\npause 300\nstatus ready\npause 300\n");
        // IE's site (here with QuickActivate) resolves names itself; without it the
        // plug-in's rule joins them to the page.
        const bool bindHost = order == Order::QuickActivate;
        TestSite site(PageUrl(), kWidth, kHeight, bindHost);
        TestBag bag({{L"SRC", L"scene.obvm"}, {L"WindowName", L"main"}});
        IOleObject* control = Create();
        ASSERT_NE(control, nullptr);
        DWORD misc = 0;
        EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
        EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
        if (order == Order::SiteFirst) {
            ASSERT_EQ(control->SetClientSite(&site), S_OK);
        } else if (order == Order::QuickActivate) {
            IQuickActivate* quick = As<IQuickActivate>(control, IID_IQuickActivate);
            ASSERT_NE(quick, nullptr);
            QACONTAINER container{};
            container.cbSize = sizeof container;
            container.pClientSite = &site;
            QACONTROL answer{};
            answer.cbSize = sizeof answer;
            EXPECT_EQ(quick->QuickActivate(&container, &answer), S_OK);
            EXPECT_EQ(answer.dwMiscStatus, kControlMiscStatus);
            quick->Release();
        }
        ASSERT_EQ(Load(control, bag), S_OK);
        if (order == Order::SiteAfterLoad) {
            ASSERT_EQ(control->SetClientSite(&site), S_OK);
        }
        RECT area{0, 0, kWidth, kHeight};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.Window(), &area), S_OK);
        EXPECT_EQ(site.InPlaceActivations(), 1);

        HWND window = WindowOf(control);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetParent(window), site.Window());
        EXPECT_TRUE(IsWindowVisible(window));

        ASSERT_TRUE(PumpUntil([&] { return !Delivery(script, "scene.obvm").empty(); }, 30000));
        const std::string delivered = Delivery(script, "scene.obvm");
        EXPECT_NE(delivered.find(std::string("text=\"") + kAppletBody), std::string::npos) << delivered;
        const std::vector<std::string> paths = server.Paths();
        EXPECT_NE(std::find(paths.begin(), paths.end(), "/demo/scene.obvm"), paths.end());
        // The navigation reaches the site's hyperlink frame with its target, resolved against the page.
        ASSERT_TRUE(PumpUntil([&] { return !site.Navigations().empty(); }, 5000));
        const std::wstring navigation = site.Navigations()[0];
        // (The hyperlink collapses the dot segments the plug-in's rule leaves.)
        const std::string next = server.Url("/demo/next.html");
        EXPECT_EQ(navigation, L"_blank " + std::wstring(next.begin(), next.end()));
        EXPECT_EQ(site.MonikersMade(), bindHost ? 2 : 0);
        EXPECT_EQ(site.Navigations().size(), 1u);
        // Status text reaches the frame once per change, however many ticks see it.
        ASSERT_TRUE(PumpUntil([&] { return script.Done(); }, 10000));
        PumpUntil([] { return false; }, 300);
        EXPECT_EQ(site.StatusTexts(), (std::vector<std::wstring>{L"loading", L"ready"}));

        // The container moves and sizes the window; nothing else does.
        IOleInPlaceObject* inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
        ASSERT_NE(inPlace, nullptr);
        RECT moved{10, 20, 10 + kWidth / 2, 20 + kHeight / 2};
        EXPECT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, kWidth / 2);
        EXPECT_EQ(client.bottom, kHeight / 2);
        EXPECT_EQ(GetWindowRgnBox(window, &client), ERROR) << "the whole window shows";
        // Scrolled half out of the page's view: only the part within the clip shows.
        RECT clip{0, 0, kWidth, 20 + kHeight / 4};
        EXPECT_EQ(inPlace->SetObjectRects(&moved, &clip), S_OK);
        RECT shown{};
        EXPECT_EQ(GetWindowRgnBox(window, &shown), SIMPLEREGION);
        EXPECT_EQ(shown.bottom, kHeight / 4);
        EXPECT_EQ(shown.right, kWidth / 2);
        EXPECT_FALSE(library.CanUnloadNow());

        // IE's close order: InPlaceDeactivate, Close, the site taken back, the last Release.
        EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
        inPlace->Release();
        EXPECT_EQ(site.InPlaceDeactivations(), 1);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
        EXPECT_EQ(control->Release(), 0u);
        EXPECT_TRUE(PumpUntil([&] { return AllGone(); }, 15000));
    }
}

TEST_F(ControlTest, CloseAloneAndAParentWindowThatGoesFirstEndTheSession)
{
    for (const bool parentFirst : {false, true}) {
        SCOPED_TRACE(parentFirst ? "parent window destroyed first" : "Close alone");
        RendererScript script(LogFolder("controllib"), parentFirst ? "parent-first" : "close-alone",
                              "ask $applet\nwait\n");
        TestSite site(PageUrl(), kWidth, kHeight);
        IOleObject* control = Create();
        ASSERT_NE(control, nullptr);
        const std::string src = server.Url("/demo/scene.obvm");
        TestBag absolute({{L"src", std::wstring(src.begin(), src.end())}, {L"WindowName", L"main"}});
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        ASSERT_EQ(Load(control, absolute), S_OK);
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.Window(), nullptr), S_OK);
        ASSERT_TRUE(PumpUntil([&] { return script.Done(); }, 30000));
        HWND window = WindowOf(control);
        if (parentFirst) {
            site.DestroyWindow();
            EXPECT_FALSE(IsWindow(window));
            EXPECT_EQ(WindowOf(control), nullptr);
        }
        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(site.InPlaceDeactivations(), 1);
        control->SetClientSite(nullptr);
        EXPECT_EQ(control->Release(), 0u);
        EXPECT_TRUE(PumpUntil([&] { return AllGone(); }, 15000));
    }
}

TEST_F(ControlTest, ActivatedAgainAfterDeactivationStartsTheAppletAnew)
{
    RendererScript script(LogFolder("controllib"), "again", "ask $applet\nwait\n");
    TestSite site(PageUrl(), kWidth, kHeight);
    TestBag bag({{L"src", L"scene.obvm"}, {L"WindowName", L"main"}});
    IOleObject* control = Create();
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(control->SetClientSite(&site), S_OK);
    ASSERT_EQ(Load(control, bag), S_OK);
    auto lines = [&](const char* start) {
        int count = 0;
        for (const std::string& line : script.Report()) count += line.rfind(start, 0) == 0;
        return count;
    };
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.Window(), nullptr), S_OK);
        EXPECT_TRUE(PumpUntil([&] { return lines("done") == round; }, 30000)) << "round " << round;
        IOleInPlaceObject* inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
        ASSERT_NE(inPlace, nullptr);
        EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
        inPlace->Release();
    }
    EXPECT_EQ(lines("launch "), 2);
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    EXPECT_EQ(control->Release(), 0u);
    EXPECT_TRUE(PumpUntil([&] { return AllGone(); }, 15000));
}

TEST_F(ControlTest, AnswersReadyStateSafetyAndAStillPicture)
{
    IOleObject* control = Create();
    ASSERT_NE(control, nullptr);
    IDispatch* dispatch = As<IDispatch>(control, IID_IDispatch);
    ASSERT_NE(dispatch, nullptr);
    auto readyState = [&] {
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(dispatch->Invoke(DISPID_READYSTATE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                   nullptr),
                  S_OK);
        return result.vt == VT_I4 ? result.lVal : -1;
    };
    EXPECT_EQ(readyState(), READYSTATE_UNINITIALIZED);
    IPersistStreamInit* stream = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->InitNew(), S_OK);
    EXPECT_EQ(readyState(), READYSTATE_COMPLETE);
    TestBag bag({});
    EXPECT_EQ(Load(control, bag), CO_E_ALREADYINITIALIZED);
    stream->Release();
    dispatch->Release();

    IObjectSafety* safety = As<IObjectSafety>(control, IID_IObjectSafety);
    ASSERT_NE(safety, nullptr);
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_DATA));
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                                INTERFACESAFE_FOR_UNTRUSTED_DATA),
              S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              E_FAIL);
    safety->Release();

    // Draw gives the logo, not an empty picture.
    IViewObject2* view = As<IViewObject2>(control, IID_IViewObject2);
    ASSERT_NE(view, nullptr);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, kWidth, kHeight};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECTL bounds{0, 0, kWidth, kHeight};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0), S_OK);
    int coloured = 0;
    for (int y = 0; y < kHeight; y += 4) {
        for (int x = 0; x < kWidth; x += 4) coloured += (GetPixel(memory, x, y) & 0xFFFFFF) != 0xFFFFFF;
    }
    EXPECT_GT(coloured, 100);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    view->Release();
    EXPECT_EQ(control->Release(), 0u);
    EXPECT_TRUE(library.CanUnloadNow());
}

}  // namespace
