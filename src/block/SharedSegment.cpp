#include "block/SharedSegment.h"

#include "block/ObjectSecurity.h"

namespace {

constexpr char kMismatchText[] =
    "Revision numbers don't match for the RendererAPI!.\n"
    "Your ActiveXOrbolanth control and your renderer are not compatible.\n\n"
    "The renderer will now exit, and the control will display just a logo.";
constexpr char kMismatchCaption[] = "Revision Mismatch!";

}  // namespace

uint32_t SharedSegment::ViewSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return MappingSize(info.dwAllocationGranularity);
}

bool SharedSegment::MapView()
{
    view.Reset(MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, ViewSize()));
    if (!view) {
        mapping.Reset();
        return false;
    }
    return true;
}

void SharedSegment::UnmapView()
{
    blockView.reset();
    view.Reset();
}

bool SharedSegment::Create(const std::string& name, ObjectLabel label)
{
    namePart = name;
    ObjectSecurity security(label);
    mapping.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0, ViewSize(),
                                     ObjectName(namePart, kMappingSuffix).c_str()));
    if (!mapping) return false;
    if (!MapView()) return false;
    blockView.emplace(Block());
    blockView->CreateFill(GetTickCount(), CreatorBase(reinterpret_cast<uintptr_t>(view.Get())));
    return true;
}

bool SharedSegment::Open(const std::string& name)
{
    namePart = name;
    mapping.Reset(OpenFileMappingA(FILE_MAP_WRITE, FALSE, ObjectName(namePart, kMappingSuffix).c_str()));
    if (!mapping) return false;
    if (!MapView()) return false;
    if (!RevisionMatches(*Block())) {
        MessageBoxA(nullptr, kMismatchText, kMismatchCaption, MB_OK);
        UnmapView();
        mapping.Reset();
        return false;
    }
    blockView.emplace(Block());
    return true;
}

bool SharedSegment::CreateBlockMutex(ObjectLabel label)
{
    ObjectSecurity security(label);
    mutex.Reset(CreateMutexA(security.Attributes(), FALSE, ObjectName(namePart, kMutexSuffix).c_str()));
    return mutex.Valid();
}
