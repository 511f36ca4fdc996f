// Prints how long one service tick takes with every request slot full and with 256
// ready entries to deliver, and how many allocate+free pairs the heap does per second.
#include <windows.h>

#include <cstdio>
#include <random>
#include <vector>

#include "ChannelFixture.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main()
{
    Channel c;
    if (!c.attached) return 1;
    c.fetcher.mode = TestFetcher::Mode::Ready;
    const int repeats = 50;
    double requests = 0;
    double deliveries = 0;
    for (int r = 0; r < repeats; ++r) {
        for (int i = 0; i < kRequestSlots; ++i) {
            c.renderer.PostRequest(1 + i, "resources/model" + std::to_string(r * 1000 + i) + ".obv");
        }
        double start = Now();
        c.channel.ServiceTick();  // 256 requests, each answered ready at once
        double middle = Now();
        c.channel.ServiceTick();  // 256 ready entries into 256 delivery slots
        double end = Now();
        requests += middle - start;
        deliveries += end - middle;
        int32_t id;
        std::string path;
        int taken = 0;
        while (c.renderer.TakeDelivery(&id, &path)) ++taken;
        if (taken != kDeliverySlots || !c.channel.Resources().empty()) {
            std::printf("unexpected: %d deliveries, %zu entries left\n", taken, c.channel.Resources().size());
            return 1;
        }
    }
    std::printf("ServiceTick, 256 full request slots:  %.3f ms\n", requests / repeats * 1000);
    std::printf("ServiceTick, 256 ready entries:       %.3f ms\n", deliveries / repeats * 1000);

    SharedHeap& heap = c.channel.View()->Heap();
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
