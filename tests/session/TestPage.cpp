#include "TestPage.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Capture.h"
#include "base/AsciiCase.h"
#include "browser/BrowserServices.h"
#include "plugin/PluginEntry.h"

namespace {

constexpr char kBoxCaption[] = "Orbolanth Player Error";

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    // Only dialogs get asked for their caption: asking sends a message to the window's
    // thread, and the test's other windows belong to a thread that may be waiting.
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char kind[16] = {};
    GetClassNameA(hwnd, kind, sizeof kind);
    if (process != GetCurrentProcessId() || std::strcmp(kind, "#32770") != 0 || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    char caption[64] = {};
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (std::strcmp(caption, kBoxCaption) != 0) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

// The box's static texts (the icon has none), joined by "|".
BOOL CALLBACK CollectText(HWND child, LPARAM param)
{
    char kind[32] = {};
    GetClassNameA(child, kind, sizeof kind);
    char text[1024] = {};
    GetWindowTextA(child, text, sizeof text);
    if (EqualsIgnoringCase(kind, "Static") && text[0]) {
        std::string& all = *reinterpret_cast<std::string*>(param);
        if (!all.empty()) all += "|";
        all += text;
    }
    return TRUE;
}

// A page area of its own on the screen, red like the browser's child windows.
OwnedWindow CreateTopLevel(int width, int height)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA area = {};
        area.lpfnWndProc = DefWindowProcA;
        area.hInstance = GetModuleHandleA(nullptr);
        // Deleted only at exit: the class paints with it for as long as the process runs.
        static const GdiObject<HBRUSH> background(CreateSolidBrush(BrowserWindow::kBrowserColour));
        area.hbrBackground = background.Get();
        area.lpszClassName = "OrbSessionTopLevel";
        registered = RegisterClassA(&area) != 0;
    }
    static int placed = 0;
    const int x = 640 + (placed++ % 3) * 200;
    OwnedWindow window(CreateWindowExA(0, "OrbSessionTopLevel", "page area", WS_POPUP | WS_VISIBLE, x, 40, width,
                                       height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    PumpMessages();
    return window;
}

}  // namespace

TestPage::TestPage() : session_(&NP_GetEntryPoints, &NP_Initialize, &NP_Shutdown, 0x000B, "Mozilla/4.0 (Win32)")
{
}

TestPage::~TestPage()
{
    for (auto& embed : embeds_) Close(embed.get());
}

TestPage::Embed* TestPage::Add(const std::vector<Attribute>& attributes, int width, int height, Window kind)
{
    // The program carries the library's resources (the logo); it stands in for the entry routine.
    StoreModuleHandle(GetModuleHandleA(nullptr));
    auto embed = std::make_unique<Embed>();
    if (kind == Window::Child) {
        embed->window = std::make_unique<BrowserWindow>(width, height);
    } else {
        embed->topLevel = CreateTopLevel(width, height);
        embed->topLevelRecord.window = embed->topLevel.Get();
        embed->topLevelRecord.width = static_cast<uint32_t>(width);
        embed->topLevelRecord.height = static_cast<uint32_t>(height);
        embed->topLevelRecord.type = NPWindowTypeWindow;
    }
    if (session_.New(&embed->npp, attributes) != NPERR_NO_ERROR) return nullptr;
    embed->open = true;
    embeds_.push_back(std::move(embed));
    return embeds_.back().get();
}

NPError TestPage::Attach(Embed* embed)
{
    return session_.funcs.setwindow(&embed->npp, embed->Record());
}

void TestPage::DeliverLocation(Embed* embed, const char* url)
{
    NPStream stream{};
    stream.url = "javascript:window.location.href";
    uint16_t stype = NP_NORMAL;
    session_.funcs.newstream(&embed->npp, const_cast<char*>("text/plain"), &stream, 0, &stype);
    session_.funcs.write(&embed->npp, &stream, 0, static_cast<int32_t>(std::strlen(url)), const_cast<char*>(url));
    session_.funcs.destroystream(&embed->npp, &stream, NPRES_DONE);
}

void TestPage::DeliverApplet(Embed* embed, const std::string& localFile)
{
    NPStream stream{};
    stream.url = kAppletStreamUrl;
    uint16_t stype = NP_NORMAL;
    session_.funcs.newstream(&embed->npp, const_cast<char*>("application/x-Orbolanth-3D-Applet"), &stream, 0,
                             &stype);
    if (stype == NP_ASFILE) session_.funcs.asfile(&embed->npp, &stream, localFile.c_str());
    session_.funcs.destroystream(&embed->npp, &stream, NPRES_DONE);
}

void TestPage::AnswerRequest(Embed* embed, const BrowserCall& call, const std::string& localFile)
{
    NPStream stream{};
    stream.url = call.url.c_str();
    stream.notifyData = call.notifyData;
    uint16_t stype = NP_NORMAL;
    session_.funcs.newstream(&embed->npp, const_cast<char*>("application/octet-stream"), &stream, 0, &stype);
    if (stype == NP_ASFILE) session_.funcs.asfile(&embed->npp, &stream, localFile.c_str());
    session_.funcs.destroystream(&embed->npp, &stream, NPRES_DONE);
    if (call.function == "geturlnotify") {
        session_.funcs.urlnotify(&embed->npp, call.url.c_str(), NPRES_DONE, call.notifyData);
    }
}

void TestPage::Close(Embed* embed)
{
    if (!embed->open) return;
    embed->open = false;
    session_.funcs.destroy(&embed->npp, nullptr);
}

TestPage::Embed::~Embed()
{
    DestroyBrowserWindow();
}

void TestPage::Embed::DestroyBrowserWindow()
{
    if (window) window->Destroy();
    topLevel.Reset();
    PumpMessages();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds; elapsed = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        PumpMessages();
    }
}

int ChildProcesses()
{
    const FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return -1;
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        count += entry.th32ParentProcessID == GetCurrentProcessId();
    }
    return count;
}

KernelHandle DuplicateOf(HANDLE process)
{
    KernelHandle copy;
    DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), copy.Receive(), 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return copy;
}

AppletFile::AppletFile()
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    char name[MAX_PATH];
    static int counter = 0;
    std::snprintf(name, sizeof name, "%sorbsession_%lu_%d.obvm", directory, GetCurrentProcessId(), ++counter);
    path_ = name;
    FILE* file = std::fopen(name, "wb");
    if (!file) return;
    std::fputs("orbolanth-scene 1\n"
               "background #204080\n"
               "camera 0 0 6\n"
               "mesh cube box 1\n"
               "object turning cube\n"
               "  colour #e0483c\n"
               "  spin 0 1 0 90\n"
               "end\n",
               file);
    std::fclose(file);
}

AppletFile::~AppletFile()
{
    DeleteFileA(path_.c_str());
}

namespace {

// The window's client area as the screen shows it, 0x00RRGGBB, top-down rows. Read from the
// desktop: another process's drawing into the window is on the screen, not in this
// process's own picture of the window.
std::vector<DWORD> ScreenOf(HWND hwnd, int* width, int* height)
{
    RECT client;
    GetClientRect(hwnd, &client);
    *width = client.right;
    *height = client.bottom;
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    GdiFlush();
    const WindowDc screen(GetDC(nullptr));
    return Capture(screen.Get(), origin.x, origin.y, *width, *height, nullptr);
}

}  // namespace

int DifferencesFromLogo(PluginInstance* instance, HWND hwnd)
{
    int width = 0, height = 0;
    std::vector<DWORD> shown = ScreenOf(hwnd, &width, &height);
    if (shown.empty()) return -1;
    const WindowDc screen(GetDC(nullptr));
    std::vector<DWORD> logo = Capture(screen.Get(), 0, 0, width, height, [&](HDC memory) {
        instance->Logo().Paint(memory, RECT{0, 0, width, height});
    });
    int differences = 0;
    for (size_t i = 0; i < shown.size(); ++i) differences += shown[i] != logo[i];
    return differences;
}

int SceneBackgroundPixels(HWND hwnd)
{
    int width = 0, height = 0;
    std::vector<DWORD> shown = ScreenOf(hwnd, &width, &height);
    const DWORD background = (GetRValue(kSceneBackground) << 16) | (GetGValue(kSceneBackground) << 8) |
                             GetBValue(kSceneBackground);
    return static_cast<int>(std::count(shown.begin(), shown.end(), background));
}

BoxWatcher::BoxWatcher(DWORD holdMs) : holdMs_(holdMs)
{
    thread_.Reset(CreateThread(nullptr, 0, &Run, this, 0, nullptr));
}

BoxWatcher::~BoxWatcher()
{
    Stop();
}

void BoxWatcher::Stop()
{
    if (!thread_) return;
    InterlockedExchange(&stopping_, 1);
    // The watcher may be asking one of this thread's windows for its text meanwhile.
    HANDLE thread = thread_.Get();
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.Reset();
}

DWORD WINAPI BoxWatcher::Run(void* self)
{
    static_cast<BoxWatcher*>(self)->Watch();
    return 0;
}

void BoxWatcher::Watch()
{
    while (!stopping_) {
        HWND box = nullptr;
        EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&box));
        if (!box || std::find(seen_.begin(), seen_.end(), box) != seen_.end()) {
            Sleep(10);
            continue;
        }
        seen_.push_back(box);
        if (seen_.size() == 1) EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&firstText_));
        Sleep(holdMs_);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
}
