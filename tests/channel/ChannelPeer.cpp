// The other process of the channel tests, built on the renderer side of the wire only.
//
//   channel_peer ActiveXOrbolanth.GoBlueHarbor {GUID}     started by a real launch: reports
//       its command line and the launch fields to %ORB_PEER_REPORT%, then exits with
//       %ORB_PEER_EXIT% or, without it, once the plug-in asks it to quit; with
//       %ORB_PEER_HANG% set it ignores the quit request for a minute
//   channel_peer hold NAMEPART HELD_EVENT RELEASE_EVENT   holds the mutex until released
//   channel_peer abandon NAMEPART HELD_EVENT              takes the mutex and dies with it
//   channel_peer exchange NAMEPART AVOID SEED ROUNDS REPORT
//   channel_peer hostile NAMEPART SEED MILLISECONDS REPORT
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Exchange.h"
#include "HeapCheck.h"
#include "base/UniqueHandle.h"
#include "block/RendererClient.h"

namespace {

std::string reportPath;

void Report(const char* format, ...)
{
    FILE* file = std::fopen(reportPath.c_str(), "ab");
    if (!file) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

int Fail(const char* what)
{
    Report("fail %s", what);
    return 3;
}

int Launched(int argc, char** argv)
{
    const char* report = std::getenv("ORB_PEER_REPORT");
    reportPath = report ? report : "";
    Report("commandLine=%s", GetCommandLineA());
    Report("argc=%d", argc);
    std::string namePart = argc > 2 ? argv[2] : "";
    RendererClient client;
    if (!client.Attach(namePart)) return Fail("attach");
    MutexGuard guard(client.Mutex());
    if (!guard.Acquire()) return Fail("mutex");
    LaunchFields fields = client.ReadLaunchFields();
    Report("pluginWindow=%08X", fields.pluginWindow);
    Report("active=%d", fields.active ? 1 : 0);
    Report("adsMode=%d", fields.adsMode);
    Report("siteId=%d", fields.siteId);
    Report("pageLocation=%s", fields.pageLocation.c_str());
    Report("appletUrl=%s", fields.appletUrl.c_str());
    Report("rendererArgs=%s", fields.rendererArgs.c_str());
    client.SetStatusText("peer ready");
    guard.Release();

    if (const char* code = std::getenv("ORB_PEER_EXIT")) return std::atoi(code);
    if (std::getenv("ORB_PEER_HANG")) {
        Sleep(60000);
        return 0;
    }
    for (int i = 0; i < 3000; ++i) {
        Sleep(10);
        MutexGuard poll(client.Mutex());
        if (poll.Acquire() && client.QuitRequested()) return 0;
    }
    return Fail("no quit request");
}

int Hold(char** argv, bool abandon)
{
    RendererClient client;
    if (!client.Attach(argv[2])) return 3;
    const KernelHandle held(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (WaitForSingleObject(client.Mutex(), 5000) != WAIT_OBJECT_0) return 4;
    SetEvent(held.Get());
    if (abandon) ExitProcess(0);
    const KernelHandle release(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    WaitForSingleObject(release.Get(), 60000);
    ReleaseMutex(client.Mutex());
    return 0;
}

// The renderer's half of the exchange: requests with names of random length, deliveries
// checked against the path the plug-in side makes for each name and freed here, some
// requests given up with 7, private allocations, and now and then the heap filled to the
// last byte. The heap is checked after every round.
class Exchanger {
public:
    Exchanger(RendererClient& client, unsigned seed) : client_(client), random_(seed) {}

    bool Round(bool posting)
    {
        MutexGuard guard(client_.Mutex());
        if (!guard.Acquire()) return true;
        if (Chance(60) && !TakeDeliveries()) return false;
        if (!Settle()) return false;
        if (posting) {
            for (int n = Pick(0, 4); n > 0; --n) Post();
            if (Chance(10)) GiveUpOne();
            if (!Private()) return false;
        }
        if (posting && ++rounds_ % 500 == 0 && !FillHeap()) return false;
        HeapReport heap = CheckHeap(*client_.Block());
        if (!heap.error.empty()) return Error("heap: " + heap.error);
        return true;
    }

    bool Idle() const { return waiting_.empty() && released_.empty(); }

    bool FreeAll()
    {
        MutexGuard guard(client_.Mutex());
        if (!guard.Acquire()) return false;
        for (auto& [p, pattern] : private_) {
            if (!Intact(p, pattern)) return Error("private allocation overwritten");
            client_.View()->Heap().Free(p);
        }
        private_.clear();
        return true;
    }

    std::string error;
    int delivered = 0;
    int posted = 0;
    int givenUp = 0;
    int fills = 0;

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int percent) { return Pick(0, 99) < percent; }
    bool Error(const std::string& text)
    {
        error = text;
        return false;
    }

    bool TakeDeliveries()
    {
        int32_t id;
        std::string path;
        while (client_.TakeDelivery(&id, &path)) {
            auto found = waiting_.find(id);
            if (found == waiting_.end()) return Error("delivery for an id nobody waits for");
            if (path != ExchangePath(found->second)) return Error("delivered path differs: " + path);
            if (client_.Status(id) != StateDelivered) return Error("status of a delivery is not 6");
            waiting_.erase(found);
            // Done with the file at once: the plug-in may let it go from now on.
            client_.ReleaseRequest(id);
            released_.insert(id);
            ++delivered;
        }
        return true;
    }

    // Ids released with 7, given up or done with, come back as 0 once the plug-in has let
    // them go.
    bool Settle()
    {
        for (auto it = released_.begin(); it != released_.end();) {
            int32_t status = client_.Status(*it);
            if (status == StateNone) {
                it = released_.erase(it);
            } else if (status != StateReleased) {
                return Error("a released id changed to something else than 0");
            } else {
                ++it;
            }
        }
        return true;
    }

    void Post()
    {
        int32_t id = Pick(1, 1023);
        if (waiting_.count(id) || released_.count(id)) return;
        char name[64];
        if (Chance(20)) {
            std::snprintf(name, sizeof name, "common%d-%d", Pick(0, 3), 300);
        } else {
            std::snprintf(name, sizeof name, "n%d-%d", id, Pick(1, 700));
        }
        if (client_.PostRequest(id, name) < 0) return;
        waiting_[id] = name;
        ++posted;
    }

    void GiveUpOne()
    {
        for (auto& [id, name] : waiting_) {
            int32_t status = client_.Status(id);
            if (status == StateRequested || status == StateFetching || status == StateReady) {
                client_.ReleaseRequest(id);
                released_.insert(id);
                waiting_.erase(id);
                ++givenUp;
                return;
            }
        }
    }

    static bool Intact(void* p, unsigned char pattern)
    {
        const unsigned char* bytes = static_cast<const unsigned char*>(p);
        uint32_t n = ChunkSizeOf(p) - 4;
        for (uint32_t i = 0; i < n; ++i) {
            if (bytes[i] != pattern) return false;
        }
        return true;
    }

    bool Private()
    {
        SharedHeap& heap = client_.View()->Heap();
        if (!private_.empty() && Chance(50)) {
            auto it = private_.begin();
            std::advance(it, Pick(0, static_cast<int>(private_.size()) - 1));
            if (!Intact(it->first, it->second)) return Error("private allocation overwritten");
            heap.Free(it->first);
            private_.erase(it);
        }
        if (private_.size() < 8 && Chance(50)) {
            uint32_t n = static_cast<uint32_t>(Pick(1, 1024));
            void* p = heap.Allocate(n);
            if (p) {
                uint32_t size = ChunkSizeOf(p);
                uint32_t wanted = std::max<uint32_t>(16, (n + 7) & ~3u);
                if (size < wanted || size - wanted > 12) return Error("chunk size off");
                unsigned char pattern = static_cast<unsigned char>(Pick(1, 255));
                std::memset(p, pattern, size - 4);
                private_[p] = pattern;
            }
        }
        return true;
    }

    // Takes every byte the heap has left; then no chunk is free and the end fence must
    // say that the last chunk is in use.
    bool FillHeap()
    {
        SharedHeap& heap = client_.View()->Heap();
        std::vector<void*> taken;
        for (uint32_t n : {64u, 1u}) {
            while (void* p = heap.Allocate(n)) taken.push_back(p);
        }
        HeapReport full = CheckHeap(*client_.Block());
        bool ok = full.error.empty() && full.freeChunks == 0 && full.endFence == 0xFFFFFFFEu;
        for (void* p : taken) heap.Free(p);
        HeapReport after = CheckHeap(*client_.Block());
        if (!ok || !after.error.empty()) return Error("filling the heap: " + full.error + after.error);
        ++fills;
        return true;
    }

    RendererClient& client_;
    std::mt19937 random_;
    std::map<int32_t, std::string> waiting_;
    std::set<int32_t> released_;
    std::map<void*, unsigned char> private_;
    int rounds_ = 0;
};

int Exchange(char** argv)
{
    reportPath = argv[6];
    // Keep the creator's address of the view out of reach, so ours must differ.
    void* avoid = reinterpret_cast<void*>(std::strtoul(argv[3], nullptr, 16));
    VirtualAlloc(avoid, SharedSegment::ViewSize(), MEM_RESERVE, PAGE_NOACCESS);
    RendererClient client;
    if (!client.Attach(argv[2])) return Fail("attach");
    Report("view=%p", client.ViewAddress());
    if (client.ViewAddress() == avoid) return Fail("view at the creator's address");

    Exchanger exchanger(client, static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
    int rounds = std::atoi(argv[5]);
    for (int i = 0; i < rounds; ++i) {
        if (!exchanger.Round(true)) return Fail(exchanger.error.c_str());
    }
    DWORD deadline = GetTickCount() + 30000;
    while (!exchanger.Idle()) {
        if (GetTickCount() > deadline) return Fail("requests never answered");
        if (!exchanger.Round(false)) return Fail(exchanger.error.c_str());
        Sleep(1);
    }
    if (!exchanger.FreeAll()) return Fail(exchanger.error.c_str());
    Report("ok posted=%d delivered=%d givenUp=%d fills=%d", exchanger.posted, exchanger.delivered,
           exchanger.givenUp, exchanger.fills);
    return 0;
}

// Writes garbage, random and aimed, into every part of the block that the plug-in reads
// or follows, with and without the mutex, while still making ordinary requests.
int Hostile(char** argv)
{
    reportPath = argv[5];
    RendererClient client;
    if (!client.Attach(argv[2])) return Fail("attach");
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    auto pick = [&](uint32_t low, uint32_t high) {
        return std::uniform_int_distribution<uint32_t>(low, high)(random);
    };
    ChannelBlock* block = client.Block();
    uint8_t* bytes = reinterpret_cast<uint8_t*>(block);
    const uint32_t base = block->heapBase;
    const uint32_t self = block->heapControl.self;

    auto anyRef = [&]() -> uint32_t {
        switch (pick(0, 6)) {
        case 0: return 0;
        case 1: return pick(0, 0xFFFFFFFFu);
        case 2: return base + pick(0, kHeapRegionSize + 64) - 32;
        case 3: return base + kHeapRegionSize - pick(1, 8);  // the end fence: no terminator follows
        case 4: return self + pick(0, 60);
        case 5: return base + pick(3, kHeapRegionSize / 4) * 4;
        default: return base - pick(1, 20000);
        }
    };
    auto anyId = [&]() -> int32_t {
        static const int32_t ids[] = {-1, -2, -3, 0, 1, 1023, 1024, 4096, 0x7FFFFFFF, INT32_MIN, -1000000};
        return pick(0, 1) ? ids[pick(0, sizeof ids / sizeof ids[0] - 1)]
                          : static_cast<int32_t>(pick(0, 0xFFFFFFFFu));
    };
    auto anyWord = [&]() -> uint32_t {
        static const uint32_t words[] = {0,          1,          2,          3,     15,    16,     17,
                                         0xFFFFFFFC, 0xFFFFFFFE, 0x7FFFFFFC, 40944, 40960, 0x10000};
        return pick(0, 1) ? words[pick(0, sizeof words / sizeof words[0] - 1)] : pick(0, 0xFFFFFFFFu);
    };

    // The first part leaves the heap's own words alone, so requests and deliveries still
    // flow between the garbage; after that nothing is spared.
    DWORD length = std::strtoul(argv[4], nullptr, 10);
    DWORD end = GetTickCount() + length;
    DWORD spareHeapUntil = GetTickCount() + length * 2 / 5;
    int writes = 0;
    int requests = 0;
    while (GetTickCount() < end) {
        MutexGuard guard(client.Mutex());
        bool locked = pick(0, 3) != 0 && guard.Acquire();
        bool heapToo = GetTickCount() >= spareHeapUntil;
        for (int n = pick(1, 40); n > 0; --n, ++writes) {
            uint32_t kind = pick(0, 11);
            if (!heapToo && kind >= 6 && kind <= 9) kind = pick(0, 5);
            switch (kind) {
            case 0: {
                RequestSlot& slot = block->requests[pick(0, kRequestSlots - 1)];
                slot.id = anyId();
                slot.name = anyRef();
                break;
            }
            case 1: {
                DeliverySlot& slot = block->deliveries[pick(0, kDeliverySlots - 1)];
                slot.id = pick(0, 1) ? -1 : anyId();
                slot.path = anyRef();
                break;
            }
            case 2: {
                WindowRecord& record = block->windows[pick(0, kWindowRecords - 1)];
                record.name = anyRef();
                if (pick(0, 1)) record.window = anyWord();
                break;
            }
            case 3: block->statusText = anyRef(); break;
            case 4: block->appletUrl = anyRef(); break;
            case 5: block->requestStatus[pick(0, kStatusWords - 1)] = static_cast<int32_t>(anyWord()); break;
            case 6:
                reinterpret_cast<uint32_t*>(&block->heapControl)[pick(0, 10)] =
                    pick(0, 1) ? anyRef() : anyWord();
                break;
            case 7:
            case 8: {
                uint32_t offset = pick(0, kHeapRegionSize / 4 - 1) * 4;
                *reinterpret_cast<uint32_t*>(block->heapRegion + offset) = pick(0, 1) ? anyRef() : anyWord();
                break;
            }
            case 9: bytes[pick(0, kBlockUsedSize - 1)] = static_cast<uint8_t>(pick(0, 255)); break;
            case 10:
                if (locked) {
                    char name[32];
                    std::snprintf(name, sizeof name, "r%u", pick(0, 5000));
                    requests += client.PostRequest(static_cast<int32_t>(pick(0, 1100)), name) >= 0;
                }
                break;
            default:
                if (locked) {
                    int32_t id;
                    std::string path;
                    client.TakeDelivery(&id, &path);
                }
                break;
            }
        }
        guard.Release();
        if (pick(0, 9) == 0) Sleep(1);
    }
    Report("ok writes=%d requests=%d", writes, requests);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "ActiveXOrbolanth.GoBlueHarbor") == 0) return Launched(argc, argv);
    std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "hold" && argc == 5) return Hold(argv, false);
    if (mode == "abandon" && argc == 4) return Hold(argv, true);
    if (mode == "exchange" && argc == 7) return Exchange(argv);
    if (mode == "hostile" && argc == 6) return Hostile(argv);
    return 2;
}
