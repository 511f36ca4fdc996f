// The built library with real child windows: how NPP_SetWindow subclasses, refreshes,
// re-attaches and gives up the browser's window, and what the subclassed window answers.
#include <gtest/gtest.h>

#include <map>

#include "BrowserWindow.h"
#include "PluginModule.h"
#include "PluginSession.h"

namespace {

constexpr char kProperty[] = "THISPTR";
constexpr char kReplacedProperty[] = "OrbolanthReplacedProc";

// Subclasses a window as a browser add-on would, after whoever did before: counts what
// reaches it and passes everything on. Notes whether the plug-in's procedure had let go of
// its property by the time the window's last message came back.
class Addon {
public:
    explicit Addon(HWND hwnd)
    {
        current_ = this;
        previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~Addon() { current_ = nullptr; }
    Addon(const Addon&) = delete;
    Addon& operator=(const Addon&) = delete;

    static WNDPROC Procedure() { return &Proc; }
    int Seen(UINT message) const
    {
        auto it = seen_.find(message);
        return it == seen_.end() ? 0 : it->second;
    }
    bool PropertyLeftAtLastMessage() const { return propertyLeft_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Addon* self = current_;
        ++self->seen_[message];
        LRESULT result = CallWindowProcA(self->previous_, hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) self->propertyLeft_ = GetPropA(hwnd, kReplacedProperty) != nullptr;
        return result;
    }

    static Addon* current_;
    WNDPROC previous_ = nullptr;
    std::map<UINT, int> seen_;
    bool propertyLeft_ = true;
};
Addon* Addon::current_ = nullptr;

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.Loaded());
        ASSERT_EQ(session.New(&npp, {{"WindowName", ""}}), NPERR_NO_ERROR);
    }
    void TearDown() override
    {
        if (npp.pdata) session.funcs.destroy(&npp, nullptr);
    }

    NPError SetWindow(NPWindow* window) { return session.funcs.setwindow(&npp, window); }

    static bool Subclassed(const BrowserWindow& window, void* instance)
    {
        return GetPropA(window.Child(), kProperty) == instance &&
               window.CurrentProc() != BrowserWindow::BrowserProc();
    }
    static bool Untouched(const BrowserWindow& window)
    {
        return GetPropA(window.Child(), kProperty) == nullptr &&
               GetPropA(window.Child(), kReplacedProperty) == nullptr &&
               window.CurrentProc() == BrowserWindow::BrowserProc();
    }

    PluginModule module;
    PluginSession session{module, 0x000B, "Mozilla/4.0"};
    NPP_t npp{};
};

TEST_F(Window, AttachSubclassesAndPaintsWhiteWhereTheBrowserPaintsRed)
{
    BrowserWindow browser(120, 80);
    browser.Repaint();
    EXPECT_EQ(ClientPixels(browser.Child()).Count(0, 0, 120, 80, BrowserWindow::kBrowserColour), 120 * 80);

    EXPECT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    NPWindow noHandle{};
    EXPECT_EQ(SetWindow(&noHandle), NPERR_NO_ERROR);
    EXPECT_TRUE(Untouched(browser));

    ASSERT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    EXPECT_TRUE(Subclassed(browser, npp.pdata));
    EXPECT_TRUE(IsWindowEnabled(browser.Child()));

    const int erasedBefore = browser.Received(WM_ERASEBKGND);
    const int paintedBefore = browser.Received(WM_PAINT);
    browser.Repaint();
    ClientPixels pixels(browser.Child());
    EXPECT_EQ(pixels.Count(0, 0, 120, 80, RGB(255, 255, 255)), 120 * 80);
    EXPECT_EQ(browser.Received(WM_ERASEBKGND), erasedBefore);
    EXPECT_EQ(browser.Received(WM_PAINT), paintedBefore);

    // Erasing is always answered 1 without the browser's procedure; other messages pass to it.
    {
        const WindowDc hdc(GetDC(browser.Child()), WindowDcTraits{browser.Child()});
        EXPECT_EQ(SendMessageA(browser.Child(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc.Get()), 0), 1);
    }
    EXPECT_EQ(browser.Received(WM_ERASEBKGND), erasedBefore);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_USER, 1, 2), BrowserWindow::kBrowserAnswer);
    EXPECT_EQ(browser.Received(WM_USER), 1);

    // The same handle again only refreshes.
    EXPECT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    EXPECT_TRUE(Subclassed(browser, npp.pdata));

    // A null window gives the window back as it was.
    EXPECT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_TRUE(Untouched(browser));
    browser.Repaint();
    EXPECT_EQ(ClientPixels(browser.Child()).Count(0, 0, 120, 80, BrowserWindow::kBrowserColour), 120 * 80);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_USER, 0, 0), BrowserWindow::kBrowserAnswer);
}

TEST_F(Window, NewHandleMovesTheSubclassAndNullHandleDetaches)
{
    BrowserWindow first(60, 60), second(70, 70);
    ASSERT_EQ(SetWindow(first.Record()), NPERR_NO_ERROR);
    ASSERT_EQ(SetWindow(second.Record()), NPERR_NO_ERROR);
    EXPECT_TRUE(Untouched(first));
    EXPECT_TRUE(Subclassed(second, npp.pdata));
    EXPECT_EQ(SendMessageA(first.Child(), WM_USER, 0, 0), BrowserWindow::kBrowserAnswer);
    EXPECT_EQ(first.Received(WM_USER), 1);

    // A record with a null handle detaches a browser that keeps windows across requests.
    NPWindow noHandle{};
    ASSERT_EQ(SetWindow(&noHandle), NPERR_NO_ERROR);
    EXPECT_TRUE(Untouched(second));
    ASSERT_EQ(SetWindow(first.Record()), NPERR_NO_ERROR);
    EXPECT_TRUE(Subclassed(first, npp.pdata));
}

TEST_F(Window, DestroyRestoresTheBrowsersWindow)
{
    BrowserWindow browser(50, 50);
    ASSERT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    ASSERT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(npp.pdata, nullptr);
    EXPECT_TRUE(Untouched(browser));
    EXPECT_EQ(SendMessageA(browser.Child(), WM_USER, 0, 0), BrowserWindow::kBrowserAnswer);
}

TEST_F(Window, WindowDestroyedWhileAttachedIsForgottenQuietly)
{
    BrowserWindow browser(50, 50);
    ASSERT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    browser.Destroy();
    // The browser's procedure sees WM_DESTROY after the plug-in has stopped its session.
    EXPECT_EQ(browser.Received(WM_DESTROY), 1);
    EXPECT_EQ(browser.Received(WM_NCDESTROY), 1);
    EXPECT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

// Whoever subclassed the window after the plug-in stays in its chain when the plug-in
// lets go, and so does the browser's procedure behind the plug-in's.
TEST_F(Window, ALaterSubclasserKeepsItsPlaceAndTheBrowserBehindIt)
{
    BrowserWindow browser(60, 40);
    ASSERT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    Addon addon(browser.Child());
    browser.Repaint();
    EXPECT_EQ(ClientPixels(browser.Child()).Count(0, 0, 60, 40, RGB(255, 255, 255)), 60 * 40);

    ASSERT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(browser.CurrentProc(), Addon::Procedure()) << "the add-on was cut out of the chain";
    // The library stays loaded whatever the browser frees: the window's chain runs through it.
    HMODULE library = GetModuleHandleA("npOrbolanth.dll");
    ASSERT_NE(library, nullptr);
    FreeLibrary(library);
    EXPECT_EQ(GetModuleHandleA("npOrbolanth.dll"), library);
    EXPECT_EQ(GetPropA(browser.Child(), kProperty), nullptr);
    const int paints = browser.Received(WM_PAINT);
    browser.Repaint();
    EXPECT_EQ(ClientPixels(browser.Child()).Count(0, 0, 60, 40, BrowserWindow::kBrowserColour), 60 * 40);
    EXPECT_EQ(browser.Received(WM_PAINT), paints + 1);

    // The instance's end changes nothing: the window remembers what the plug-in replaced.
    ASSERT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_USER, 0, 0), BrowserWindow::kBrowserAnswer);
    EXPECT_EQ(browser.Received(WM_USER), 1);
    EXPECT_EQ(addon.Seen(WM_USER), 1);

    // A new instance on the same window takes the place in the chain the plug-in still has.
    ASSERT_EQ(session.New(&npp, {{"WindowName", ""}}), NPERR_NO_ERROR);
    ASSERT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    EXPECT_EQ(GetPropA(browser.Child(), kProperty), npp.pdata);
    EXPECT_EQ(browser.CurrentProc(), Addon::Procedure());
    browser.Repaint();
    EXPECT_EQ(ClientPixels(browser.Child()).Count(0, 0, 60, 40, RGB(255, 255, 255)), 60 * 40);
    EXPECT_EQ(SendMessageA(browser.Child(), WM_USER, 0, 0), BrowserWindow::kBrowserAnswer);
    EXPECT_EQ(browser.Received(WM_USER), 2);

    browser.Destroy();
    EXPECT_EQ(addon.Seen(WM_DESTROY), 1);
    EXPECT_EQ(browser.Received(WM_DESTROY), 1);
    EXPECT_EQ(browser.Received(WM_NCDESTROY), 1);
    EXPECT_FALSE(addon.PropertyLeftAtLastMessage());
}

TEST_F(Window, DestroyAfterWindowDiedDoesNotTouchIt)
{
    BrowserWindow browser(50, 50);
    ASSERT_EQ(SetWindow(browser.Record()), NPERR_NO_ERROR);
    browser.Destroy();
    EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(npp.pdata, nullptr);
}

// A browser older than 0.9 with an instance made for a src and given its window.
class OldBrowserWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.Loaded());
        ASSERT_EQ(session.New(&npp, {{"src", "a.obvm"}}), NPERR_NO_ERROR);
        ASSERT_EQ(session.funcs.setwindow(&npp, browser.Record()), NPERR_NO_ERROR);
    }
    void TearDown() override
    {
        if (npp.pdata) session.funcs.destroy(&npp, nullptr);
    }

    PluginModule module;
    PluginSession session{module, 0x0008, "Mozilla/3.0"};
    NPP_t npp{};
    BrowserWindow browser{40, 40};
};

// Such a browser may take the window away around each of its requests: the location
// request made for a src is paid for with one null window that only refreshes.
TEST_F(OldBrowserWindow, LocationRequestAbsorbsOneNullWindow)
{
    NPWindow noHandle{};
    ASSERT_EQ(session.funcs.setwindow(&npp, &noHandle), NPERR_NO_ERROR);
    EXPECT_EQ(GetPropA(browser.Child(), kProperty), npp.pdata);
    ASSERT_EQ(session.funcs.setwindow(&npp, &noHandle), NPERR_NO_ERROR);
    EXPECT_EQ(GetPropA(browser.Child(), kProperty), nullptr);
    EXPECT_EQ(browser.CurrentProc(), BrowserWindow::BrowserProc());
}

TEST_F(OldBrowserWindow, NullRecordDetachesWhateverTheAllowance)
{
    ASSERT_EQ(session.funcs.setwindow(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(GetPropA(browser.Child(), kProperty), nullptr);
}

}  // namespace
