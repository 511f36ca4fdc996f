// An independent walk over a channel block's heap, for the tests and the test peer: every
// chunk from the start fence to the end fence and the whole free list, against the rules
// the allocator must keep.
#pragma once

#include <cstdint>
#include <string>

#include "block/ChannelBlock.h"

struct HeapReport {
    std::string error;  // empty when every rule holds
    int chunks = 0;
    int freeChunks = 0;
    uint32_t freeBytes = 0;
    uint32_t largestFree = 0;
    uint32_t firstChunkHeader = 0;
    uint32_t endFence = 0;
    bool lastChunkInUse = false;
};

HeapReport CheckHeap(const ChannelBlock& block);

// Size of the chunk whose caller's bytes start at p.
uint32_t ChunkSizeOf(const void* p);
