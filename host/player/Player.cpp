#include "Player.h"

#include <commdlg.h>
#include <shellapi.h>

#include <utility>

#include "base/AnsiPath.h"
#include "DiagnosticsGathering.h"
#include "DiagnosticsWindow.h"
#include "OrbolanthVersion.h"
#include "PlayerIcon.h"
#include "PlayerPage.h"
#include "PlayerSystem.h"
#include "PlayerResources.h"
#include "RegistryReader.h"
#include "UrlResolution.h"

namespace {

constexpr char kFrameClass[] = "OrbolanthPlayerFrame";
constexpr char kRecentKey[] = "Software\\Orbolanth\\Player\\Recent Files";
constexpr int kUrlLength = 2048;
// The status bar follows a fetch a few times a second.
constexpr UINT_PTR kProgressTimer = BrowserEvents::kFirstOwnerTimer + 8;
constexpr UINT kProgressMs = 250;
constexpr UINT_PTR kHintTimer = BrowserEvents::kFirstOwnerTimer;

// Counts the page operation under way for as long as it lives.
class BusyScope {
public:
    explicit BusyScope(int& depth) : depth_(depth) { ++depth_; }
    ~BusyScope() { --depth_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    int& depth_;
};

// Commands that open something, or ask what to open: they wait while a page opens or closes.
bool OpensSomething(WORD id)
{
    return id == kOpenFile || id == kOpenUrl || id == kReload || (id >= kFirstRecent && id < kFirstRecent + kRecentFiles);
}

// The frame's outer size for a page area of width x height under the menu, above the status bar.
SIZE FrameSize(int width, int height)
{
    constexpr int kStatusBar = 22;
    RECT rect = {0, 0, width, height + kStatusBar};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, TRUE);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::string MenuLabel(size_t index, const std::string& entry)
{
    std::string label = "&" + std::to_string(index + 1) + " ";
    for (char c : entry) label += c == '&' ? std::string("&&") : std::string(1, c);
    return label;
}

INT_PTR CALLBACK UrlDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        ShowPlayerIcon(dialog);
        SendDlgItemMessageA(dialog, kUrlEdit, EM_LIMITTEXT, kUrlLength - 1, 0);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK) {
            auto* url = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
            char text[kUrlLength] = "";
            GetDlgItemTextA(dialog, kUrlEdit, text, sizeof text);
            *url = text;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

HACCEL MakeAccelerators()
{
    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'O', kOpenFile},
                    {FVIRTKEY | FCONTROL, 'U', kOpenUrl},
                    {FVIRTKEY, VK_F5, kReload},
                    {FVIRTKEY, VK_F11, kFullscreen},
                    {FVIRTKEY, VK_ESCAPE, kLeaveFullscreen}};
    return CreateAcceleratorTableA(keys, sizeof keys / sizeof keys[0]);
}

// A local file's full path; empty when it names none.
std::string FullPath(const std::string& file)
{
    char full[MAX_PATH] = "";
    const DWORD length = GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full, length) : std::string();
}

// A file or URL as the user knows it: a local file by its own long names, in any script, where
// the ANSI path it is opened by holds short ones.
std::wstring ShownName(const std::string& target)
{
    return IsPlayerUrl(target) ? AnsiToWide(target) : WidePath(target);
}

// The file name a title shows.
std::wstring ShownFileName(const std::string& target)
{
    if (IsPlayerUrl(target)) return AnsiToWide(UrlFileName(target, AnsiLeadBytes()));
    const std::wstring path = WidePath(target);
    return path.substr(path.find_last_of(L"\\/") + 1);
}

BrowserOptions OptionsFor(const PlayerCommand& command)
{
    BrowserOptions options;
    options.sites = command.sites;
    return options;
}

}  // namespace

Player::Player(PlayerCommand command)
    : command_(std::move(command)), options_(OptionsFor(command_)), browser_(options_, log_, *this)
{
}

int Player::Run()
{
    StartPlugin();
    const SIZE frame = FrameSize(command_.width, command_.height);
    menu_ = MakeMenu();
    browser_.MakeWindow(kFrameClass, "Orbolanth Player", frame.cx, frame.cy, menu_);
    HWND window = browser_.Window().Handle();
    if (!window) return 1;
    ShowPlayerIconForClass(window);
    DragAcceptFiles(window, TRUE);
    LoadRecent();
    ShowRecent();
    ShowViewItems();
    if (command_.fullscreen) SetFullscreen(true);
    if (!pluginReady_) {
        ShowError(pluginError_);
    } else if (!command_.target.empty()) {
        Open({command_.target, command_.params, command_.pageUrl});
    } else {
        browser_.Window().SetStatus("Open an applet or a page: File > Open, or drop a file here");
    }

    const AcceleratorTable keys(MakeAccelerators());
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (keys && TranslateAcceleratorA(window, keys.Get(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!browser_.PageClosed()) browser_.ClosePage();
    return 0;
}

void Player::StartPlugin()
{
    plugin_ = FindPlayerPlugin();
    const std::string& path = plugin_.path;
    if (path.empty()) {
        pluginError_ = "No Orbolanth plug-in is installed (none registered, none beside the player)";
        return;
    }
    std::string error;
    pluginReady_ = browser_.ReadRegistration(path, error) && browser_.StartPlugin(path, error);
    if (!pluginReady_) pluginError_ = "The Orbolanth plug-in " + path + " cannot be used: " + error;
}

void Player::Open(const PlayerTarget& target)
{
    if (pending_.Closing()) return;
    if (busy_ > 0) {
        pending_.Open(target.target);
        return;
    }
    if (!pluginReady_) {
        ShowError(pluginError_);
        return;
    }
    {
        const BusyScope busy(busy_);
        errorShown_ = false;
        browser_.CancelPageRead();
        browser_.CloseInstances();
        // A close that came while the page closed is final: nothing opens after it.
        if (!pending_.Closing()) {
            opened_ = target;
            applet_ = IsAppletName(target.target);
            if (applet_) {
                OpenApplet(target);
            } else {
                OpenPage(target);
            }
            ShowViewItems();
        }
    }
    DoPending();
}

void Player::DoPending()
{
    if (busy_ > 0 || draining_) return;
    draining_ = true;
    for (PendingCommand::Request next = pending_.Take(); next.kind != PendingCommand::Kind::kNone;
         next = pending_.Take()) {
        if (next.kind == PendingCommand::Kind::kClose) {
            OnCloseRequested();
        } else if (next.kind == PendingCommand::Kind::kOpen) {
            Open({next.target, {}, ""});
        } else {
            OnCommand(static_cast<WORD>(next.menuId));
        }
    }
    draining_ = false;
}

void Player::OpenApplet(const PlayerTarget& opened)
{
    const std::string& target = opened.target;
    std::string url = target;
    if (!IsPlayerUrl(target)) {
        const std::string full = FullPath(target);
        const DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(full.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ShowError(L"Cannot open " + ShownName(target) + L": there is no such file");
            return;
        }
        url = PathToFileUrl(full, AnsiLeadBytes());
    }
    // The applet's own location is its page: the names it asks for resolve against its folder.
    browser_.SetPageUrl(opened.pageUrl.empty() ? url : opened.pageUrl);
    Embed embed = AppletEmbed(url, command_.width, command_.height);
    ApplyParams(embed, opened.params);
    browser_.Window().SetTitle(PlayerTitle(ShownFileName(target)));
    browser_.OpenPage({embed});
    Remember(target);
    if (fit_) LayoutApplet();
}

void Player::OpenPage(const PlayerTarget& opened)
{
    reading_ = opened;
    std::string error;
    if (!browser_.ReadPage(opened.target, opened.pageUrl, error)) {
        ShowError(L"Cannot open " + ShownName(opened.target) + L": " + AnsiToWide(error));
    }
}

// The window answered meanwhile; the page is here, or what stopped it.
void Player::OnPageRead(std::vector<Embed>& embeds, const std::string& error)
{
    {
        const BusyScope busy(busy_);
        ShowPage(embeds, error);
    }
    DoPending();
}

void Player::ShowPage(std::vector<Embed>& embeds, const std::string& error)
{
    const std::string& target = reading_.target;
    if (!error.empty()) {
        ShowError(L"Cannot open " + ShownName(target) + L": " + AnsiToWide(error));
        return;
    }
    for (Embed& embed : embeds) ApplyParams(embed, reading_.params);
    // After redirects a page fetched from the network is named by where it came from.
    const bool byUrl = IsPlayerUrl(target) || !reading_.pageUrl.empty();
    browser_.Window().SetTitle(PlayerTitle(ShownFileName(byUrl ? browser_.PageUrl() : target)));
    const int shown = browser_.OpenPage(embeds);
    Remember(target);
    if (shown == 0) ShowError(ShownName(target) + L" holds no Orbolanth applet");
}

void Player::ShowError(const std::string& text)
{
    ShowError(AnsiToWide(text));
}

void Player::ShowError(const std::wstring& text)
{
    errorShown_ = true;
    // Full screen hides the status bar: an error there would go unseen.
    SetFullscreen(false);
    browser_.Window().SetStatus(text);
}

void Player::ShowViewItems()
{
    const UINT state = applet_ && browser_.Instances().size() == 1 ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(menu_, kFitToWindow, MF_BYCOMMAND | state);
    EnableMenuItem(menu_, kActualSize, MF_BYCOMMAND | state);
}

void Player::OnFetching()
{
    browser_.Window().StartTimer(kProgressTimer, kProgressMs);
}

void Player::ShowProgress()
{
    const std::vector<FetchProgress> fetches = browser_.Fetches();
    if (fetches.empty()) {
        browser_.Window().StopTimer(kProgressTimer);
        browser_.Window().SetProgress("");
        return;
    }
    std::string text = ProgressText(fetches.front());
    if (fetches.size() > 1) text += " (and " + std::to_string(fetches.size() - 1) + " more)";
    browser_.Window().SetProgress(text);
}

void Player::OnStreamOverLimit(const std::string& error)
{
    ShowError("Not loaded: " + error);
}

void Player::LayoutApplet()
{
    if (!applet_ || browser_.Instances().size() != 1) return;
    PageInstance& instance = *browser_.Instances().front();
    if (fit_) {
        const RECT page = browser_.Window().PageRect();
        browser_.PlaceInstance(instance, 0, 0, page.right - page.left, page.bottom - page.top);
    } else {
        browser_.PlaceInstance(instance, 0, 0, command_.width, command_.height);
    }
}

void Player::SetFit(bool fit)
{
    fit_ = fit;
    CheckMenuRadioItem(menu_, kFitToWindow, kActualSize, fit ? kFitToWindow : kActualSize, MF_BYCOMMAND);
    LayoutApplet();
}

void Player::SetFullscreen(bool fullscreen)
{
    HWND window = browser_.Window().Handle();
    if (fullscreen == fullscreen_) return;
    fullscreen_ = fullscreen;
    if (fullscreen) {
        placement_.length = sizeof placement_;
        GetWindowPlacement(window, &placement_);
        windowedStyle_ = GetWindowLongPtrA(window, GWL_STYLE);
        SetMenu(window, nullptr);
        browser_.Window().ShowStatusBar(false);
        SetWindowLongPtrA(window, GWL_STYLE, (windowedStyle_ & ~WS_OVERLAPPEDWINDOW) | WS_POPUP);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& r = monitor.rcMonitor;
        SetWindowPos(window, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        hint_.Show(window, r);
        browser_.Window().StartTimer(kHintTimer, FullscreenHint::kShownMs);
    } else {
        hint_.Hide();
        SetWindowLongPtrA(window, GWL_STYLE, windowedStyle_);
        SetMenu(window, menu_);
        browser_.Window().ShowStatusBar(true);
        SetWindowPlacement(window, &placement_);
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    }
    CheckMenuItem(menu_, kFullscreen, fullscreen ? MF_CHECKED : MF_UNCHECKED);
    LayoutApplet();
}

void Player::AskForFile()
{
    wchar_t file[MAX_PATH * 4] = L"";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = browser_.Window().Handle();
    dialog.lpstrFilter = L"Orbolanth applets and pages\0*.obvm;*.obv;*.html;*.htm\0All files\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file / sizeof file[0];
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&dialog)) OpenWide(file);
}

void Player::OpenWide(const std::wstring& path)
{
    const std::string ansi = AnsiPath(path);
    if (ansi.empty()) {
        ShowError(L"Cannot open " + path + L": its name does not fit this system's code page and it has no short name");
        return;
    }
    Open({ansi, {}, ""});
}

void Player::AskForUrl()
{
    std::string url;
    if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kUrlDialog), browser_.Window().Handle(),
                        &UrlDialogProc, reinterpret_cast<LPARAM>(&url)) != IDOK ||
        url.empty()) {
        return;
    }
    if (!IsPlayerUrl(url)) {
        ShowError("Not an http, https or file URL: " + url);
        return;
    }
    Open({url, {}, ""});
}

void Player::Dropped(HDROP drop)
{
    std::vector<std::wstring> files(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
    for (UINT i = 0; i < files.size(); ++i) {
        const UINT size = DragQueryFileW(drop, i, nullptr, 0);
        files[i].assign(size, L'\0');
        if (size > 0) DragQueryFileW(drop, i, &files[i][0], size + 1);
    }
    DragFinish(drop);
    if (files.empty()) return;
    OpenWide(files[FirstPlayable(files)]);
    if (files.size() > 1 && !errorShown_) browser_.Window().SetStatus(IgnoredDropNote(files.size() - 1));
}

void Player::About()
{
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = browser_.Window().Handle();
    box.hInstance = GetModuleHandleA(nullptr);
    box.lpszText = "Orbolanth Player " ORB_VERSION_SHORT "\n\nPlays Orbolanth 3-D applets and pages without a browser.";
    box.lpszCaption = "About Orbolanth Player";
    box.dwStyle = MB_OK | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEA(kPlayerIcon);
    MessageBoxIndirectA(&box);
}

HMENU Player::MakeMenu()
{
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kOpenFile, "&Open...\tCtrl+O");
    AppendMenuA(file, MF_STRING, kOpenUrl, "Open &URL...\tCtrl+U");
    recentMenu_ = CreatePopupMenu();
    AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recentMenu_), "Recent &files");
    AppendMenuA(file, MF_STRING, kReload, "&Reload\tF5");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, kExit, "E&xit");
    HMENU view = CreatePopupMenu();
    AppendMenuA(view, MF_STRING, kFullscreen, "&Full screen\tF11");
    AppendMenuA(view, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(view, MF_STRING, kFitToWindow, "Fit to &window");
    AppendMenuA(view, MF_STRING, kActualSize, "&Actual size");
    CheckMenuRadioItem(view, kFitToWindow, kActualSize, kFitToWindow, MF_BYCOMMAND);
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, kDiagnostics, "&Diagnostics...");
    AppendMenuA(help, MF_STRING, kAbout, "&About Orbolanth Player");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    return bar;
}

void Player::LoadRecent()
{
    RegistryReader key(HKEY_CURRENT_USER, kRecentKey);
    for (size_t i = kRecentFiles; i > 0; --i) AddRecent(recent_, key.String(("File" + std::to_string(i)).c_str()));
}

void Player::SaveRecent() const
{
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRecentKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const RegistryKeyHandle key(opened);
    for (size_t i = 0; i < kRecentFiles; ++i) {
        const std::string name = "File" + std::to_string(i + 1);
        if (i < recent_.size()) {
            RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(recent_[i].c_str()),
                           static_cast<DWORD>(recent_[i].size() + 1));
        } else {
            RegDeleteValueA(key.Get(), name.c_str());
        }
    }
}

void Player::ShowRecent()
{
    while (GetMenuItemCount(recentMenu_) > 0) DeleteMenu(recentMenu_, 0, MF_BYPOSITION);
    for (size_t i = 0; i < recent_.size(); ++i) {
        AppendMenuA(recentMenu_, MF_STRING, kFirstRecent + i, MenuLabel(i, recent_[i]).c_str());
    }
    if (recent_.empty()) AppendMenuA(recentMenu_, MF_STRING | MF_GRAYED, 0, "(none)");
    DrawMenuBar(browser_.Window().Handle());
}

void Player::Remember(const std::string& target)
{
    const std::string full = IsPlayerUrl(target) ? std::string() : FullPath(target);
    AddRecent(recent_, full.empty() ? target : full);
    SaveRecent();
    ShowRecent();
}

void Player::OnNavigate(PageInstance&, const std::string& url, const char*)
{
    // Whatever the target, nothing opens in the player: the user's programs take the links.
    if (!OpensOutside(url)) {
        browser_.Window().SetStatus("Not opened (only http, https and mailto links are): " + url);
        return;
    }
    // Each link opens a window of another program: an applet must not flood the desktop.
    if (!links_.Take(GetTickCount())) {
        browser_.Window().SetStatus("Not opened (too many links in a short time): " + url);
        return;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(browser_.Window().Handle(), "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    browser_.Window().SetStatus((result > 32 ? "Opened " : "Could not open ") + url);
}

void Player::OnCloseRequested()
{
    if (busy_ > 0) {
        pending_.Close();
        return;
    }
    pending_.CloseNow();
    {
        const BusyScope busy(busy_);
        browser_.ClosePage();
    }
    hint_.Hide();
    browser_.Window().Destroy();
}

void Player::OnTimer(UINT_PTR id)
{
    if (id == kProgressTimer) {
        ShowProgress();
    } else if (id == kHintTimer) {
        browser_.Window().StopTimer(kHintTimer);
        hint_.Hide();
    }
}

bool Player::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_DROPFILES:
        Dropped(reinterpret_cast<HDROP>(wParam));
        return true;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) LayoutApplet();
        return false;
    default:
        return false;
    }
}

bool Player::OnCommand(WORD id)
{
    if (busy_ > 0 && OpensSomething(id)) {
        // A recent entry is taken now: the list changes as pages open.
        if (id < kFirstRecent) {
            pending_.Menu(id);
        } else if (static_cast<size_t>(id - kFirstRecent) < recent_.size()) {
            pending_.Open(recent_[id - kFirstRecent]);
        }
        return true;
    }
    if (id >= kFirstRecent && id < kFirstRecent + kRecentFiles) {
        const size_t index = id - kFirstRecent;
        if (index < recent_.size()) Open({recent_[index], {}, ""});
        return true;
    }
    switch (id) {
    case kOpenFile: AskForFile(); return true;
    case kOpenUrl: AskForUrl(); return true;
    case kReload:
        if (!opened_.target.empty()) Open(PlayerTarget(opened_));
        return true;
    case kExit: OnCloseRequested(); return true;
    case kFullscreen: SetFullscreen(!fullscreen_); return true;
    case kLeaveFullscreen:  // Esc: as a browser's Stop, and out of full screen
        SetFullscreen(false);
        browser_.StopFetches();
        return true;
    case kFitToWindow: SetFit(true); return true;
    case kActualSize: SetFit(false); return true;
    case kAbout: About(); return true;
    case kDiagnostics:
        DiagnosticsWindow(DiagnosticsText(GatherDiagnostics(plugin_))).Show(browser_.Window().Handle());
        return true;
    default: return false;
    }
}
