// The block's heap on its own, in plain memory: the chunk numbers of the wire format,
// freeing back to one chunk, strings behind references, and what a corrupted heap does.
// The block counts its references from a base other than its address, as a 64-bit
// creator's block above 4 GB does, so nothing here passes by taking a pointer for one.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "HeapCheck.h"
#include "block/BlockView.h"

namespace {

constexpr uint32_t kRegion = 10844;
constexpr uint32_t kFirstChunk = 10856;
constexpr uint32_t kEndFence = 51800;

struct Block {
    Block() : memory(new ChannelBlock), view(memory.get()) { view.CreateFill(1234, kHighViewBase); }

    uint32_t& At(uint32_t offset)
    {
        return *reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(memory.get()) + offset);
    }
    // The reference of a byte of the block.
    uint32_t Address(uint32_t offset) const { return kHighViewBase + offset; }
    uint32_t OffsetOf(const void* p) const
    {
        return static_cast<uint32_t>(static_cast<const uint8_t*>(p) -
                                     reinterpret_cast<const uint8_t*>(memory.get()));
    }
    SharedHeap& Heap() { return view.Heap(); }
    // The control record and the region, for "nothing changed" checks.
    std::vector<uint8_t> HeapBytes() const
    {
        const uint8_t* start = reinterpret_cast<const uint8_t*>(&memory->heapControl);
        return std::vector<uint8_t>(start, start + sizeof(HeapControl) + kHeapRegionSize + 4);
    }
    // Takes every byte that is left, smallest chunks last.
    std::vector<void*> Exhaust()
    {
        std::vector<void*> taken;
        for (uint32_t n : {256u, 1u}) {
            while (void* p = Heap().Allocate(n)) taken.push_back(p);
        }
        return taken;
    }

    std::unique_ptr<ChannelBlock> memory;
    BlockView view;
};

TEST(SharedHeap, NewHeapHasTheWireLayout)
{
    Block b;
    ASSERT_NE(reinterpret_cast<uintptr_t>(b.memory.get()), uintptr_t{kHighViewBase});
    EXPECT_EQ(b.At(10800), b.Address(10800));  // self
    EXPECT_EQ(b.At(10804), b.Address(10808));  // rover: the sentinel
    EXPECT_EQ(b.At(10808), 0u);
    EXPECT_EQ(b.At(10812), b.Address(kFirstChunk));
    EXPECT_EQ(b.At(10816), b.Address(kFirstChunk));
    EXPECT_EQ(b.At(10820), 0u);
    EXPECT_EQ(b.At(10824), 0u);
    EXPECT_EQ(b.At(10828), 32768u);
    EXPECT_EQ(b.At(10832), 0u);
    EXPECT_EQ(b.At(10836), b.Address(kRegion));
    EXPECT_EQ(b.At(10840), 0u);
    EXPECT_EQ(b.At(10844), 0u);
    EXPECT_EQ(b.At(10848), 0u);
    EXPECT_EQ(b.At(10852), 0xFFFFFFFCu);
    EXPECT_EQ(b.At(kFirstChunk), 40944u);
    EXPECT_EQ(b.At(kFirstChunk + 4), b.Address(10808));
    EXPECT_EQ(b.At(kFirstChunk + 8), b.Address(10808));
    EXPECT_EQ(b.At(51796), 40944u);
    EXPECT_EQ(b.At(kEndFence), 0xFFFFFFFCu);
    EXPECT_EQ(b.At(51804), b.Address(kRegion));  // heapBase
}

TEST(SharedHeap, ChunkSizesFollowTheRequest)
{
    Block b;
    void* one = b.Heap().Allocate(1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(b.OffsetOf(one), kFirstChunk + 4);
    EXPECT_EQ(b.At(kFirstChunk), 16u | 1u);
    EXPECT_EQ(b.At(kFirstChunk + 16), 40928u | 2u);
    EXPECT_EQ(b.At(kEndFence - 4), 40928u);

    EXPECT_EQ(ChunkSizeOf(b.Heap().Allocate(12)), 16u);
    EXPECT_EQ(ChunkSizeOf(b.Heap().Allocate(13)), 20u);
    EXPECT_EQ(ChunkSizeOf(b.Heap().Allocate(16)), 20u);
    EXPECT_EQ(ChunkSizeOf(b.Heap().Allocate(17)), 24u);
    EXPECT_EQ(b.Heap().Allocate(0), nullptr);
    EXPECT_EQ(b.Heap().Allocate(0xFFFFFFF9u), nullptr);
    EXPECT_EQ(b.Heap().Allocate(50000), nullptr);
    EXPECT_TRUE(CheckHeap(*b.memory).error.empty());
}

TEST(SharedHeap, SmallLeftoversGoWithTheChunkAndTheEndFenceTracksTheLastChunk)
{
    Block b;
    void* first = b.Heap().Allocate(100);  // a 104-byte chunk at the region's start
    std::vector<void*> rest = b.Exhaust();
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(b.Heap().Allocate(1), nullptr);
    EXPECT_EQ(b.At(kEndFence), 0xFFFFFFFEu);
    EXPECT_EQ(CheckHeap(*b.memory).freeChunks, 0);

    // Only the 104-byte chunk is free: leftovers of 4, 8 and 12 bytes are handed out with it.
    b.Heap().Free(first);
    for (uint32_t n : {96u, 92u, 88u}) {
        void* p = b.Heap().Allocate(n);
        ASSERT_EQ(p, first) << n;
        EXPECT_EQ(ChunkSizeOf(p), 104u) << n;
        EXPECT_EQ(CheckHeap(*b.memory).freeChunks, 0) << n;
        b.Heap().Free(p);
    }
    // A leftover of 16 is a chunk of its own.
    void* split = b.Heap().Allocate(81);
    EXPECT_EQ(ChunkSizeOf(split), 88u);
    HeapReport report = CheckHeap(*b.memory);
    EXPECT_EQ(report.freeChunks, 1);
    EXPECT_EQ(report.largestFree, 16u);
    b.Heap().Free(split);

    // Freeing the region's last chunk clears bit 1 in the end fence again.
    b.Heap().Free(rest.back());
    rest.pop_back();
    EXPECT_EQ(b.At(kEndFence), 0xFFFFFFFCu);
    EXPECT_TRUE(CheckHeap(*b.memory).error.empty());
}

TEST(SharedHeap, RandomRoundsMergeBackIntoOneChunk)
{
    Block b;
    std::mt19937 random(7);
    std::vector<void*> live;
    for (int round = 0; round < 20000; ++round) {
        if (!live.empty() && (random() % 2 || live.size() > 200)) {
            size_t at = random() % live.size();
            b.Heap().Free(live[at]);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            uint32_t n = 1 + random() % (random() % 8 ? 64 : 2048);
            if (void* p = b.Heap().AllocateZeroed(n)) {
                uint32_t wanted = std::max<uint32_t>(16, (((n + 3) & ~3u) + 7) & ~3u);
                ASSERT_GE(ChunkSizeOf(p), wanted);
                ASSERT_LE(ChunkSizeOf(p) - wanted, 12u);
                live.push_back(p);
            }
        }
        if (round % 250 == 0) {
            ASSERT_EQ(CheckHeap(*b.memory).error, "") << "round " << round;
        }
    }
    std::shuffle(live.begin(), live.end(), random);
    for (void* p : live) b.Heap().Free(p);
    HeapReport report = CheckHeap(*b.memory);
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.chunks, 1);
    EXPECT_EQ(report.firstChunkHeader, 40944u);
    EXPECT_EQ(report.endFence, 0xFFFFFFFCu);
}

TEST(SharedHeap, AnotherAddressSeesTheSameStrings)
{
    Block a;
    BlockRef kept = 0;
    BlockRef dropped = 0;
    ASSERT_TRUE(a.view.StoreString(kept, "kept across views", 256));
    ASSERT_TRUE(a.view.StoreString(dropped, "freed through the copy", 256));
    const BlockRef droppedInA = dropped;

    // The same bytes at another address, attached as the other process attaches.
    std::unique_ptr<ChannelBlock> copy(new ChannelBlock);
    std::memcpy(copy.get(), a.memory.get(), sizeof(ChannelBlock));
    BlockView other(copy.get());
    std::string text;
    ASSERT_TRUE(other.ReadString(kept, &text));
    EXPECT_EQ(text, "kept across views");
    ASSERT_TRUE(other.StoreString(dropped, nullptr, 0));
    BlockRef added = 0;
    ASSERT_TRUE(other.StoreString(added, "made in the copy", 256));
    EXPECT_EQ(other.RefOf(copy->heapRegion + 16), a.view.RefOf(a.memory->heapRegion + 16));
    EXPECT_EQ(CheckHeap(*copy).error, "");
    ASSERT_TRUE(other.StoreString(kept, nullptr, 0));
    ASSERT_TRUE(other.StoreString(added, nullptr, 0));
    EXPECT_EQ(CheckHeap(*copy).firstChunkHeader, 40944u);
    EXPECT_EQ(CheckHeap(*copy).chunks, 1);

    // Nothing of that reached the original.
    ASSERT_TRUE(a.view.ReadString(droppedInA, &text));
    EXPECT_EQ(text, "freed through the copy");
    EXPECT_EQ(CheckHeap(*a.memory).chunks, 3);
}

// A 32-bit creator's view keeps its address as the base (the wire format's origin); a
// 64-bit creator's view at any height gets a base under which no reference into the block
// wraps round to 0, which would read as no string.
TEST(SharedHeap, CreatorBasesKeepEveryReferenceAboveZero)
{
    for (uint64_t view : {0x00A30000ull, 0x7FFE0000ull, 0xFFFE0000ull, 0xFFFF0000ull, 0xFFFFF000ull, 0x100000000ull,
                          0x7FF812340000ull, 0xFFFFFFFFFFFF0000ull}) {
        const uint64_t base = CreatorBase(view);
        EXPECT_NE(base, 0u) << std::hex << view;
        EXPECT_LE(base + kBlockUsedSize, 0x100000000ull) << std::hex << view;
        if (view + kBlockUsedSize <= 0x100000000ull) {
            EXPECT_EQ(base, view) << std::hex << view;
        }
    }
}

TEST(SharedHeap, StoreStringCutsKeepsAndFails)
{
    Block b;
    BlockRef slot = 0;
    ASSERT_TRUE(b.view.StoreString(slot, "abcdef", 4));
    std::string text;
    ASSERT_TRUE(b.view.ReadString(slot, &text));
    EXPECT_EQ(text, "abc");
    BlockRef before = slot;
    ASSERT_TRUE(b.view.StoreString(slot, "abc", 4));
    EXPECT_EQ(slot, before);
    ASSERT_TRUE(b.view.StoreString(slot, "xyz", 4));
    ASSERT_TRUE(b.view.ReadString(slot, &text));
    EXPECT_EQ(text, "xyz");
    ASSERT_TRUE(b.view.StoreString(slot, nullptr, 0));
    EXPECT_EQ(slot, 0u);

    std::vector<void*> all = b.Exhaust();
    BlockRef full = 0;
    EXPECT_FALSE(b.view.StoreString(full, "no room", 256));
    EXPECT_EQ(full, 0u);
}

TEST(SharedHeap, ReferencesOutsideTheRegionReadAsNoString)
{
    Block b;
    std::string text = "unchanged";
    BlockRef base = b.Address(kRegion);
    for (BlockRef ref : {0u, 1u, base - 1, base + kHeapRegionSize, base + kHeapRegionSize - 2, 0xFFFFFFFFu}) {
        EXPECT_FALSE(b.view.ReadString(ref, &text)) << std::hex << ref;
    }
    EXPECT_EQ(text, "unchanged");

    // A slot holding such a reference is let go without freeing anything.
    std::vector<uint8_t> heap = b.HeapBytes();
    BlockRef slot = base + kHeapRegionSize - 3;
    EXPECT_TRUE(b.view.StoreString(slot, nullptr, 0));
    EXPECT_EQ(slot, 0u);
    EXPECT_EQ(b.HeapBytes(), heap);
}

// Each case corrupts one thing about a chunk or its neighbours; freeing it then must not
// change a byte.
TEST(SharedHeap, FreeLeavesInconsistentChunksAlone)
{
    struct Case {
        const char* what;
        void (*corrupt)(Block&, uint32_t chunk, uint32_t next);
    };
    const Case cases[] = {
        {"already free", [](Block& b, uint32_t c, uint32_t) { b.At(c) &= ~1u; }},
        {"size past the end fence", [](Block& b, uint32_t c, uint32_t) { b.At(c) = 0x00100000u | 1u; }},
        {"size below 16", [](Block& b, uint32_t c, uint32_t) { b.At(c) = 8u | 1u; }},
        {"size zero", [](Block& b, uint32_t c, uint32_t) { b.At(c) = 1u; }},
        {"header is a fence", [](Block& b, uint32_t c, uint32_t) { b.At(c) = 0xFFFFFFFFu; }},
        {"free follower links outside", [](Block& b, uint32_t, uint32_t n) { b.At(n + 8) = 0x12345678u; }},
        {"free follower too large", [](Block& b, uint32_t, uint32_t n) { b.At(n) = 0x7FFFFF00u; }},
        {"previous footer before the region",
         [](Block& b, uint32_t c, uint32_t) {
             b.At(c) &= ~2u;
             b.At(c - 4) = 40000u;
         }},
        {"previous footer disagrees",
         [](Block& b, uint32_t c, uint32_t) {
             b.At(c) &= ~2u;
             b.At(c - 4) = 20u;
         }},
        {"sentinel next outside", [](Block& b, uint32_t, uint32_t) { b.At(10816) = 3u; }},
    };
    for (const Case& test : cases) {
        Block b;
        ASSERT_NE(b.Heap().Allocate(40), nullptr);
        void* p = b.Heap().Allocate(40);
        ASSERT_NE(p, nullptr);
        uint32_t chunk = b.OffsetOf(p) - 4;
        test.corrupt(b, chunk, chunk + ChunkSizeOf(p));
        std::vector<uint8_t> heap = b.HeapBytes();
        b.Heap().Free(p);
        EXPECT_EQ(b.HeapBytes(), heap) << test.what;
    }

    Block b;
    void* p = b.Heap().Allocate(40);
    std::vector<uint8_t> heap = b.HeapBytes();
    b.Heap().Free(static_cast<uint8_t*>(p) + 2);
    b.Heap().Free(b.memory->requests);
    b.Heap().Free(b.memory->heapRegion);
    EXPECT_EQ(b.HeapBytes(), heap);
}

TEST(SharedHeap, CorruptFreeListsEndAsNoFit)
{
    Block b;
    void* small = b.Heap().Allocate(40);
    std::vector<void*> rest = b.Exhaust();
    b.Heap().Free(small);
    uint32_t chunk = b.OffsetOf(small) - 4;
    uint32_t chunkRef = b.Address(chunk);

    // A cycle that never comes back to the sentinel where the search began.
    b.At(chunk + 8) = chunkRef;
    b.At(10804) = b.Address(10808);
    EXPECT_EQ(b.Heap().Allocate(1000), nullptr);
    // A link into the middle of nowhere, and a rover that names no node.
    b.At(chunk + 8) = 0x00000010u;
    EXPECT_EQ(b.Heap().Allocate(1000), nullptr);
    b.At(10804) = 0xDEADBEEFu;
    EXPECT_EQ(b.Heap().Allocate(1000), nullptr);
    // A free-list chunk whose header reaches past the end fence.
    b.At(chunk + 8) = b.Address(10808);
    b.At(chunk) = kHeapRegionSize;
    EXPECT_EQ(b.Heap().Allocate(1000), nullptr);
}

}  // namespace
