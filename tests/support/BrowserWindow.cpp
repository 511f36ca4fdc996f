#include "BrowserWindow.h"

#include "Capture.h"

namespace {

constexpr char kFrameClass[] = "OrbTestFrame";
constexpr char kChildClass[] = "OrbTestBrowserChild";

void RegisterClasses()
{
    static bool done = false;
    if (done) return;
    WNDCLASSA frame = {};
    frame.lpfnWndProc = DefWindowProcA;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    frame.lpszClassName = kFrameClass;
    RegisterClassA(&frame);
    WNDCLASSA child = frame;
    child.lpfnWndProc = BrowserWindow::BrowserProc();
    child.hbrBackground = nullptr;
    child.lpszClassName = kChildClass;
    RegisterClassA(&child);
    done = true;
}

// One frame for the whole process: Wine under a bare X server takes seconds to hide a
// top-level window, while children come and go at once.
HWND SharedFrame()
{
    static HWND frame = nullptr;
    if (!IsWindow(frame)) {
        frame = CreateWindowExA(0, kFrameClass, "browser", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                600, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    return frame;
}

void FillClient(HWND hwnd, HDC hdc, COLORREF colour)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    FillRect(hdc, &client, brush.Get());
}

}  // namespace

BrowserWindow::BrowserWindow(int width, int height)
{
    RegisterClasses();
    frame_ = SharedFrame();
    child_.Reset(CreateWindowExA(0, kChildClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 10, 10, width,
                                 height, frame_, nullptr, GetModuleHandleA(nullptr), this));
    record_.window = child_.Get();
    record_.width = static_cast<uint32_t>(width);
    record_.height = static_cast<uint32_t>(height);
    record_.type = NPWindowTypeWindow;
    PumpMessages();
}

BrowserWindow::~BrowserWindow()
{
    child_.Reset();
    PumpMessages();
}

int BrowserWindow::Received(UINT message) const
{
    auto it = received_.find(message);
    return it == received_.end() ? 0 : it->second;
}

WNDPROC BrowserWindow::CurrentProc() const
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(child_.Get(), GWLP_WNDPROC));
}

WNDPROC BrowserWindow::BrowserProc() { return &Procedure; }

void BrowserWindow::Destroy()
{
    child_.Reset();
    PumpMessages();
}

void BrowserWindow::Repaint()
{
    RedrawWindow(child_.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpMessages();
}

LRESULT CALLBACK BrowserWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BrowserWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self) ++self->received_[message];
    switch (message) {
    case WM_ERASEBKGND:
        FillClient(hwnd, reinterpret_cast<HDC>(wParam), kBrowserColour);
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hwnd, &paint);
        FillClient(hwnd, hdc, kBrowserColour);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_USER:
        return kBrowserAnswer;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

ClientPixels::ClientPixels(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    width_ = client.right;
    height_ = client.bottom;
    const WindowDc dc(GetDC(hwnd), WindowDcTraits{hwnd});
    bits_ = Capture(dc.Get(), 0, 0, width_, height_);
}

COLORREF ClientPixels::At(int x, int y) const
{
    DWORD word = bits_.at(static_cast<size_t>(y) * width_ + x);
    return RGB((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF);
}

int ClientPixels::Count(int left, int top, int right, int bottom, COLORREF colour) const
{
    int n = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) n += At(x, y) == colour;
    }
    return n;
}

int ClientPixels::CountOther(int left, int top, int right, int bottom, COLORREF colour) const
{
    int area = (right > left && bottom > top) ? (right - left) * (bottom - top) : 0;
    return area - Count(left, top, right, bottom, colour);
}

