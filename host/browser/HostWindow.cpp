#include "HostWindow.h"

#include <commctrl.h>

#include <utility>

#include "base/AnsiPath.h"

namespace {

constexpr char kAreaClass[] = "OrbhostPluginArea";
constexpr UINT kWorkMessage = WM_APP + 1;
constexpr UINT kCloseMessage = WM_APP + 2;

}  // namespace

void HostWindow::RegisterClasses(const char* frameClass)
{
    WNDCLASSA known = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), frameClass, &known)) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    // A Unicode frame keeps a title in any script; an ANSI one would get it through the code page.
    const std::wstring frameClassName = AnsiToWide(frameClass);
    WNDCLASSW frame = {};
    frame.lpszClassName = frameClassName.c_str();
    frame.lpfnWndProc = &FrameProc;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frame.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));  // the page
    RegisterClassW(&frame);

    // Dark, so that whatever is white in an area was painted by the plug-in.
    WNDCLASSA area = {};
    area.lpszClassName = kAreaClass;
    area.lpfnWndProc = &AreaProc;
    area.hInstance = GetModuleHandleA(nullptr);
    area.hCursor = LoadCursor(nullptr, IDC_ARROW);
    area.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    area.style = CS_DBLCLKS;
    RegisterClassA(&area);
}

HostWindow::HostWindow(HostWindowEvents& events, const char* frameClass, const std::string& title, int width,
                       int height, HMENU menu, const POINT* unseenAt)
    : events_(events)
{
    RegisterClasses(frameClass);
    const DWORD style = unseenAt ? WS_POPUP | WS_CLIPCHILDREN : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = unseenAt ? WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE : 0;
    const POINT at = unseenAt ? *unseenAt : POINT{0, 0};
    frame_.Reset(CreateWindowExW(exStyle, AnsiToWide(frameClass).c_str(), AnsiToWide(title).c_str(), style, at.x, at.y,
                                 width, height, nullptr, menu, GetModuleHandleA(nullptr), nullptr));
    if (!frame_) return;
    SetWindowLongPtrA(frame_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (unseenAt) {
        ShowWindow(frame_.Get(), SW_SHOWNOACTIVATE);
        return;
    }
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                 frame_.Get(), nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(frame_.Get(), SW_SHOWNORMAL);
    UpdateWindow(frame_.Get());
    SetForegroundWindow(frame_.Get());
}

HostWindow::~HostWindow()
{
    Destroy();
}

HWND HostWindow::AddPluginArea(int width, int height, int& x, int& y)
{
    RECT client = {};
    GetClientRect(frame_.Get(), &client);
    if (nextX_ > kMargin && nextX_ + width > client.right - kMargin) {
        nextX_ = kMargin;
        nextY_ += rowHeight_ + kMargin;
        rowHeight_ = 0;
    }
    x = nextX_;
    y = nextY_;
    nextX_ += width + kMargin;
    if (height > rowHeight_) rowHeight_ = height;
    return AddPluginAreaAt(x, y, width, height);
}

HWND HostWindow::AddPluginAreaAt(int x, int y, int width, int height)
{
    return CreateWindowExA(0, kAreaClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y,
                           width, height, frame_.Get(), nullptr, GetModuleHandleA(nullptr), nullptr);
}

void HostWindow::ResetLayout()
{
    nextX_ = kMargin;
    nextY_ = kMargin;
    rowHeight_ = 0;
}

RECT HostWindow::PageRect() const
{
    RECT client = {};
    GetClientRect(frame_.Get(), &client);
    RECT bar = {};
    if (statusBar_ && IsWindowVisible(statusBar_) && GetWindowRect(statusBar_, &bar)) {
        client.bottom -= bar.bottom - bar.top;
    }
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

void HostWindow::SetStatus(const std::string& text)
{
    SetStatus(AnsiToWide(text));
}

void HostWindow::SetStatus(const std::wstring& text)
{
    status_ = text;
    if (statusBar_) SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void HostWindow::SetProgress(const std::string& text)
{
    if (text.empty() && !progressShown_) return;
    progressShown_ = !text.empty();
    const std::wstring shown = progressShown_ ? AnsiToWide(text) : status_;
    if (statusBar_) SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

void HostWindow::ShowStatusBar(bool show)
{
    if (statusBar_) ShowWindow(statusBar_, show ? SW_SHOW : SW_HIDE);
}

void HostWindow::SetTitle(const std::string& title)
{
    SetTitle(AnsiToWide(title));
}

void HostWindow::SetTitle(const std::wstring& title)
{
    if (frame_) SetWindowTextW(frame_.Get(), title.c_str());
}

void HostWindow::PostWork()
{
    if (frame_) PostMessageA(frame_.Get(), kWorkMessage, 0, 0);
}

std::function<void()> HostWindow::WorkPoster() const
{
    return [frame = frame_.Get()] { PostMessageA(frame, kWorkMessage, 0, 0); };
}

void HostWindow::PostClose()
{
    if (frame_) PostMessageA(frame_.Get(), kCloseMessage, 0, 0);
}

void HostWindow::StartTimer(UINT_PTR id, UINT ms)
{
    if (frame_) SetTimer(frame_.Get(), id, ms, nullptr);
}

void HostWindow::StopTimer(UINT_PTR id)
{
    if (frame_) KillTimer(frame_.Get(), id);
}

void HostWindow::Destroy()
{
    // Nothing reaches the window through this object while it goes.
    OwnedWindow frame = std::move(frame_);
    statusBar_ = nullptr;
    frame.Reset();
}

void HostWindow::RemovePluginArea(HWND area)
{
    // Areas are children of the frame and go with it; one taken away before that goes here.
    OwnedWindow removed(area);
}

LRESULT CALLBACK HostWindow::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_SIZE && self && self->statusBar_) SendMessageA(self->statusBar_, WM_SIZE, 0, 0);
    LRESULT answer = 0;
    if (self && message != WM_DESTROY && self->events_.OnFrameMessage(message, wParam, lParam, answer)) return answer;
    switch (message) {
    case kWorkMessage:
        if (self) self->events_.OnWork();
        return 0;
    case WM_TIMER:
        if (self) self->events_.OnTimer(wParam);
        return 0;
    case WM_CLOSE:
    case kCloseMessage:
        if (self) self->events_.OnCloseRequested();
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK HostWindow::AreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // WM_NCDESTROY, not WM_DESTROY: a plug-in that still subclasses the area may keep
    // WM_DESTROY to itself, but the last message always comes back to the class.
    if (message == WM_NCDESTROY || message == WM_DESTROY) {
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(GetParent(hwnd), GWLP_USERDATA));
        if (self && message == WM_DESTROY) self->events_.OnAreaDestroyMessage(hwnd);
        if (self && message == WM_NCDESTROY) self->events_.OnAreaDestroyed(hwnd);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
