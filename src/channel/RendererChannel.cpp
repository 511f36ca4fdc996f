#include "channel/RendererChannel.h"

#include <objbase.h>

#include <cstdio>

#include "base/Held.h"
#include "base/Trace.h"
#include "block/MutexGuard.h"
#include "block/ObjectSecurity.h"
#include "block/WindowWord.h"
#include "settings/RegistryKey.h"

namespace {

constexpr char kRendererPathValue[] = "RendererPath";
constexpr char kCommandLineTail[] = "\" ActiveXOrbolanth.GoBlueHarbor ";

// A fresh GUID in its registry form, braces included, in the ANSI code page.
bool DrawNamePart(std::string* namePart)
{
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) return false;
    wchar_t wide[260];
    if (StringFromGUID2(guid, wide, 260) == 0) return false;
    char narrow[260];
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr) == 0) return false;
    *namePart = narrow;
    return true;
}

}  // namespace

RendererChannel::~RendererChannel() = default;

void RendererChannel::Close()
{
    resources.Close();
}

bool RendererChannel::CreateBlock(const LaunchSettings& settings)
{
    resources.SetFetcher(settings.fetcher);
    resources.SetAppletUrl(settings.appletUrl.substr(0, kUrlLimit - 1));  // as the block holds it
    alwaysActive = settings.alwaysActive;
    std::string name;
    if (!DrawNamePart(&name)) {
        TraceEvent("group", "block not created: no GUID for its name");
        return false;
    }
    // In a Protected Mode tab the renderer runs at low integrity as we do: the objects say so.
    const ObjectLabel label = CreatorLabel();
    if (!Create(name, label) || !CreateBlockMutex(label)) {
        const DWORD error = GetLastError();
        TraceEvent(TraceSubject(), "block " + name + " not created: error " + std::to_string(error));
        return false;
    }
    resources.SetTraceSubject(TraceSubject());
    TraceEvent(TraceSubject(), "block " + name + " created for " + settings.appletUrl);

    // Nobody else knows the block's name yet, so the launch fields go in without the mutex.
    ChannelBlock* block = Block();
    block->pluginWindow = WindowWord(settings.window);
    block->active = settings.alwaysActive ? 1 : 0;
    block->adsMode = settings.adsMode;
    block->siteId = settings.siteId;
    View()->StoreString(block->pageLocation, settings.pageLocation.c_str(), kUrlLimit);
    View()->StoreString(block->appletUrl, settings.appletUrl.c_str(), kUrlLimit);
    View()->StoreString(block->rendererArgs, settings.rendererArgs.c_str(), kArgsLimit);
    return true;
}

bool RendererChannel::Launch(const LaunchSettings& settings)
{
    return CreateBlock(settings) && StartProcess();
}

std::string RendererArguments(const std::string& commandLine, int width, int height)
{
    const std::string size = " -width " + std::to_string(width) + " -height " + std::to_string(height);
    const size_t room = kArgsLimit - 1 - size.size();
    if (commandLine.size() <= room) return commandLine + size;
    size_t cut = commandLine.rfind(' ', room);
    if (cut == std::string::npos || cut == 0) cut = room;
    while (cut > 0 && commandLine[cut - 1] == ' ') --cut;
    return commandLine.substr(0, cut) + size;
}

bool RendererChannel::StartProcess()
{
    RegistryKey key;
    std::string path;
    if (!key.Open() || !key.QueryString(kRendererPathValue, path)) {
        TraceEvent(TraceSubject(), std::string("renderer not started: no ") + kRendererPathValue +
                                       " value under HKLM\\" + kConfigurationKey);
        return false;
    }
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        const DWORD error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
        TraceEvent(TraceSubject(), "renderer " + path + " not started: its path does not open, error " +
                                       std::to_string(error));
        return false;
    }

    // With this process's own token, never another's nor an elevated one: in a Protected Mode
    // tab the renderer then runs at the tab's low integrity, as the block's label expects.
    // Made whole, never cut: CreateProcessA may write into it, so it is a buffer of its own.
    std::string commandLine = std::string("\"") + shortPath + kCommandLineTail + namePart;
    STARTUPINFOA startup{};
    static_assert(sizeof startup == (sizeof(void*) == 4 ? 68 : 104));
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        const DWORD error = GetLastError();
        TraceEvent(TraceSubject(), "renderer " + path + " not started: CreateProcess error " + std::to_string(error));
        return false;
    }
    KernelHandle thread(started.hThread);
    process.Reset(started.hProcess);
    TraceEvent(TraceSubject(), "renderer " + path + " started, process " + std::to_string(started.dwProcessId));
    return true;
}

void RendererChannel::TraceExit(const char* how) const
{
    if (!TraceOn() || !process) return;
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    TraceEvent(TraceSubject(), code == STILL_ACTIVE ? std::string(how) + ": the renderer still runs"
                                                    : std::string(how) + ": the renderer exited with code " +
                                                          std::to_string(code));
}

std::string RendererChannel::TraceSubject() const
{
    // "{1A2B3C4D-..." gives "group 1A2B3C4D": enough to tell a process's groups apart.
    return "group " + (namePart.size() > 9 ? namePart.substr(1, 8) : std::string("(unnamed)"));
}

bool RendererChannel::IsRendererRunning() const
{
    if (!process) return false;
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code == STILL_ACTIVE;
}

bool RendererChannel::RequestQuit()
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) {
        TraceEvent(TraceSubject(), "quit not requested: the block's mutex was not free");
        return false;
    }
    Block()->quitRequest = 1;
    guard.Release();
    TraceEvent(TraceSubject(), "quit requested");
    return true;
}

void RendererChannel::SetActive(bool on)
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) return;
    if (!alwaysActive) Block()->active = on ? 1 : 0;
}

bool RendererChannel::GetStatusText(std::string& text)
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) return false;
    return View()->ReadString(Peek(Block()->statusText), &text);
}

void RendererChannel::LoadMappings(const std::map<std::string, std::string>& map)
{
    Held<RendererChannel> self(this);
    PendingFetches fetches;
    {
        MutexGuard guard(Mutex());
        if (!guard.Acquire()) return;
        resources.LoadMappings(*View(), map, fetches);
    }
    resources.StartFetches(fetches);
}

TickReport RendererChannel::ServiceTick()
{
    Held<RendererChannel> self(this);
    PendingFetches fetches;
    fetches.reserve(kRequestSlots);
    TickReport report;
    {
        MutexGuard guard(Mutex());
        if (!guard.Acquire()) return report;
        report.progressed = TakeRequests(fetches);
    }
    resources.StartFetches(fetches);
    report.underWay = resources.UnderWay();
    return report;
}

bool RendererChannel::TakeRequests(PendingFetches& fetches)
{
    ChannelBlock* block = Block();
    block->heartbeat = GetTickCount();
    bool moved = resources.Publish(*View());
    std::string name;
    for (RequestSlot& slot : block->requests) {
        int32_t id = Peek(slot.id);
        if (id == kFreeSlot) continue;
        moved = true;
        // A request without a readable name is dropped; its reference is let go unfreed.
        if (View()->ReadString(Peek(slot.name), &name)) {
            resources.Request(*View(), id, name.c_str(), nullptr, block->heartbeat, fetches);
        }
        Poke(slot.id, kFreeSlot);
        View()->StoreString(slot.name, nullptr, 0);
    }
    return moved;
}

// A record whose name reference designates no string counts as free, like 0 and "".
std::string RendererChannel::RecordName(int record)
{
    std::string name;
    View()->ReadString(Peek(Block()->windows[record].name), &name);
    return name;
}

int RendererChannel::FindRecordByName(const std::string& name)
{
    for (int i = 0; i < kWindowRecords; ++i) {
        if (RecordName(i) == name) return i;
    }
    return -1;
}

int RendererChannel::FindRecordByWindow(HWND window) const
{
    for (int i = 0; i < kWindowRecords; ++i) {
        if (Peek(Block()->windows[i].window) == WindowWord(window)) return i;
    }
    return -1;
}

bool RendererChannel::RegisterWindow(const std::string& name, HWND window)
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) return false;
    if (!IsWindow(window) || FindRecordByWindow(window) >= 0 || name.empty()) return false;
    WindowRecord* windows = Block()->windows;
    int record = FindRecordByName(name);
    if (record >= 0) {
        if (Peek(windows[record].window) != 0) return false;
        Poke(windows[record].window, WindowWord(window));
        return true;
    }
    record = FindRecordByName("");
    if (record < 0 || !View()->StoreString(windows[record].name, name.c_str(), kWindowNameLimit)) {
        return false;
    }
    Poke(windows[record].window, WindowWord(window));
    return true;
}

bool RendererChannel::UnregisterWindow(const std::string& name, HWND window)
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) return false;
    if (!IsWindow(window) || name.empty()) return false;
    int record = FindRecordByName(name);
    if (record < 0 || record != FindRecordByWindow(window)) return false;

    // Only the window goes: the group's other windows, maybe of other pages, keep their
    // renderer. Whoever owns the renderer asks it to quit.
    WindowRecord& found = Block()->windows[record];
    Poke(found.window, 0u);
    View()->StoreString(found.name, nullptr, 0);
    return true;
}

bool RendererChannel::ReserveWindowName(const std::string& name)
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) return false;
    if (name.empty() || FindRecordByName(name) >= 0) return false;
    int record = FindRecordByName("");
    WindowRecord* windows = Block()->windows;
    if (record < 0 || !View()->StoreString(windows[record].name, name.c_str(), kWindowNameLimit)) {
        return false;
    }
    Poke(windows[record].window, 0u);
    return true;
}

bool RendererChannel::LookupWindow(const std::string& name, HWND* window)
{
    MutexGuard guard(Mutex());
    if (!guard.Acquire()) return false;
    int record = FindRecordByName(name);
    uint32_t word = record >= 0 ? Peek(Block()->windows[record].window) : 0;
    *window = WindowFromWord(word);
    return record >= 0;
}
