// The built library with real child windows: how NPP_SetWindow subclasses, refreshes,
// re-attaches and gives up the browser's window, and what the subclassed window answers.
#include <gtest/gtest.h>

#include "BrowserWindow.h"
#include "PluginModule.h"
#include "PluginSession.h"

namespace {

constexpr char kProperty[] = "THISPTR";

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
    // The plug-in's procedure took WM_DESTROY itself; the browser's never saw it.
    EXPECT_EQ(browser.Received(WM_DESTROY), 0);
    EXPECT_EQ(browser.Received(WM_NCDESTROY), 1);
    EXPECT_EQ(SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(session.funcs.destroy(&npp, nullptr), NPERR_NO_ERROR);
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
