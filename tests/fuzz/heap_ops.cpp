// A consistent heap under any sequence of allocations and frees, now and then carried on
// from another address (the other process's view): after every step the heap keeps every
// rule of the wire format, no two live allocations overlap, and none loses a byte.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzInput.h"
#include "HeapCheck.h"
#include "block/BlockView.h"

namespace {

struct Live {
    uint32_t offset;  // from the start of the region
    uint32_t size;
    uint8_t fill;
};

void Require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    auto block = std::make_unique<ChannelBlock>();
    auto view = std::make_unique<BlockView>(block.get());
    view->CreateFill(1, CreatorBase(reinterpret_cast<uintptr_t>(block.get())));
    std::vector<Live> live;
    uint8_t nextFill = 1;

    for (int step = 0; step < 400 && !in.Empty(); ++step) {
        uint8_t op = in.Byte() % 4;
        if (op <= 1) {
            uint32_t n = op == 0 ? in.Byte() + 1u : in.Short() + 1u;
            uint8_t* p = static_cast<uint8_t*>(view->Heap().Allocate(n));
            if (!p) continue;
            uint32_t offset = static_cast<uint32_t>(p - block->heapRegion);
            Require(offset < kHeapRegionSize && n <= kHeapRegionSize - offset);
            for (const Live& l : live) Require(offset + n <= l.offset || l.offset + l.size <= offset);
            std::memset(p, nextFill, n);
            live.push_back({offset, n, nextFill++});
        } else if (op == 2 && !live.empty()) {
            size_t index = in.Byte() % live.size();
            view->Heap().Free(block->heapRegion + live[index].offset);
            live.erase(live.begin() + static_cast<long>(index));
        } else if (op == 3) {
            // The same bytes seen at another address.
            auto moved = std::make_unique<ChannelBlock>();
            std::memcpy(moved.get(), block.get(), sizeof *block);
            block = std::move(moved);
            view = std::make_unique<BlockView>(block.get());
        }
        Require(CheckHeap(*block).error.empty());
    }
    for (const Live& l : live) {
        for (uint32_t i = 0; i < l.size; ++i) Require(block->heapRegion[l.offset + i] == l.fill);
    }
    return 0;
}
