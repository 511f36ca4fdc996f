#include "Container.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "ChildProcesses.h"
#include "UrlResolution.h"

namespace {

constexpr char kFrameClass[] = "OrbContainerFrame";
constexpr char kPageClass[] = "OrbContainerPage";
constexpr int kMargin = 8;

std::string InprocServer(const CLSID& clsid)
{
    LPOLESTR text = nullptr;
    if (FAILED(StringFromCLSID(clsid, &text))) return "";
    const std::string key = "CLSID\\" + Narrow(text) + "\\InprocServer32";
    CoTaskMemFree(text);
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
        return "";
    }
    return path;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

Container::Container(const ContainerOptions& options, CallLog& log) : options_(options), log_(log) {}

Container::~Container()
{
    CloseControls();
    if (inPlaceFrame_) inPlaceFrame_->Release();
    if (pageMoniker_) pageMoniker_->Release();
    if (frame_) DestroyWindow(frame_);
}

bool Container::ReadPage(std::string& html, std::string& url)
{
    const std::string fromUrl = FileUrlToPath(options_.page);
    const std::string path = fromUrl.empty() ? options_.page : fromUrl;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    html = text.str();
    char full[MAX_PATH] = "";
    GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    url = options_.pageUrl.empty() ? PathToFileUrl(full) : options_.pageUrl;
    return true;
}

void Container::MakeWindows()
{
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frameClass.lpszClassName = kFrameClass;
    RegisterClassA(&frameClass);
    WNDCLASSA pageClass = frameClass;
    pageClass.lpfnWndProc = DefWindowProcA;
    pageClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    pageClass.lpszClassName = kPageClass;
    RegisterClassA(&pageClass);

    RECT outer = {0, 0, options_.windowWidth, options_.windowHeight};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    frame_ = CreateWindowA(kFrameClass, "orbcontainer", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                           outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    page_ = CreateWindowA(kPageClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, options_.windowWidth,
                          options_.windowHeight, frame_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(frame_, SW_SHOW);
    UpdateWindow(frame_);
    log_.Line("* window frame=" + CallLog::Pointer(frame_) + " page=" + CallLog::Pointer(page_));
}

// Left to right, a new row when the next would not fit, as a page of inline elements flows.
void Container::Layout(const std::vector<PageControl>& elements)
{
    int x = kMargin, y = kMargin, rowHeight = 0;
    for (const PageControl& element : elements) {
        if (x > kMargin && x + element.width > options_.windowWidth) {
            x = kMargin;
            y += rowHeight + kMargin;
            rowHeight = 0;
        }
        rects_.push_back({x, y, x + element.width, y + element.height});
        x += element.width + kMargin;
        rowHeight = std::max(rowHeight, element.height);
    }
}

void Container::Fit()
{
    RECT client = {};
    GetClientRect(frame_, &client);
    MoveWindow(page_, 0, 0, client.right, client.bottom, TRUE);
    if (!options_.fit) return;
    for (auto& control : controls_) control->Move(client);
}

int Container::Run()
{
    std::string html, url;
    if (!ReadPage(html, url)) {
        log_.Line("* page " + CallLog::Quote(options_.page) + " unreadable");
        return 1;
    }
    const std::vector<PageControl> elements = ReadPageControls(html);
    log_.Line("* page url=" + CallLog::Quote(url) + " controls=" + std::to_string(elements.size()));
    CreateURLMonikerEx(nullptr, Widen(url).c_str(), &pageMoniker_, URL_MK_UNIFORM);
    MakeWindows();
    inPlaceFrame_ = new InPlaceFrame(frame_, log_);
    Layout(elements);
    if (options_.fit) {
        for (RECT& rect : rects_) GetClientRect(page_, &rect);
    }

    for (size_t i = 0; i < elements.size(); ++i) {
        const int instance = static_cast<int>(i) + 1;
        CLSID clsid = {};
        std::string from;
        const bool known = ClassForControl(elements[i], clsid, from);
        log_.Line("* class inst=" + std::to_string(instance) + " from=" + from + (known ? "" : " none"));
        if (!known) continue;
        if (library_.empty()) library_ = InprocServer(clsid);
        auto control = std::make_unique<HostedControl>(options_, log_, instance, page_, inPlaceFrame_, pageMoniker_);
        const bool opened = control->Open(clsid, elements[i], rects_[i]);
        log_.Line("* control inst=" + std::to_string(instance) + " window=" + CallLog::Pointer(control->Window()) +
                  (opened ? " open" : " failed"));
        if (opened) controls_.push_back(std::move(control));
    }
    if (controls_.empty()) {
        log_.Line("* closed reason=\"no control\"");
        return 2;
    }

    if (options_.seconds > 0) SetTimer(frame_, kCloseTimer, static_cast<UINT>(options_.seconds * 1000), nullptr);
    if (!options_.until.empty()) {
        const HWND frame = frame_;
        log_.Watch(options_.until, [frame] { PostMessageA(frame, WM_CLOSE, 0, 0); });
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    CloseControls();
    WaitUntilUnloadable();
    DestroyWindow(frame_);
    frame_ = nullptr;
    log_.Line("* children running=" + std::to_string(CountRunningChildProcesses(GetCurrentProcess())));
    return 0;
}

void Container::CloseControls()
{
    for (auto& control : controls_) control->Close();
    controls_.clear();
}

// The library is asked as COM asks it before unloading it, for a while: a control's renderers
// may still be leaving when the last control is gone.
void Container::WaitUntilUnloadable()
{
    const HMODULE module = library_.empty() ? nullptr : GetModuleHandleA(library_.c_str());
    const auto canUnload =
        module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllCanUnloadNow")) : nullptr;
    if (!canUnload) {
        log_.Line("* DllCanUnloadNow library=" + CallLog::Quote(library_) + " absent");
        return;
    }
    const HRESULT first = canUnload();
    HRESULT last = first;
    const DWORD start = GetTickCount();
    while (last != S_OK && GetTickCount() - start < static_cast<DWORD>(options_.unloadWaitMs)) {
        PumpMessages();
        Sleep(50);
        last = canUnload();
    }
    log_.Line("* DllCanUnloadNow first=" + HresultText(first) + " ms=" + std::to_string(GetTickCount() - start) +
              " -> " + HresultText(last));
}

LRESULT CALLBACK Container::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Container*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_SIZE:
        if (self && self->page_) self->Fit();
        return 0;
    case WM_TIMER:
        if (wParam == kCloseTimer) {
            KillTimer(window, kCloseTimer);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_CLOSE:
        if (self) self->log_.Line("* close");
        PostQuitMessage(0);  // the controls close outside this window's messages
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
