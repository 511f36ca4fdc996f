#include "block/BlockView.h"

#include <cstring>

BlockView::BlockView(ChannelBlock* block)
    : block_(block),
      heap_(&block->heapControl, block->heapRegion, kHeapRegionSize),
      heapBase_(Peek(block->heapBase))
{
}

void BlockView::CreateFill(uint32_t heartbeat, uint32_t base)
{
    std::memset(block_, 0, sizeof *block_);
    std::memcpy(block_->revision, kRevision, sizeof kRevision);
    block_->createdFlag = 1;
    block_->heartbeat = heartbeat;
    for (RequestSlot& slot : block_->requests) slot.id = kFreeSlot;
    for (DeliverySlot& slot : block_->deliveries) slot.id = kFreeSlot;
    heapBase_ = base + offsetof(ChannelBlock, heapRegion);
    block_->heapBase = heapBase_;
    heap_.Init(base + offsetof(ChannelBlock, heapControl));
}

char* BlockView::Locate(BlockRef ref, size_t* length) const
{
    uint32_t offset = ref - heapBase_;
    if (ref == 0 || offset >= kHeapRegionSize) return nullptr;
    char* text = reinterpret_cast<char*>(block_->heapRegion + offset);
    const void* end = std::memchr(text, 0, kHeapRegionSize - offset);
    if (!end) return nullptr;
    *length = static_cast<const char*>(end) - text;
    return text;
}

bool BlockView::ReadString(BlockRef ref, std::string* text) const
{
    size_t length = 0;
    const char* found = Locate(ref, &length);
    if (!found) return false;
    text->assign(found, length);
    return true;
}

BlockRef BlockView::RefOf(const void* p) const
{
    return heapBase_ + static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p) -
                                             reinterpret_cast<uintptr_t>(block_->heapRegion));
}

bool BlockView::StoreString(BlockRef& slot, const char* text, uint32_t limit)
{
    BlockRef ref = Peek(slot);
    size_t length = 0;
    char* current = Locate(ref, &length);
    if (text && current && std::strncmp(std::string(current, length).c_str(), text, limit) == 0) return true;
    if (ref != 0) {
        if (current) heap_.Free(current);
        Poke(slot, BlockRef{0});
    }
    if (!text) return true;

    size_t n = std::strlen(text) + 1;
    if (n > limit) n = limit;
    char* copy = static_cast<char*>(heap_.AllocateZeroed(static_cast<uint32_t>(n)));
    if (!copy) return false;
    std::memcpy(copy, text, n - 1);
    copy[n - 1] = '\0';
    Poke(slot, RefOf(copy));
    return true;
}
