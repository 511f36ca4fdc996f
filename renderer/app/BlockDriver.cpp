#include "BlockDriver.h"

#include "RendererHost.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/MessagePump.h"

namespace orb {

namespace {

constexpr int32_t kNavigationId = -2;
// While a file is on its way and things move the block is looked at this often, paused or
// not: a scene that loads asks for its next file only once the previous one has arrived.
constexpr DWORD kLoadingPollMs = 2;

}  // namespace

void BlockDriver::Queue(int id, std::string text)
{
    outbox_.emplace_back(id, std::move(text));
    requests_.Queued(GetTickCount());
}

void BlockDriver::RequestResource(int id, const std::string& name)
{
    Queue(id, name);
}

void BlockDriver::ResourceDone(int id)
{
    done_.push_back(id);
}

void BlockDriver::ShowStatus(const std::string& text)
{
    if (text == status_) return;
    status_ = text;
    statusChanged_ = true;
}

void BlockDriver::Navigate(const std::string& target, const std::string& url)
{
    Queue(kNavigationId, target + ":" + url);
}

bool BlockDriver::ReadLaunch(LaunchFields& fields)
{
    MutexGuard guard(client_.Mutex());
    if (!guard.Acquire()) return false;
    fields = client_.ReadLaunchFields();
    return true;
}

bool BlockDriver::Exchange(Turn& turn)
{
    MutexGuard guard(client_.Mutex());
    if (!guard.Acquire()) return false;
    const uint32_t now = GetTickCount();
    turn.quit = client_.QuitRequested();
    turn.active = client_.IsActive();
    turn.windows = client_.Windows();

    while (!outbox_.empty()) {
        const auto& [id, name] = outbox_.front();
        if (client_.PostRequest(id, name) < 0) break;  // the rest waits for a free slot
        requests_.Posted(id, now);
        outbox_.pop_front();
    }

    // The plug-in keeps a delivered file until its id is released, so an id is released
    // only once the session has read its file.
    for (int done : done_) client_.ReleaseRequest(done);
    done_.clear();
    int32_t id;
    std::string path;
    while (client_.TakeDelivery(&id, &path)) {
        if (!requests_.End(id, now)) {
            client_.ReleaseRequest(id);
            continue;
        }
        turn.arrived.emplace_back(id, path);
    }
    for (const auto& waiting : requests_.OnTheirWay()) {
        const int32_t status = client_.Status(waiting.first);
        if (status == StateFailed) {
            turn.failed.push_back(waiting.first);
        } else {
            requests_.Saw(waiting.first, status, now);
        }
    }
    for (int failed : turn.failed) {
        client_.ReleaseRequest(failed);
        requests_.End(failed, now);
    }

    if (statusChanged_ && client_.SetStatusText(status_.c_str())) statusChanged_ = false;
    return true;
}

int BlockDriver::Run(const std::string& namePart)
{
    if (!client_.Attach(namePart)) return 1;
    LaunchFields fields;
    while (!ReadLaunch(fields)) Sleep(10);

    const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(fields.pluginWindow));
    RendererHost host(window, fields.rendererArgs, *this);
    host.Session().Start(fields.appletUrl);

    for (;;) {
        Turn turn;
        if (Exchange(turn)) {
            if (turn.quit) break;
            host.SetActive(turn.active);
            host.SetWindows(turn.windows);
        }
        if (!IsWindow(window)) break;
        for (const auto& [id, path] : turn.arrived) host.Session().ResourceArrived(id, path);
        for (int id : turn.failed) host.Session().ResourceFailed(id);
        // A slice of a large file a turn, with the windows answered in between.
        const bool loading = host.LoadSlice();
        DWORD wait = host.Step();
        if (requests_.Loading(GetTickCount(), !outbox_.empty())) wait = std::min(wait, kLoadingPollMs);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, loading ? 0 : wait, QS_ALLINPUT);
        PumpMessages();
    }

    MutexGuard guard(client_.Mutex());
    if (guard.Acquire()) client_.SetStatusText(nullptr);
    return 0;
}

}  // namespace orb
