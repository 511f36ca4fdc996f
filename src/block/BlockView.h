// One process's view of a channel block: its fields, its heap, and the strings behind its
// BlockRefs. A reference is followed only when it lands inside the heap region and a
// terminator follows within the region; anything else reads as no string, whatever the
// other process wrote there. Win32-free: the renderer side compiles it too.
#pragma once

#include <cstdint>
#include <string>

#include "block/ChannelBlock.h"
#include "block/SharedHeap.h"

class BlockView {
public:
    // Attaches to a block that its creator has filled, taking heapBase from it.
    explicit BlockView(ChannelBlock* block);

    // The creator's fill of a new block; heartbeat is the creator's tick count, base the
    // block's first byte in the creator's reference space (CreatorBase).
    void CreateFill(uint32_t heartbeat, uint32_t base);

    ChannelBlock* Block() const { return block_; }
    SharedHeap& Heap() { return heap_; }

    // False for 0 and for a reference that designates no terminated string in the region.
    bool ReadString(BlockRef ref, std::string* text) const;

    // Makes slot designate a copy of at most limit - 1 characters of text (none: no
    // string). An equal string already there is kept. The old string is freed only when
    // the reference designates one; the slot lets go of it either way. False when the
    // heap has no room, with the slot at 0.
    bool StoreString(BlockRef& slot, const char* text, uint32_t limit);

    BlockRef RefOf(const void* p) const;

private:
    char* Locate(BlockRef ref, size_t* length) const;

    ChannelBlock* block_;
    SharedHeap heap_;
    uint32_t heapBase_;
};
