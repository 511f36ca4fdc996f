#include "BrowserHost.h"

#include <cmath>

#include "ChildProcesses.h"
#include "PluginFinder.h"
#include "base/MessagePump.h"

namespace {

constexpr char kLocationScript[] = "javascript:window.location.href";
constexpr char kAddonProperty[] = "OrbhostAddonReplaced";

}  // namespace

BrowserHost* BrowserHost::current_ = nullptr;

BrowserHost::BrowserHost(const HostOptions& options, CallLog& log)
    : options_(options), log_(log), browser_(options.browser, log, *this)
{
    current_ = this;
}

int BrowserHost::Run()
{
    int code = ShowPage();
    log_.Line("* exit code=" + std::to_string(code));
    return code;
}

int BrowserHost::ShowPage()
{
    if (!options_.until.empty()) log_.Watch(options_.until, [this] { RequestClose("until"); });
    std::string error;
    std::vector<Embed> embeds;
    const std::string pluginPath = PluginPath();
    if (!browser_.ReadRegistration(pluginPath, error)) return 2;
    if (!browser_.ReadPageNow(options_.page, options_.pageUrl, embeds, error)) return 1;
    if (!browser_.StartPlugin(pluginPath, error)) return 2;

    browser_.MakeWindow("OrbhostFrame", "orbhost - " + browser_.PageUrl(), options_.windowWidth,
                        options_.windowHeight);
    browser_.OpenPage(embeds);

    HostWindow& window = browser_.Window();
    if (options_.seconds > 0) {
        window.StartTimer(kCloseTimer, static_cast<UINT>(std::lround(options_.seconds * 1000)));
    }
    if (!closeReason_.empty()) window.PostClose();
    CheckIdle();

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!browser_.PageClosed()) browser_.ClosePage();
    return 0;
}

std::string BrowserHost::PluginPath() const
{
    if (!options_.pluginPath.empty()) return options_.pluginPath;
    const std::string beside = ProgramFolder() + "\\npOrbolanth.dll";
    if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    return ORB_DEFAULT_PLUGIN;
}

void BrowserHost::RequestClose(const char* reason)
{
    if (!closeReason_.empty()) return;
    closeReason_ = reason;
    if (browser_.PluginLoaded() && !browser_.PageClosed()) browser_.Window().PostClose();
}

void BrowserHost::CheckIdle()
{
    if (!options_.untilIdle) return;
    if (browser_.Idle()) {
        browser_.Window().StartTimer(kIdleTimer, static_cast<UINT>(options_.settleMs));
    } else {
        browser_.Window().StopTimer(kIdleTimer);
    }
}

void BrowserHost::OnTimer(UINT_PTR id)
{
    if (id == kCloseTimer) {
        RequestClose("seconds");
    } else if (id == kIdleTimer && browser_.Idle()) {
        RequestClose("idle");
    }
}

void BrowserHost::OnCloseRequested()
{
    if (closeReason_.empty()) closeReason_ = "window";
    // Closing unloads the library, whose code is on the stack below the dialog: the close
    // waits for the dialog to end.
    if (inModalLoop_) return;
    log_.Line("* close reason=" + closeReason_);
    browser_.ClosePage();
    browser_.Window().Destroy();
}

void BrowserHost::OnNavigate(PageInstance&, const std::string& url, const char* target)
{
    browser_.Window().SetStatus("Navigate: " + url + " (" + target + ")");
    browser_.Window().SetTitle("orbhost - navigate to " + url);
}

void BrowserHost::OnService(const char* call, const char* url)
{
    const std::string text = url ? url : "";
    if (modalLoopDone_ || options_.modalCall != call || text == kLocationScript ||
        text.find(options_.modalUrl) == std::string::npos) {
        return;
    }
    modalLoopDone_ = true;
    log_.Line("* modal-loop call=" + std::string(call) + " ms=" + std::to_string(options_.modalMs) +
              " action=" + CallLog::Quote(options_.inLoop.c_str()));
    if (options_.inLoop == "kill-renderer") {
        log_.Line("* killed count=" + std::to_string(EndChildProcesses(GetCurrentProcess(), 9)));
    } else if (options_.inLoop == "close-page") {
        browser_.CloseInstances();
    }
    inModalLoop_ = true;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(options_.modalMs)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpMessages();
    }
    inModalLoop_ = false;
    log_.Line("* modal-loop-end");
    if (options_.inLoop == "close-page") RequestClose("modal-loop");
    if (!closeReason_.empty()) browser_.Window().PostClose();
}

void BrowserHost::OnWindowGiven(PageInstance& instance)
{
    if (!options_.subclassAreas) return;
    LONG_PTR replaced = SetWindowLongPtrA(instance.area, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AddonProc));
    SetPropA(instance.area, kAddonProperty, reinterpret_cast<HANDLE>(replaced));
    log_.Line("* addon inst=" + std::to_string(instance.id) + " window=" + CallLog::Pointer(instance.area) +
              " replaced=" + CallLog::Pointer(reinterpret_cast<void*>(replaced)));
}

void BrowserHost::OnInstanceClosing(PageInstance& instance)
{
    if (!options_.subclassAreas || !instance.area) return;
    const bool first = GetWindowLongPtrA(instance.area, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AddonProc);
    log_.Line("* addon-chain inst=" + std::to_string(instance.id) + " first=" + (first ? "1" : "0") +
              " answer=" + std::to_string(SendMessageA(instance.area, WM_NULL, 0, 0)));
}

LRESULT CALLBACK BrowserHost::AddonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC replaced = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kAddonProperty));
    if (message == WM_DESTROY && current_) {
        PageInstance* instance = current_->browser_.InstanceOfArea(hwnd);
        current_->log_.Line("* addon-destroy inst=" + std::to_string(instance ? instance->id : 0));
    }
    if (message == WM_NCDESTROY) RemovePropA(hwnd, kAddonProperty);
    return replaced ? CallWindowProcA(replaced, hwnd, message, wParam, lParam)
                    : DefWindowProcA(hwnd, message, wParam, lParam);
}
