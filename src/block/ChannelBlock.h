// The wire format shared by the plug-in and its renderer process: one named block of
// 51808 used bytes, x86 little-endian, 32-bit words and handles, 8-bit text, the same for a
// 32-bit and a 64-bit plug-in (the renderer is always 32-bit). Both sides compile this
// header, so it must not depend on Win32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A string in the block's heap: the address its first byte has in the creating process's
// reference space (CreatorBase), 0 for none. Never a pointer of the reading process.
using BlockRef = uint32_t;

constexpr char kRevision[] = "Sat Apr 15 19:45:33 2000";
constexpr char kMappingSuffix[] = "SharedMemory";
constexpr char kMutexSuffix[] = "SMMutex";

constexpr int kStatusWords = 1024;
constexpr int kRequestSlots = 256;
constexpr int kDeliverySlots = 256;
constexpr int kWindowRecords = 64;
constexpr int32_t kFreeSlot = -1;
constexpr int32_t kNavigationId = -2;

// String limits, terminator included.
constexpr uint32_t kUrlLimit = 2048;
constexpr uint32_t kArgsLimit = 1024;
constexpr uint32_t kWindowNameLimit = 256;
constexpr uint32_t kPathLimit = 2048;

constexpr uint32_t kHeapRegionSize = 40960;
constexpr uint32_t kHeapThreshold = 32768;
constexpr uint32_t kBlockUsedSize = 51808;

struct RequestSlot {
    int32_t id;     // -1: free
    BlockRef name;  // allocated by the renderer, freed by the plug-in
};

struct DeliverySlot {
    int32_t id;     // -1: free
    BlockRef path;  // allocated by the plug-in
};

struct WindowRecord {
    BlockRef name;         // 0 or "" marks a free record
    uint32_t reserved[4];  // the renderer's; the plug-in leaves them alone
    uint32_t window;       // 0 while the name is only reserved
};

// The heap's control record; links are creating-process addresses, converted through self.
struct HeapControl {
    uint32_t self;
    uint32_t rover;
    uint32_t sentinelSize;
    uint32_t sentinelPrevious;
    uint32_t sentinelNext;
    uint32_t growthHook;
    uint32_t releaseHook;
    uint32_t threshold;
    uint32_t thresholdDisabled;
    uint32_t regionList;
    uint32_t spare;
};

struct ChannelBlock {
    char revision[1024];
    uint8_t active;
    uint8_t pad1025[3];
    uint32_t pluginWindow;
    int32_t adsMode;
    uint8_t createdFlag;
    uint8_t pad1037[3];
    uint32_t unused1040;
    int32_t siteId;
    BlockRef pageLocation;
    BlockRef appletUrl;
    BlockRef rendererArgs;
    BlockRef statusText;
    uint32_t heartbeat;
    uint8_t quitRequest;
    uint8_t pad1069[3];
    int32_t requestStatus[kStatusWords];
    RequestSlot requests[kRequestSlots];
    DeliverySlot deliveries[kDeliverySlots];
    WindowRecord windows[kWindowRecords];
    HeapControl heapControl;
    uint8_t heapRegion[kHeapRegionSize];
    uint32_t heapBase;  // heapRegion in the creating process's reference space
};

static_assert(sizeof(RequestSlot) == 8 && sizeof(DeliverySlot) == 8 && sizeof(WindowRecord) == 24);
static_assert(sizeof(HeapControl) == 44);
static_assert(offsetof(ChannelBlock, active) == 1024);
static_assert(offsetof(ChannelBlock, pluginWindow) == 1028);
static_assert(offsetof(ChannelBlock, adsMode) == 1032);
static_assert(offsetof(ChannelBlock, createdFlag) == 1036);
static_assert(offsetof(ChannelBlock, unused1040) == 1040);
static_assert(offsetof(ChannelBlock, siteId) == 1044);
static_assert(offsetof(ChannelBlock, pageLocation) == 1048);
static_assert(offsetof(ChannelBlock, appletUrl) == 1052);
static_assert(offsetof(ChannelBlock, rendererArgs) == 1056);
static_assert(offsetof(ChannelBlock, statusText) == 1060);
static_assert(offsetof(ChannelBlock, heartbeat) == 1064);
static_assert(offsetof(ChannelBlock, quitRequest) == 1068);
static_assert(offsetof(ChannelBlock, requestStatus) == 1072);
static_assert(offsetof(ChannelBlock, requests) == 5168);
static_assert(offsetof(ChannelBlock, deliveries) == 7216);
static_assert(offsetof(ChannelBlock, windows) == 9264);
static_assert(offsetof(ChannelBlock, heapControl) == 10800);
static_assert(offsetof(ChannelBlock, heapRegion) == 10844);
static_assert(offsetof(ChannelBlock, heapBase) == 51804);
static_assert(sizeof(ChannelBlock) == kBlockUsedSize);

// The other process may write any word at any moment; a value that is checked and then
// used is read exactly once through these.
template <typename T>
T Peek(const T& field)
{
    return *static_cast<const volatile T*>(&field);
}

template <typename T>
void Poke(T& field, T value)
{
    *static_cast<volatile T*>(&field) = value;
}

// The creator's reference space: its references are 32-bit addresses counted from the
// block's first byte at this base. A 32-bit creator uses its view's address (the wire
// format's origin). A 64-bit creator's view may lie above 4 GB, or so close below it that
// a reference would wrap round to 0 (no string); it then counts from a base of its own,
// low enough that no reference wraps.
constexpr uint32_t kHighViewBase = 0x10000000;

inline uint32_t CreatorBase(uint64_t viewAddress)
{
    return viewAddress != 0 && viewAddress <= 0x100000000ull - kBlockUsedSize ? static_cast<uint32_t>(viewAddress)
                                                                               : kHighViewBase;
}

// Bytes of the mapping and of the view: whole allocation granules with room to spare.
inline uint32_t MappingSize(uint32_t granularity)
{
    return granularity * (kBlockUsedSize / granularity + 1);
}

// "Orbolanth{GUID}:SharedMemory" and "Orbolanth{GUID}:SMMutex".
std::string ObjectName(const std::string& namePart, const char* suffix);

// True when the text at offset 0 is exactly the revision this side was built for.
bool RevisionMatches(const ChannelBlock& block);
