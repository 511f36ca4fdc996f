#include "HeapCheck.h"

#include <cstdio>
#include <set>

namespace {

constexpr uint32_t kFenceWord = 0xFFFFFFFCu;

uint32_t Word(const ChannelBlock& block, uint32_t offset)
{
    return *reinterpret_cast<const uint32_t*>(block.heapRegion + offset);
}

std::string Describe(const char* what, uint32_t offset, uint32_t value)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s at region offset %u (word %08X)", what, offset, value);
    return text;
}

}  // namespace

uint32_t ChunkSizeOf(const void* p)
{
    return *(static_cast<const uint32_t*>(p) - 1) & ~3u;
}

HeapReport CheckHeap(const ChannelBlock& block)
{
    HeapReport report;
    const HeapControl& control = block.heapControl;
    const uint32_t self = control.self;
    const uint32_t regionRef = self + sizeof(HeapControl);
    const uint32_t sentinel = self + 8;
    if (block.heapBase != regionRef) report.error = "heapBase does not match self";
    if (Word(block, 8) != kFenceWord) report.error = "start fence changed";

    std::set<uint32_t> freeSet;
    bool previousInUse = false;
    bool previousFree = false;
    uint32_t offset = 12;
    report.firstChunkHeader = Word(block, offset);
    while (report.error.empty()) {
        uint32_t header = Word(block, offset);
        if (header & 0x80000000u) {
            if (offset != kHeapRegionSize - 4) {
                report.error = Describe("fence inside the region", offset, header);
            }
            if ((header | 2u) != 0xFFFFFFFEu) report.error = Describe("end fence value", offset, header);
            if (((header & 2u) != 0) != previousInUse) {
                report.error = Describe("end fence bit 1", offset, header);
            }
            report.endFence = header;
            report.lastChunkInUse = previousInUse;
            break;
        }
        uint32_t size = header & ~3u;
        if (size < 16 || offset + size > kHeapRegionSize - 4) {
            report.error = Describe("bad chunk size", offset, header);
            break;
        }
        if (((header & 2u) != 0) != previousInUse) report.error = Describe("bit 1 disagrees", offset, header);
        bool inUse = header & 1u;
        if (!inUse) {
            if (previousFree) report.error = Describe("two free chunks side by side", offset, header);
            if (Word(block, offset + size - 4) != size) report.error = Describe("footer", offset, header);
            freeSet.insert(regionRef + offset);
            ++report.freeChunks;
            report.freeBytes += size;
            if (size > report.largestFree) report.largestFree = size;
        }
        ++report.chunks;
        previousInUse = inUse;
        previousFree = !inUse;
        offset += size;
    }
    if (!report.error.empty()) return report;

    // The free list: circular through the sentinel, holding exactly the free chunks.
    auto links = [&](uint32_t ref) -> const uint32_t* {
        if (ref == sentinel) return &control.sentinelPrevious;
        return reinterpret_cast<const uint32_t*>(block.heapRegion + (ref - regionRef) + 4);
    };
    std::set<uint32_t> listed;
    uint32_t node = sentinel;
    for (;;) {
        uint32_t next = links(node)[1];
        if (next != sentinel && !freeSet.count(next)) {
            return report.error = "free list names a non-free chunk", report;
        }
        if (links(next)[0] != node) return report.error = "free list back link broken", report;
        if (next == sentinel) break;
        if (!listed.insert(next).second) return report.error = "free list cycle", report;
        node = next;
    }
    if (listed != freeSet) report.error = "free list misses free chunks";
    if (control.rover != sentinel && !freeSet.count(control.rover)) {
        report.error = "rover names a non-free chunk";
    }
    return report;
}
