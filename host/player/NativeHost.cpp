#include "NativeHost.h"

#include <algorithm>

#include "Base64.h"
#include "JsonValue.h"
#include "JsonWriter.h"
#include "NativeMessageFrame.h"
#include "PlayerPage.h"
#include "PluginFinder.h"
#include "base/AnsiPath.h"

namespace {

constexpr char kFrameClass[] = "OrbolanthPlayerHostFrame";
constexpr UINT_PTR kFrameTimer = BrowserEvents::kFirstOwnerTimer + 1;
constexpr UINT kFrameMs = 10;
// Messages handled in one turn of the window before it answers anything else.
constexpr int kMessagesPerTurn = 64;
// A picture's JPEG qualities, tried in turn until its message fits the browser's limit.
constexpr float kQualities[] = {0.85f, 0.6f, 0.35f};
// The page's close waits this long at most for the last replies to be written.
constexpr DWORD kFlushMs = 2000;

// Text of the plug-in (the ANSI code page) as the JSON's UTF-8.
std::string Utf8(const std::string& ansi)
{
    const std::wstring wide = AnsiToWide(ansi);
    if (wide.empty()) return "";
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
    }
    return text;
}

// A reply to the page.
class Reply {
public:
    explicit Reply(const char* type) { value_.Add("type", JsonValue::String(type)); }
    Reply& Int(const char* key, int64_t number)
    {
        value_.Add(key, JsonValue::Number(static_cast<double>(number)));
        return *this;
    }
    Reply& Text(const char* key, const std::string& text)
    {
        value_.Add(key, JsonValue::String(text));
        return *this;
    }
    // Empty when it cannot be written (text that is not UTF-8).
    std::string Json() const
    {
        std::string json;
        return WriteJson(value_, json) ? json : std::string();
    }

private:
    JsonValue value_ = JsonValue::Object();
};

// Wine keeps no picture of what another process draws into a window but the screen's (see
// WindowPicture): there the frame must be on the screen, below every other window, and its
// pictures are read from the screen. Windows composes every window's whole picture, so there
// the frame stays off every screen and its pictures come from its own device context.
bool PicturesFromScreen()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

POINT UnseenPlace(bool fromScreen)
{
    if (fromScreen) return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
    return {GetSystemMetrics(SM_XVIRTUALSCREEN) - 0x7FFF, GetSystemMetrics(SM_YVIRTUALSCREEN) - 0x7FFF};
}

// The window under `point` (client coordinates of `area` in, of the window found out), down to
// the deepest visible child.
HWND DeepestChild(HWND area, POINT& point)
{
    HWND at = area;
    for (int depth = 0; depth < 16; ++depth) {
        HWND child = ChildWindowFromPointEx(at, point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == at) break;
        MapWindowPoints(at, child, &point, 1);
        at = child;
    }
    return at;
}

WPARAM KeyFlags(int modifiers)
{
    return (modifiers & 1 ? MK_SHIFT : 0) | (modifiers & 2 ? MK_CONTROL : 0);
}

}  // namespace

void RefuseCaller(HANDLE output)
{
    std::string frame;
    const std::string json = Reply("error").Text("what", "this host serves only the Orbolanth extension").Json();
    if (!FrameHostMessage(json, frame)) return;
    DWORD wrote = 0;
    WriteFile(output, frame.data(), static_cast<DWORD>(frame.size()), &wrote, nullptr);
}

NativeHost::NativeHost(HANDLE input, HANDLE output)
    : pipe_(input, output),
      fetches_([this](const std::string& json) { pipe_.Send(json); }),
      browser_(options_, log_, *this),
      fromScreen_(PicturesFromScreen())
{
}

int NativeHost::Run()
{
    const PluginCandidate plugin = [] {
        const std::vector<PluginCandidate> known = KnownPlugins(ProgramFolder());
        const PluginCandidate* found = FirstHandling(known, kAppletType);
        return found ? *found : PluginCandidate();
    }();
    std::string error;
    const bool ready = !plugin.path.empty() && browser_.ReadRegistration(plugin.path, error) &&
                       browser_.StartPlugin(plugin.path, error);
    browser_.SetBodySource(fetches_.Source());
    const POINT unseen = UnseenPlace(fromScreen_);
    browser_.MakeWindow(kFrameClass, "Orbolanth Player", 1, 1, nullptr, &unseen);
    if (fromScreen_) {
        SetWindowPos(browser_.Window().Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (!browser_.Window().Handle() || !pipe_.Start(browser_.Window().WorkPoster())) return 1;
    if (!ready) {
        // Every element will be refused; the page learns why once.
        SendError(plugin.path.empty() ? "no Orbolanth plug-in is installed" : "the plug-in cannot be used: " + error);
    }
    browser_.Window().StartTimer(kFrameTimer, kFrameMs);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!browser_.PageClosed()) browser_.ClosePage();
    pipe_.Flush(kFlushMs);
    return 0;
}

void NativeHost::OnStreamWork()
{
    Drain();
}

void NativeHost::Drain()
{
    // Inside a page operation the plug-in may be pumping messages: the next turn handles them.
    if (closing_ || handling_ || browser_.Busy()) return;
    std::string json;
    for (int handled = 0; handled < kMessagesPerTurn; ++handled) {
        if (!pipe_.Take(json)) break;
        handling_ = true;
        Handle(json);
        handling_ = false;
        if (closing_) return;
    }
    std::string why;
    if (pipe_.Ended(why)) {
        if (!why.empty()) log_.Line("* input broke: " + why);
        Close();
    } else if (pipe_.HasMessages()) {
        browser_.Window().PostWork();
    }
}

void NativeHost::Handle(const std::string& json)
{
    HostCommand command;
    std::string error;
    if (!ReadHostCommand(json, command, error)) {
        SendError(error);
        return;
    }
    if (!Apply(command, error)) SendError(error, command.element);
}

bool NativeHost::Apply(const HostCommand& command, std::string& error)
{
    using Kind = HostCommand::Kind;
    if (command.kind == Kind::kHello) {
        if (greeted_) {
            error = "hello: the page has greeted already";
            return false;
        }
        greeted_ = true;
        png_ = command.png;
        visible_ = command.flag;
        browser_.SetPageUrl(command.pageUrl);
        return true;
    }
    if (!greeted_) {
        error = "the first message must be hello";
        return false;
    }
    switch (command.kind) {
    case Kind::kAdd:
        Add(command, error);
        return error.empty();
    case Kind::kVisible:
        visible_ = command.flag;
        // Back in view, the page's canvas has the last picture, but a frame now costs little.
        for (auto& element : elements_) element.second.pacer.Forget();
        return true;
    case Kind::kFileData:
        if (fetches_.Piece(command.request, command.data)) return true;
        error = "fileData: unknown request";
        return false;
    case Kind::kFileEnd:
        if (fetches_.End(command.request, command.flag, command.url, command.mimeType, command.text)) return true;
        error = "fileEnd: unknown request";
        return false;
    default:
        break;
    }
    auto found = elements_.find(command.element);
    if (found == elements_.end()) {
        error = "unknown element " + std::to_string(command.element);
        return false;
    }
    Element& element = found->second;
    switch (command.kind) {
    case Kind::kRemove:
        Remove(command.element);
        return true;
    case Kind::kResize:
        element.width = command.width;
        element.height = command.height;
        element.pacer.Forget();
        Layout();
        return true;
    case Kind::kMouse:
        Mouse(element, command);
        return true;
    case Kind::kKey:
        Key(element, command);
        return true;
    case Kind::kFocus: {
        HWND target = element.keyTarget && IsWindow(element.keyTarget) ? element.keyTarget : element.instance->area;
        if (target) PostMessageW(target, command.flag ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0);
        return true;
    }
    case Kind::kFrameAck:
        if (element.pacer.Acknowledge(command.frame)) return true;
        error = "frameAck: frame " + std::to_string(command.frame) + " was never sent";
        return false;
    default:
        return true;
    }
}

void NativeHost::Add(const HostCommand& command, std::string& error)
{
    if (used_.count(command.element)) {
        error = "add: element " + std::to_string(command.element) + " was added before";
        return;
    }
    if (elements_.size() >= kMostElements) {
        error = "add: the page has " + std::to_string(kMostElements) + " elements playing already";
        return;
    }
    used_.insert(command.element);
    Embed embed;
    for (const auto& attribute : command.attributes) embed.attributes.push_back({attribute.first, attribute.second});
    // An <object> names its file with data where an <embed> has src.
    if (command.object && !embed.Find("src") && embed.Find("data")) embed.attributes.push_back({"src", *embed.Find("data")});
    // The canvas's size in device pixels is the element's; and the plug-in sees its window as
    // active whatever the foreground: the browser's window always is, never the host's own.
    ApplyParams(embed, {{"width", std::to_string(command.width)},
                        {"height", std::to_string(command.height)},
                        {"AlwaysActive", "true"}});
    Element added;
    added.width = command.width;
    added.height = command.height;
    // The new element goes after the others, which keep their places.
    int right = 0;
    for (const auto& element : elements_) right += element.second.width;
    const RECT place = {right, 0, right + command.width, command.height};
    Element& element = elements_.emplace(command.element, added).first->second;
    Layout();
    element.instance = browser_.AddInstance(embed, place);
    if (!element.instance || !element.instance->created) {
        if (element.instance) browser_.CloseInstance(*element.instance);
        elements_.erase(command.element);
        Layout();
        error = "add: the plug-in does not play this element";
        pipe_.Send(Reply("closed").Int("element", command.element).Json());
    }
}

void NativeHost::Remove(int id)
{
    auto found = elements_.find(id);
    if (found == elements_.end()) return;
    PageInstance* instance = found->second.instance;
    elements_.erase(found);
    if (instance) browser_.CloseInstance(*instance);
    pipe_.Send(Reply("closed").Int("element", id).Json());
    Layout();
}

// Side by side, in the order the page numbered them: no area covers another's picture.
void NativeHost::Layout()
{
    int right = 0;
    int bottom = 1;
    for (auto& entry : elements_) {
        Element& element = entry.second;
        if (element.instance && element.instance->area) {
            RECT now = {};
            GetWindowRect(element.instance->area, &now);
            MapWindowPoints(nullptr, browser_.Window().Handle(), reinterpret_cast<POINT*>(&now), 2);
            if (now.left != right || now.top != 0 || now.right - now.left != element.width ||
                now.bottom - now.top != element.height) {
                browser_.PlaceInstance(*element.instance, right, 0, element.width, element.height);
            }
        }
        right += element.width;
        bottom = std::max(bottom, element.height);
    }
    SetWindowPos(browser_.Window().Handle(), nullptr, 0, 0, std::max(right, 1), bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void NativeHost::Mouse(Element& element, const HostCommand& command)
{
    HWND area = element.instance->area;
    if (!area) return;
    POINT point = {command.x, command.y};
    HWND target = DeepestChild(area, point);
    static const UINT kDown[] = {WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
    static const UINT kUp[] = {WM_LBUTTONUP, WM_MBUTTONUP, WM_RBUTTONUP};
    static const WPARAM kHeld[] = {MK_LBUTTON, MK_MBUTTON, MK_RBUTTON};
    UINT message = WM_MOUSEMOVE;
    switch (command.mouse) {
    case HostCommand::Mouse::kDown:
        element.buttons |= kHeld[command.button];
        element.keyTarget = target;
        message = kDown[command.button];
        break;
    case HostCommand::Mouse::kUp:
        element.buttons &= ~kHeld[command.button];
        message = kUp[command.button];
        break;
    case HostCommand::Mouse::kWheel: {
        // The wheel's message carries screen coordinates, and a turn away from the user is
        // positive where the page's "down" is.
        POINT screen = point;
        ClientToScreen(target, &screen);
        const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(element.buttons | KeyFlags(command.modifiers)),
                                         static_cast<WORD>(static_cast<short>(-command.deltaY)));
        PostMessageW(target, WM_MOUSEWHEEL, wParam, MAKELPARAM(screen.x, screen.y));
        return;
    }
    case HostCommand::Mouse::kMove:
        break;
    }
    PostMessageW(target, message, element.buttons | KeyFlags(command.modifiers), MAKELPARAM(point.x, point.y));
}

void NativeHost::Key(Element& element, const HostCommand& command)
{
    HWND target = element.keyTarget && IsWindow(element.keyTarget) ? element.keyTarget : element.instance->area;
    if (!target) return;
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(command.keyCode), MAPVK_VK_TO_VSC);
    const LPARAM lParam = 1 | static_cast<LPARAM>(scan & 0xFF) << 16 | (command.flag ? 0 : 0xC0000000);
    PostMessageW(target, command.flag ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(command.keyCode), lParam);
    if (!command.flag || command.text.empty()) return;
    wchar_t units[32];
    const int count = MultiByteToWideChar(CP_UTF8, 0, command.text.data(), static_cast<int>(command.text.size()), units,
                                          32);
    for (int i = 0; i < count; ++i) PostMessageW(target, WM_CHAR, units[i], lParam);
}

void NativeHost::OnTimer(UINT_PTR id)
{
    if (id != kFrameTimer) return;
    Drain();
    SendFrames();
}

void NativeHost::SendFrames()
{
    if (!visible_ || closing_ || handling_ || browser_.Busy()) return;
    const DWORD now = GetTickCount();
    for (auto& entry : elements_) {
        Element& element = entry.second;
        if (!element.instance || !element.instance->area || !element.pacer.Due(now)) continue;
        SendFrame(entry.first, element, now);
    }
}

bool NativeHost::SendFrame(int id, Element& element, DWORD now)
{
    // A frame's message is a megabyte at most: one that would not fit in the queue waits.
    const WindowPicture::Source source = fromScreen_ ? WindowPicture::Source::kScreen : WindowPicture::Source::kWindow;
    if (!pipe_.HasRoomFor(kMaxHostMessageBytes) || !picture_.Take(element.instance->area, source)) return false;
    if (!element.pacer.Changed(picture_.Pixels(), picture_.Bytes(), picture_.Width(), picture_.Height())) return false;
    // Base64 and the message around it must stay within the browser's limit.
    constexpr size_t kLargestPicture = (kMaxHostMessageBytes - 256) / 4 * 3;
    std::string bytes;
    bool fits = false;
    for (float quality : kQualities) {
        fits = encoder_.Encode(picture_.Pixels(), picture_.Width(), picture_.Height(), png_, quality, bytes) &&
               bytes.size() <= kLargestPicture;
        if (fits || png_) break;
    }
    const std::string json = fits ? Reply("frame")
                                        .Int("element", id)
                                        .Int("frame", element.pacer.Next())
                                        .Int("width", picture_.Width())
                                        .Int("height", picture_.Height())
                                        .Text("format", png_ ? "png" : "jpeg")
                                        .Text("data", EncodeBase64(bytes))
                                        .Json()
                                  : std::string();
    if (json.empty() || !pipe_.Send(json, true)) {
        element.pacer.Forget();  // the same picture is tried again
        return false;
    }
    element.pacer.Sent(now);
    return true;
}

void NativeHost::SendError(const std::string& what, int element)
{
    Reply reply("error");
    reply.Text("what", Utf8(what));
    if (element > 0) reply.Int("element", element);
    pipe_.Send(reply.Json());
}

int NativeHost::ElementOf(const PageInstance& instance) const
{
    for (const auto& element : elements_) {
        if (element.second.instance == &instance) return element.first;
    }
    return 0;
}

void NativeHost::OnStatus(PageInstance& instance, const std::string& text)
{
    const int id = ElementOf(instance);
    auto found = elements_.find(id);
    if (found == elements_.end() || found->second.status == text) return;
    found->second.status = text;
    pipe_.Send(Reply("status").Int("element", id).Text("text", Utf8(text)).Json());
}

void NativeHost::OnNavigate(PageInstance& instance, const std::string& url, const char* target)
{
    const int id = ElementOf(instance);
    // The page opens the link as a link of its own: the same schemes and the same throttle as
    // the player's links to the user's programs.
    if (id == 0 || !OpensOutside(url) || !links_.Take(GetTickCount())) {
        log_.Line("* navigate not passed on url=" + CallLog::Quote(url));
        return;
    }
    pipe_.Send(Reply("navigate").Int("element", id).Text("url", Utf8(url)).Text("target", Utf8(target ? target : "")).Json());
}

void NativeHost::OnCloseRequested()
{
    Close();
}

void NativeHost::Close()
{
    if (closing_) return;
    closing_ = true;
    browser_.Window().StopTimer(kFrameTimer);
    elements_.clear();
    browser_.ClosePage();
    browser_.Window().Destroy();
}

bool NativeHost::OnFrameMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    // The frame holds every element side by side, larger than any screen if need be.
    if (message != WM_GETMINMAXINFO) return false;
    auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
    limits->ptMaxTrackSize = {0x7FFF, 0x7FFF};
    limits->ptMaxSize = {0x7FFF, 0x7FFF};
    result = 0;
    return true;
}
