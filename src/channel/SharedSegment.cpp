#include "channel/SharedSegment.h"

namespace {

constexpr char kMismatchText[] =
    "Revision numbers don't match for the RendererAPI!.\n"
    "Your ActiveXOrbolanth control and your renderer are not compatible.\n\n"
    "The renderer will now exit, and the control will display just a logo.";
constexpr char kMismatchCaption[] = "Revision Mismatch!";

}  // namespace

SharedSegment::~SharedSegment()
{
    UnmapView();
    if (mapping != INVALID_HANDLE_VALUE) CloseHandle(mapping);
    if (mutex != INVALID_HANDLE_VALUE) CloseHandle(mutex);
}

uint32_t SharedSegment::ViewSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return MappingSize(info.dwAllocationGranularity);
}

bool SharedSegment::MapView()
{
    view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, ViewSize());
    if (!view) {
        CloseHandle(mapping);
        mapping = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

void SharedSegment::UnmapView()
{
    blockView.reset();
    if (view) UnmapViewOfFile(view);
    view = nullptr;
}

bool SharedSegment::Create(const std::string& name)
{
    namePart = name;
    HANDLE created = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, ViewSize(),
                                        ObjectName(namePart, kMappingSuffix).c_str());
    if (!created) return false;
    mapping = created;
    if (!MapView()) return false;
    blockView.emplace(Block());
    blockView->CreateFill(GetTickCount());
    return true;
}

bool SharedSegment::Open(const std::string& name)
{
    namePart = name;
    HANDLE opened = OpenFileMappingA(FILE_MAP_WRITE, FALSE, ObjectName(namePart, kMappingSuffix).c_str());
    if (!opened) return false;
    mapping = opened;
    if (!MapView()) return false;
    if (!RevisionMatches(*Block())) {
        MessageBoxA(nullptr, kMismatchText, kMismatchCaption, MB_OK);
        UnmapView();
        CloseHandle(mapping);
        mapping = INVALID_HANDLE_VALUE;
        return false;
    }
    blockView.emplace(Block());
    return true;
}

bool SharedSegment::CreateBlockMutex()
{
    HANDLE created = CreateMutexA(nullptr, FALSE, ObjectName(namePart, kMutexSuffix).c_str());
    if (!created) return false;
    mutex = created;
    return true;
}
