// A channel block's kernel objects as one process holds them: the named mapping, its
// view and the named mutex. The plug-in creates the block; the renderer opens it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "channel/BlockView.h"
#include "channel/ChannelBlock.h"

class SharedSegment {
public:
    SharedSegment() = default;
    virtual ~SharedSegment();
    SharedSegment(const SharedSegment&) = delete;
    SharedSegment& operator=(const SharedSegment&) = delete;

    // The creator's side: a new pagefile-backed mapping, filled as a fresh block.
    bool Create(const std::string& namePart);
    // The other side: the existing mapping, checked for this side's revision. A mismatch
    // is shown to the user and fails the open with nothing left mapped.
    bool Open(const std::string& namePart);
    // Creates the block's mutex, or opens it when the other side already has.
    bool CreateBlockMutex();

    const std::string& NamePart() const { return namePart; }
    HANDLE Mutex() const { return mutex; }
    HANDLE Mapping() const { return mapping; }
    void* ViewAddress() const { return view; }
    ChannelBlock* Block() const { return static_cast<ChannelBlock*>(view); }
    // The block's fields, heap and strings; null while nothing is mapped.
    BlockView* View() { return blockView ? &*blockView : nullptr; }

    static uint32_t ViewSize();

protected:
    bool MapView();
    void UnmapView();

    std::string namePart;
    HANDLE mutex = INVALID_HANDLE_VALUE;
    HANDLE mapping = INVALID_HANDLE_VALUE;
    void* view = nullptr;
    std::optional<BlockView> blockView;
};
