#include "block/SharedHeap.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr uint32_t kInUse = 1;
constexpr uint32_t kPreviousInUse = 2;
constexpr uint32_t kFlags = kInUse | kPreviousInUse;
constexpr uint32_t kFence = 0xFFFFFFFCu;
constexpr uint32_t kMinChunk = 16;
// A region starts with its previous- and next-region references and the start fence.
constexpr uint32_t kFirstChunk = 12;
constexpr uint32_t kSentinelOffset = offsetof(HeapControl, sentinelSize);

bool IsFence(uint32_t word)
{
    return (word & 0x80000000u) != 0;
}

}  // namespace

SharedHeap::SharedHeap(HeapControl* control, uint8_t* region, uint32_t regionSize)
    : control_(control), region_(region), regionSize_(regionSize), maxNodes_(regionSize / kMinChunk + 1)
{
    Capture(Peek(control->self));
}

void SharedHeap::Capture(uint32_t self)
{
    self_ = self;
    regionRef_ = self + static_cast<uint32_t>(reinterpret_cast<uintptr_t>(region_) -
                                              reinterpret_cast<uintptr_t>(control_));
    sentinelRef_ = self + kSentinelOffset;
}

void SharedHeap::Init(uint32_t self)
{
    std::memset(control_, 0, sizeof *control_);
    Capture(self);
    control_->self = self_;
    control_->rover = sentinelRef_;
    control_->sentinelPrevious = sentinelRef_;
    control_->sentinelNext = sentinelRef_;
    control_->threshold = kHeapThreshold;
    if (!region_ || regionSize_ < 32) return;

    // The region goes to the head of the region list, framed by its two fences.
    Store(0, 0);
    Store(4, control_->regionList);
    control_->regionList = regionRef_;
    Store(8, kFence);
    uint32_t size = regionSize_ - 16;
    Store(kFirstChunk, size);
    Store(kFirstChunk + size - 4, size);
    Store(regionSize_ - 4, kFence);
    InsertAfterSentinel(ChunkRef(kFirstChunk));
}

uint32_t SharedHeap::Load(uint32_t offset) const
{
    if (offset > regionSize_ - 4) return kFence;
    return *reinterpret_cast<volatile uint32_t*>(region_ + offset);
}

void SharedHeap::Store(uint32_t offset, uint32_t value)
{
    if (offset > regionSize_ - 4) return;
    *reinterpret_cast<volatile uint32_t*>(region_ + offset) = value;
}

bool SharedHeap::IsChunkOffset(uint32_t offset) const
{
    return offset % 4 == 0 && offset >= kFirstChunk && offset <= regionSize_ - 4 - kMinChunk;
}

bool SharedHeap::IsNode(uint32_t ref) const
{
    return ref == sentinelRef_ || IsChunkOffset(ref - regionRef_);
}

// The size of the free chunk at offset when everything about it is consistent: not a
// fence, not in use, a size that stays before the end fence, links that name nodes.
uint32_t SharedHeap::FreeChunkSize(uint32_t offset) const
{
    if (!IsChunkOffset(offset)) return 0;
    uint32_t header = Load(offset);
    if (IsFence(header) || (header & kInUse)) return 0;
    uint32_t size = header & ~kFlags;
    if (size < kMinChunk || size > regionSize_ - 4 - offset) return 0;
    uint32_t ref = ChunkRef(offset);
    if (!IsNode(Previous(ref)) || !IsNode(Next(ref))) return 0;
    return size;
}

volatile uint32_t* SharedHeap::Links(uint32_t ref) const
{
    if (ref == sentinelRef_) return &control_->sentinelPrevious;
    uint32_t offset = ref - regionRef_;
    if (!IsChunkOffset(offset)) return nullptr;
    return reinterpret_cast<volatile uint32_t*>(region_ + offset + 4);
}

uint32_t SharedHeap::Previous(uint32_t ref) const
{
    volatile uint32_t* links = Links(ref);
    return links ? links[0] : 0;
}

uint32_t SharedHeap::Next(uint32_t ref) const
{
    volatile uint32_t* links = Links(ref);
    return links ? links[1] : 0;
}

void SharedHeap::SetPrevious(uint32_t ref, uint32_t value)
{
    if (volatile uint32_t* links = Links(ref)) links[0] = value;
}

void SharedHeap::SetNext(uint32_t ref, uint32_t value)
{
    if (volatile uint32_t* links = Links(ref)) links[1] = value;
}

void SharedHeap::Unlink(uint32_t ref)
{
    uint32_t previous = Previous(ref);
    uint32_t next = Next(ref);
    SetPrevious(next, previous);
    SetNext(previous, next);
}

void SharedHeap::InsertAfterSentinel(uint32_t ref)
{
    uint32_t oldNext = Peek(control_->sentinelNext);
    SetPrevious(ref, sentinelRef_);
    SetNext(ref, oldNext);
    SetPrevious(oldNext, ref);
    Poke(control_->sentinelNext, ref);
}

// A chunk leaving the free list must not stay the place where the next search starts.
void SharedHeap::MoveRoverPast(uint32_t ref)
{
    if (Peek(control_->rover) == ref) Poke(control_->rover, Next(ref));
}

void* SharedHeap::Allocate(uint32_t n)
{
    if (n == 0 || n > 0xFFFFFFF8u) return nullptr;
    uint32_t size = (n + 7) & ~3u;
    if (size < kMinChunk) size = kMinChunk;

    // Next fit from the rover. A broken link or a list that never comes back to where the
    // search began ends it as "no fit".
    uint32_t start = Peek(control_->rover);
    if (!IsNode(start)) start = sentinelRef_;
    uint32_t node = start;
    uint32_t x = 0;
    uint32_t xs = 0;
    for (uint32_t steps = 0; steps <= maxNodes_; ++steps) {
        if (node != sentinelRef_) {
            uint32_t candidate = FreeChunkSize(node - regionRef_);
            if (candidate == 0) return nullptr;
            if (candidate >= size) {
                x = node - regionRef_;
                xs = candidate;
                break;
            }
        }
        node = Next(node);
        if (!IsNode(node) || node == start) return nullptr;
    }
    if (xs == 0) return nullptr;

    // A free follower is absorbed into the remainder; it must be consistent before
    // anything changes.
    uint32_t follower = x + xs;
    uint32_t followerHeader = Load(follower);
    uint32_t absorbed = 0;
    if (!IsFence(followerHeader) && !(followerHeader & kInUse)) {
        absorbed = FreeChunkSize(follower);
        if (absorbed == 0) return nullptr;
    }

    uint32_t xRef = ChunkRef(x);
    Poke(control_->rover, Next(xRef));
    Unlink(xRef);
    uint32_t rest = xs - size;
    if (absorbed) {
        uint32_t nRef = ChunkRef(follower);
        MoveRoverPast(nRef);
        Unlink(nRef);
        rest += absorbed;
        follower += absorbed;
    }
    uint32_t result = xs;
    if (absorbed || rest >= kMinChunk) {
        Store(x, (Load(x) & kFlags) | size);
        Store(x + size - 4, size);
        uint32_t r = x + size;
        Store(r, rest);
        Store(r + rest - 4, rest);
        Store(follower, Load(follower) & ~kPreviousInUse);
        InsertAfterSentinel(ChunkRef(r));
        result = size;
    }
    Store(x, Load(x) | kInUse);
    Store(x + result, Load(x + result) | kPreviousInUse);
    return region_ + x + 4;
}

void* SharedHeap::AllocateZeroed(uint32_t n)
{
    n = (n + 3) & ~3u;
    void* p = Allocate(n);
    if (p) std::memset(p, 0, n);
    return p;
}

void SharedHeap::Free(void* p)
{
    if (!p) return;
    uintptr_t at = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(region_);
    if (at < 4 || at >= regionSize_) return;
    uint32_t x = static_cast<uint32_t>(at) - 4;
    if (!IsChunkOffset(x)) return;
    uint32_t header = Load(x);
    uint32_t xs = header & ~kFlags;
    if (IsFence(header) || !(header & kInUse) || xs < kMinChunk || xs > regionSize_ - 4 - x) return;

    // Check both neighbours that would be merged before changing anything.
    uint32_t next = x + xs;
    uint32_t nextHeader = Load(next);
    uint32_t nextSize = 0;
    if (!IsFence(nextHeader) && !(nextHeader & kInUse)) {
        nextSize = FreeChunkSize(next);
        if (nextSize == 0) return;
    }
    uint32_t previous = 0;
    uint32_t previousSize = 0;
    if (!(header & kPreviousInUse)) {
        uint32_t footer = Load(x - 4);
        if (!IsFence(footer)) {
            if (footer > x) return;
            previous = x - footer;
            previousSize = FreeChunkSize(previous);
            if (previousSize == 0 || previousSize != footer) return;
        }
    }
    if (!IsNode(Peek(control_->sentinelNext))) return;

    Store(x, header & ~kInUse);
    Store(x + xs - 4, xs);
    Store(next, Load(next) & ~kPreviousInUse);
    if (nextSize) {
        uint32_t nRef = ChunkRef(next);
        MoveRoverPast(nRef);
        Unlink(nRef);
        xs += nextSize;
        Store(x, (Load(x) & kFlags) | xs);
    }
    if (previousSize) {
        uint32_t pRef = ChunkRef(previous);
        MoveRoverPast(pRef);
        Unlink(pRef);
        xs += previousSize;
        Store(previous, (Load(previous) & kFlags) | xs);
        x = previous;
    }
    Store(x + xs - 4, xs);
    InsertAfterSentinel(ChunkRef(x));
}
