// A whole block image written by a hostile renderer, walked the way the plug-in services
// it: status text, request names read and freed, window names read and replaced, the
// plug-in's own strings stored. Strings read must lie inside the region.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "block/BlockView.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

void Read(const BlockView& view, BlockRef ref)
{
    std::string text;
    if (view.ReadString(ref, &text)) Require(text.size() < kHeapRegionSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto block = std::make_unique<ChannelBlock>();
    std::memset(block.get(), 0, sizeof *block);
    std::memcpy(block.get(), data, std::min(size, sizeof *block));
    BlockView view(block.get());

    RevisionMatches(*block);
    Read(view, block->statusText);
    for (RequestSlot& slot : block->requests) {
        if (slot.id == kFreeSlot) continue;
        Read(view, slot.name);
        view.StoreString(slot.name, nullptr, 0);
    }
    for (WindowRecord& record : block->windows) {
        Read(view, record.name);
        view.StoreString(record.name, "main view", kWindowNameLimit);
        Read(view, record.name);
    }
    view.StoreString(block->pageLocation, "http://example.com/page.html", kUrlLimit);
    view.StoreString(block->appletUrl, std::string(3000, 'u').c_str(), kUrlLimit);
    view.StoreString(block->rendererArgs, "", kArgsLimit);
    Read(view, block->pageLocation);
    Read(view, block->appletUrl);
    return 0;
}
