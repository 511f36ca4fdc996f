// A channel block's kernel objects as one process holds them: the named mapping, its
// view and the named mutex. The plug-in creates the block; the renderer opens it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "base/IntegrityLevel.h"
#include "base/UniqueHandle.h"
#include "block/BlockView.h"
#include "block/ChannelBlock.h"

class SharedSegment {
public:
    SharedSegment() = default;
    virtual ~SharedSegment() = default;
    SharedSegment(const SharedSegment&) = delete;
    SharedSegment& operator=(const SharedSegment&) = delete;

    // The creator's side: a new pagefile-backed mapping with the label, filled as a fresh block.
    bool Create(const std::string& namePart, ObjectLabel label);
    // The other side: the existing mapping, checked for this side's revision. A mismatch
    // is shown to the user and fails the open with nothing left mapped.
    bool Open(const std::string& namePart);
    // Creates the block's mutex with the label, or opens it when the other side already has.
    bool CreateBlockMutex(ObjectLabel label);

    const std::string& NamePart() const { return namePart; }
    HANDLE Mutex() const { return mutex.Get(); }
    HANDLE Mapping() const { return mapping.Get(); }
    void* ViewAddress() const { return view.Get(); }
    ChannelBlock* Block() const { return static_cast<ChannelBlock*>(view.Get()); }
    // The block's fields, heap and strings; null while nothing is mapped.
    BlockView* View() { return blockView ? &*blockView : nullptr; }

    static uint32_t ViewSize();

protected:
    std::string namePart;

private:
    bool MapView();
    void UnmapView();

    // Declared so that the view goes before the mapping, and the block's reader before both.
    KernelHandle mutex;
    KernelHandle mapping;
    MappedView view;
    std::optional<BlockView> blockView;
};
