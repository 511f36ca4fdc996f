// The allocator inside a channel block, shared by two processes whose views of the block
// lie at different addresses: every link is stored as a 32-bit reference in the creating
// process's reference space and converted through the control record's self word. Chunk format and algorithms are
// part of the wire format, so the renderer links this same code.
//
// The other process is not trusted: every word of the heap is checked before it is
// followed, a chunk that does not look right is left alone, and the free-list walk is
// bounded, so a corrupted heap costs allocations, never memory outside the region.
#pragma once

#include <cstdint>

#include "block/ChannelBlock.h"

class SharedHeap {
public:
    // Attaches to the control record and the one region at these local addresses without
    // writing anything; the record's reference in the creator's space is read from it.
    SharedHeap(HeapControl* control, uint8_t* region, uint32_t regionSize);

    // The creator's start: a fresh control record, whose reference in the creator's
    // reference space is self, and one free chunk spanning the region.
    void Init(uint32_t self);

    void* Allocate(uint32_t n);
    void* AllocateZeroed(uint32_t n);
    // Leaves the heap unchanged unless p is the caller's part of a consistent in-use chunk.
    void Free(void* p);

    uint8_t* Region() const { return region_; }
    uint32_t RegionSize() const { return regionSize_; }

private:
    bool IsNode(uint32_t ref) const;
    uint32_t ChunkRef(uint32_t offset) const { return regionRef_ + offset; }
    bool IsChunkOffset(uint32_t offset) const;
    uint32_t FreeChunkSize(uint32_t offset) const;

    uint32_t Load(uint32_t offset) const;
    void Store(uint32_t offset, uint32_t value);
    volatile uint32_t* Links(uint32_t ref) const;
    uint32_t Previous(uint32_t ref) const;
    uint32_t Next(uint32_t ref) const;
    void SetPrevious(uint32_t ref, uint32_t value);
    void SetNext(uint32_t ref, uint32_t value);
    void Unlink(uint32_t ref);
    void InsertAfterSentinel(uint32_t ref);
    void MoveRoverPast(uint32_t ref);
    void Capture(uint32_t self);

    HeapControl* control_;
    uint8_t* region_;
    uint32_t regionSize_;
    uint32_t self_ = 0;
    uint32_t regionRef_ = 0;
    uint32_t sentinelRef_ = 0;
    uint32_t maxNodes_;
};
