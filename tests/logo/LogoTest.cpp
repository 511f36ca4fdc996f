// What the instance's window shows when no renderer can run: the logo centred, reduced by
// powers of two when it does not fit, with the version text at full and half size. The
// layout on its own, then real painting of real windows, read back pixel by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>

#include "BrowserWindow.h"
#include "PluginSession.h"
#include "VersionResource.h"
#include "base/TopDownBitmap.h"
#include "base/UniqueHandle.h"
#include "logo/LogoLayout.h"
#include "browser/BrowserServices.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// One row of the layout table, for the 342 x 342 bitmap at (0, 0).
struct Placement {
    int width, height;  // client area
    int shrink;
    int x, y, size;     // image position and (square) size in whole pixels
    int textHeight;     // 0: no text
};

const Placement kPlacements[] = {
    {400, 400, 1, 29, 29, 342, -14},
    {342, 342, 1, 0, 0, 342, -14},
    {341, 400, 2, 85, 114, 171, -7},
    {100, 100, 4, 7, 7, 85, 0},
    {50, 400, 8, 3, 178, 42, 0},
};

std::string Name(const Placement& p)
{
    return std::to_string(p.width) + "x" + std::to_string(p.height);
}

class Layout : public ::testing::TestWithParam<Placement> {};

TEST_P(Layout, CentresAndShrinksByPowersOfTwo)
{
    const Placement& p = GetParam();
    LogoLayout layout = ComputeLogoLayout(342, 342, 0, 0, p.width, p.height);
    ASSERT_TRUE(layout.drawable);
    EXPECT_EQ(layout.shrink, p.shrink);
    EXPECT_EQ(static_cast<int>(layout.x), p.x);
    EXPECT_EQ(static_cast<int>(layout.y), p.y);
    EXPECT_EQ(static_cast<int>(layout.width), p.size);
    EXPECT_EQ(static_cast<int>(layout.height), p.size);
    EXPECT_DOUBLE_EQ(layout.width, 342.0 / p.shrink);
    EXPECT_EQ(layout.withText, p.textHeight != 0);
    if (layout.withText) {
        EXPECT_EQ(layout.textHeight, p.textHeight);
    }

    // The same placement moved with the area.
    LogoLayout moved = ComputeLogoLayout(342, 342, 10, 20, 10 + p.width, 20 + p.height);
    EXPECT_EQ(moved.shrink, p.shrink);
    EXPECT_DOUBLE_EQ(moved.x, layout.x + 10);
    EXPECT_DOUBLE_EQ(moved.y, layout.y + 20);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Layout, ::testing::ValuesIn(kPlacements),
                         [](const ::testing::TestParamInfo<Placement>& info) { return Name(info.param); });

TEST(LayoutEdges, ShrinkIsTheSmallestSufficientPowerOfTwo)
{
    EXPECT_EQ(ComputeLogoLayout(342, 342, 0, 0, 171, 171).shrink, 2);   // ratio exactly 2
    EXPECT_EQ(ComputeLogoLayout(342, 342, 0, 0, 170, 400).shrink, 4);   // ceil 3
    EXPECT_EQ(ComputeLogoLayout(342, 342, 0, 0, 400, 86).shrink, 4);    // the height decides
    EXPECT_EQ(ComputeLogoLayout(342, 342, 0, 0, 85, 400).shrink, 8);    // ceil 5
    EXPECT_EQ(ComputeLogoLayout(342, 342, 0, 0, 1, 1).shrink, 512);     // ceil 342
    EXPECT_EQ(ComputeLogoLayout(342, 342, 0, 0, 342, 341).shrink, 2);
    EXPECT_EQ(ComputeLogoLayout(100, 30, 0, 0, 100, 30).shrink, 1);     // any bitmap size
}

TEST(LayoutEdges, EmptyAreaOrBitmapIsNotDrawn)
{
    EXPECT_FALSE(ComputeLogoLayout(342, 342, 0, 0, 0, 400).drawable);
    EXPECT_FALSE(ComputeLogoLayout(342, 342, 0, 0, 400, 0).drawable);
    EXPECT_FALSE(ComputeLogoLayout(342, 342, 0, 0, 0, 0).drawable);
    EXPECT_FALSE(ComputeLogoLayout(342, 342, 50, 50, 10, 400).drawable);
    EXPECT_FALSE(ComputeLogoLayout(0, 0, 0, 0, 400, 400).drawable);
}

TEST(LayoutEdges, ANoteGoesUnderTheImageOrAsLowAsTheAreaAllows)
{
    LogoLayout roomy = ComputeLogoLayout(342, 342, 0, 0, 400, 460);
    EXPECT_EQ(roomy.noteHeight, -14);
    EXPECT_EQ(NoteTop(roomy, 16, 460), 401);
    LogoLayout tight = ComputeLogoLayout(342, 342, 0, 0, 342, 342);
    EXPECT_EQ(NoteTop(tight, 16, 342), 326);
    // Below half size the note keeps half size, the version text goes.
    LogoLayout small = ComputeLogoLayout(342, 342, 0, 10, 160, 130);
    EXPECT_FALSE(small.withText);
    EXPECT_EQ(small.noteHeight, -7);
    EXPECT_EQ(NoteTop(small, 8, 130), 112);
    EXPECT_EQ(NoteTop(small, 20, 130), 110);
}

// An instance made by a page, attached to a real child window of the given size.
class Painting : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The test program carries the library's resources; it stands in for the entry routine.
        StoreModuleHandle(GetModuleHandleA(nullptr));
    }
    void Create(int width, int height, bool showLogo)
    {
        window = std::make_unique<BrowserWindow>(width, height);
        ASSERT_EQ(session.New(&npp, {}), NPERR_NO_ERROR);
        instance = static_cast<PluginInstance*>(npp.pdata);
        instance->Session().SetShowLogo(showLogo);
        ASSERT_EQ(session.funcs.setwindow(&npp, window->Record()), NPERR_NO_ERROR);
        window->Repaint();
    }
    void TearDown() override
    {
        if (npp.pdata) session.funcs.destroy(&npp, nullptr);
    }

    PluginSession session{&NP_GetEntryPoints, &NP_Initialize, &NP_Shutdown, 0x000B, "Mozilla/4.0"};
    NPP_t npp{};
    PluginInstance* instance = nullptr;
    std::unique_ptr<BrowserWindow> window;
};

// A white picture of the given size as `draw` leaves it, drawn into a bitmap of top-down
// 0x00RRGGBB words.
std::vector<DWORD> Picture(HWND like, int width, int height, const std::function<void(HDC)>& draw)
{
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    // Bitmaps outlive the device contexts they are selected into.
    const WindowDc screen(GetDC(like), WindowDcTraits{like});
    const GdiObject<HBITMAP> section(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const MemoryDc memory(CreateCompatibleDC(screen.Get()));
    HGDIOBJ previous = SelectObject(memory.Get(), section.Get());
    RECT all = {0, 0, width, height};
    FillRect(memory.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    draw(memory.Get());
    GdiFlush();
    const DWORD* words = static_cast<const DWORD*>(bits);
    std::vector<DWORD> picture(words, words + width * height);
    SelectObject(memory.Get(), previous);
    return picture;
}

// The logo as it should appear: the bitmap reduced the same way into a white area.
void DrawReducedLogo(HDC hdc, const Placement& p)
{
    const GdiObject<HBITMAP> logo(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(103)));
    const MemoryDc source(CreateCompatibleDC(hdc));
    HGDIOBJ previousLogo = SelectObject(source.Get(), logo.Get());
    SetStretchBltMode(hdc, COLORONCOLOR);
    StretchBlt(hdc, p.x, p.y, p.size, p.size, source.Get(), 0, 0, 342, 342, SRCCOPY);
    SelectObject(source.Get(), previousLogo);
}

std::vector<DWORD> ExpectedPicture(HWND like, const Placement& p)
{
    return Picture(like, p.width, p.height, [&](HDC hdc) { DrawReducedLogo(hdc, p); });
}

// The text under the logo states the version that this program's version resource states,
// which is the plug-in's.
std::string VersionText()
{
    return "Version " + ShortVersion(ProgramPath());
}

GdiObject<HFONT> VersionFont(const Placement& p)
{
    LOGFONTA font = {};
    font.lfHeight = p.textHeight;
    font.lfWeight = 700;
    font.lfQuality = DRAFT_QUALITY;
    lstrcpyA(font.lfFaceName, "Arial");
    return GdiObject<HFONT>(CreateFontIndirectA(&font));
}

// Where the version text goes for a placement with text.
RECT TextArea(HDC hdc, const Placement& p)
{
    const GdiObject<HFONT> font = VersionFont(p);
    HGDIOBJ previous = SelectObject(hdc, font.Get());
    const std::string text = VersionText();
    SIZE extent = {};
    GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(hdc, previous);
    double exactSize = 342.0 / p.shrink;
    double x = (p.width - exactSize) * 0.5, y = (p.height - exactSize) * 0.5;
    return RECT{static_cast<int>(x + (exactSize - extent.cx) * 0.9), static_cast<int>(y + exactSize - extent.cy),
                p.width, p.height};
}

class LogoPainting : public Painting, public ::testing::WithParamInterface<Placement> {};

TEST_P(LogoPainting, ImageSitsInWhiteBandsWithTextOnlyWhenLargeEnough)
{
    const Placement& p = GetParam();
    Create(p.width, p.height, true);
    ClientPixels pixels(window->Child());
    ASSERT_EQ(pixels.Width(), p.width);
    ASSERT_EQ(pixels.Height(), p.height);

    const int right = p.x + p.size, bottom = p.y + p.size;
    EXPECT_EQ(pixels.CountOther(0, 0, p.width, p.y, kWhite), 0) << "band above";
    EXPECT_EQ(pixels.CountOther(0, bottom, p.width, p.height, kWhite), 0) << "band below";
    EXPECT_EQ(pixels.CountOther(0, 0, p.x, p.height, kWhite), 0) << "band left";
    EXPECT_EQ(pixels.CountOther(right, 0, p.width, p.height, kWhite), 0) << "band right";
    EXPECT_GT(pixels.CountOther(p.x, p.y, right, bottom, kWhite), p.size * p.size / 4) << "logo pixels";

    // Pixel for pixel the reduced bitmap, except where the text is drawn over it.
    std::vector<DWORD> expected = ExpectedPicture(window->Child(), p);
    const WindowDc hdc(GetDC(window->Child()), WindowDcTraits{window->Child()});
    RECT text = p.textHeight ? TextArea(hdc.Get(), p) : RECT{p.width, p.height, p.width, p.height};
    int differences = 0, blackInText = 0, blackElsewhere = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            bool inText = x >= text.left && y >= text.top && x < text.right && y < text.bottom;
            COLORREF got = pixels.At(x, y);
            DWORD word = expected[y * p.width + x];
            COLORREF want = RGB((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF);
            if (got == kBlack) (inText ? blackInText : blackElsewhere)++;
            if (!inText && got != want) ++differences;
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(blackElsewhere, 0);
    if (p.textHeight) {
        EXPECT_GT(blackInText, 20);
        EXPECT_TRUE(instance->Logo().FontReady());
        const LOGFONTA& font = instance->Logo().Font();
        EXPECT_EQ(font.lfHeight, p.textHeight);
        EXPECT_EQ(font.lfWeight, 700);
        EXPECT_EQ(font.lfQuality, DRAFT_QUALITY);
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
        EXPECT_STREQ(font.lfFaceName, "Arial");
    } else {
        EXPECT_EQ(blackInText, 0);
        EXPECT_FALSE(instance->Logo().FontReady());
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LogoPainting, ::testing::ValuesIn(kPlacements),
                         [](const ::testing::TestParamInfo<Placement>& info) { return Name(info.param); });

// Painted into a bitmap, where text is drawn the same way every time: pixel for pixel the
// reduced logo and the version the version resource states.
TEST_F(Painting, TheTextStatesTheVersionOfTheVersionResource)
{
    for (const Placement& p : kPlacements) {
        if (!p.textHeight) continue;
        Create(p.width, p.height, true);
        std::vector<DWORD> painted = Picture(window->Child(), p.width, p.height, [&](HDC hdc) {
            instance->Logo().Paint(hdc, RECT{0, 0, p.width, p.height});
        });
        std::vector<DWORD> expected = Picture(window->Child(), p.width, p.height, [&](HDC hdc) {
            DrawReducedLogo(hdc, p);
            const GdiObject<HFONT> font = VersionFont(p);
            HGDIOBJ previous = SelectObject(hdc, font.Get());
            SetBkMode(hdc, TRANSPARENT);
            RECT text = TextArea(hdc, p);
            DrawTextA(hdc, VersionText().c_str(), -1, &text, 0);
            SelectObject(hdc, previous);
        });
        ASSERT_EQ(painted.size(), expected.size());
        int differences = 0;
        for (size_t i = 0; i < painted.size(); ++i) differences += painted[i] != expected[i];
        EXPECT_EQ(differences, 0) << VersionText() << " at " << Name(p);
        session.funcs.destroy(&npp, nullptr);
    }
}

TEST_F(Painting, TextShrinksWithTheLogoOnTheSameInstance)
{
    Create(400, 400, true);
    EXPECT_EQ(instance->Logo().Font().lfHeight, -14);
    SetWindowPos(window->Child(), nullptr, 0, 0, 341, 400, SWP_NOMOVE | SWP_NOZORDER);
    window->Repaint();
    EXPECT_EQ(instance->Logo().Font().lfHeight, -7);
}

// Black pixels in rows [top, bottom) of the client area, and the middle of the leftmost
// and rightmost of them.
struct Ink {
    int count = 0;
    double middle = 0;
};
Ink InkIn(const ClientPixels& pixels, int top, int bottom)
{
    Ink ink;
    int left = pixels.Width(), right = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < pixels.Width(); ++x) {
            if (pixels.At(x, y) != kBlack) continue;
            ++ink.count;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ink.middle = (left + right) / 2.0;
    return ink;
}

TEST_F(Painting, ANoteIsOneCentredLineUnderTheVersionText)
{
    for (auto [width, height, imageBottom] : {std::tuple{400, 460, 401}, std::tuple{160, 120, 102}}) {
        Create(width, height, true);
        EXPECT_EQ(InkIn(ClientPixels(window->Child()), imageBottom, height).count, 0);
        {
            const WindowDc hdc(GetDC(window->Child()), {window->Child()});
            instance->Logo().Paint(hdc.Get(), RECT{0, 0, width, height}, "Click here");
        }
        ClientPixels pixels(window->Child());
        Ink note = InkIn(pixels, imageBottom, height);
        EXPECT_GT(note.count, 15) << width;
        EXPECT_NEAR(note.middle, width / 2.0, 3) << width;
        // The image above keeps its pixels: nothing of the note reaches into the top half.
        EXPECT_EQ(InkIn(pixels, 0, height / 2).count, 0) << width;
        session.funcs.destroy(&npp, nullptr);
    }
}

TEST_F(Painting, WithoutTheLogoTheWindowIsWhite)
{
    Create(400, 400, false);
    EXPECT_EQ(ClientPixels(window->Child()).CountOther(0, 0, 400, 400, kWhite), 0);
    EXPECT_FALSE(instance->Logo().FontReady());
}

TEST_F(Painting, EmptyWindowsAndAreasPaintWithoutHanging)
{
    for (auto [width, height] : {std::pair{0, 100}, std::pair{100, 0}, std::pair{0, 0}}) {
        Create(width, height, true);
        SendMessageA(window->Child(), WM_PAINT, 0, 0);
        session.funcs.destroy(&npp, nullptr);
    }
    Create(20, 20, true);
    const WindowDc screen(GetDC(window->Child()), WindowDcTraits{window->Child()});
    const GdiObject<HBITMAP> target(CreateCompatibleBitmap(screen.Get(), 8, 8));
    const MemoryDc memory(CreateCompatibleDC(screen.Get()));
    HGDIOBJ previous = SelectObject(memory.Get(), target.Get());
    for (RECT area : {RECT{0, 0, 0, 0}, RECT{0, 0, 0, 8}, RECT{0, 0, 8, 0}, RECT{8, 8, 0, 0}}) {
        instance->Logo().Paint(memory.Get(), area);
    }
    // A handle that is no window: the device context's clip box is cleared.
    RECT all = {0, 0, 8, 8};
    FillRect(memory.Get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(instance->Session().PaintWindow(nullptr, memory.Get()), 0);
    EXPECT_EQ(GetPixel(memory.Get(), 3, 3), kWhite);
    SelectObject(memory.Get(), previous);
}

}  // namespace
