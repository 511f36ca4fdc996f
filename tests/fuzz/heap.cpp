// The heap of a hostile block image as the plug-in meets it: the other process wrote every
// word of the control record and the region. Freeing whatever looks like a chunk and then
// allocating must stay inside the region and hand out room that really is there.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "block/BlockView.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto block = std::make_unique<ChannelBlock>();
    std::memset(block.get(), 0, sizeof *block);
    uint8_t* image = reinterpret_cast<uint8_t*>(&block->heapControl);
    std::memcpy(image, data, std::min(size, sizeof(HeapControl) + kHeapRegionSize));
    SharedHeap heap(&block->heapControl, block->heapRegion, kHeapRegionSize);

    // Every word that claims an in-use chunk is handed back, as a careless peer would.
    for (uint32_t offset = 0; offset + 8 <= kHeapRegionSize; offset += 4) {
        uint32_t header;
        std::memcpy(&header, block->heapRegion + offset, sizeof header);
        if (header & 1) heap.Free(block->heapRegion + offset + 4);
    }
    for (uint32_t n : {1u, 7u, 64u, 1000u, 30000u, 1u, 16u}) {
        uint8_t* p = static_cast<uint8_t*>(heap.AllocateZeroed(n));
        if (!p) continue;
        Require(p >= block->heapRegion && p + n <= block->heapRegion + kHeapRegionSize);
        std::memset(p, 0xA5, n);
    }
    return 0;
}
