// Prints how long one service tick takes with nothing to do, with every request slot full and with 256
// ready entries to deliver, and how many allocate+free pairs the heap does per second.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "channel/RendererChannel.h"
#include "block/RendererClient.h"
#include "base/DownloadListener.h"
#include "base/ResourceFetcher.h"

namespace {

// Answers every request at once with one fixed file, doing no work of its own to measure.
class ReadyFetcher : public ResourceFetcher {
public:
    bool Request(DownloadListener* listener, const char*, bool) override
    {
        listener->SetLocalFile("C:\\Temp\\orb\\resource-cache-0001.tmp");
        listener->SetState(StateReady);
        listener->Release();
        return true;
    }
    void DiscardFile(const std::string&) override {}
    void Shutdown() override {}
    void AddRef() override {}
    void Release() override {}
};

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The machine is shared, so the middle of many runs says more than their mean.
double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main()
{
    ReadyFetcher fetcher;
    LaunchSettings settings;
    settings.fetcher = &fetcher;
    RendererChannel channel;
    RendererClient renderer;
    if (!channel.CreateBlock(settings) || !renderer.Attach(channel.NamePart())) return 1;
    const int repeats = 200;
    std::vector<double> requests;
    std::vector<double> deliveries;
    for (int r = 0; r < repeats; ++r) {
        for (int i = 0; i < kRequestSlots; ++i) {
            renderer.PostRequest(1 + i, "resources/model" + std::to_string(r * 1000 + i) + ".obv");
        }
        double start = Now();
        channel.ServiceTick();  // 256 requests, each answered ready at once
        double middle = Now();
        channel.ServiceTick();  // 256 ready entries into 256 delivery slots
        double end = Now();
        requests.push_back(middle - start);
        deliveries.push_back(end - middle);
        int32_t id;
        std::string path;
        int taken = 0;
        while (renderer.TakeDelivery(&id, &path)) {
            renderer.ReleaseRequest(id);
            ++taken;
        }
        channel.ServiceTick();  // the released files go
        if (taken != kDeliverySlots || !channel.Resources().Entries().empty()) {
            std::printf("unexpected: %d deliveries, %zu entries left\n", taken, channel.Resources().Entries().size());
            return 1;
        }
    }
    std::vector<double> empty;
    for (int r = 0; r < repeats; ++r) {
        double start = Now();
        channel.ServiceTick();
        empty.push_back(Now() - start);
    }
    std::printf("ServiceTick, nothing to do:           median %.3f ms, fastest %.3f ms\n", Median(empty) * 1000,
                *std::min_element(empty.begin(), empty.end()) * 1000);
    std::printf("ServiceTick, 256 full request slots:  median %.3f ms, fastest %.3f ms (goal <= 0.3 ms)\n",
                Median(requests) * 1000, *std::min_element(requests.begin(), requests.end()) * 1000);
    std::printf("ServiceTick, 256 ready entries:       median %.3f ms, fastest %.3f ms\n",
                Median(deliveries) * 1000, *std::min_element(deliveries.begin(), deliveries.end()) * 1000);

    SharedHeap& heap = channel.View()->Heap();
    std::mt19937 random(1);
    std::vector<void*> live;
    for (int i = 0; i < 64; ++i) live.push_back(heap.Allocate(1 + random() % 256));
    const int pairs = 2000000;
    double start = Now();
    for (int i = 0; i < pairs; ++i) {
        size_t at = random() % live.size();
        heap.Free(live[at]);
        live[at] = heap.Allocate(1 + random() % 256);
    }
    double seconds = Now() - start;
    std::printf("heap allocate+free pairs per second:  %.0f (64 live, 1..256 bytes)\n", pairs / seconds);
    return 0;
}
