#include "base/TraceWriter.h"

#include <utility>

#include "base/Trace.h"
#include "base/TraceText.h"

TraceWriter::TraceWriter(std::wstring path, TraceBuffer& buffer, uint64_t rolloverBytes)
    : path_(std::move(path)), buffer_(buffer), rolloverBytes_(rolloverBytes),
      stopRequested_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

TraceWriter::~TraceWriter()
{
    Stop();
}

bool TraceWriter::Start()
{
    if (thread_ || !stopRequested_) return false;
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadMain),
                            &module)) {
        return false;
    }
    thread_.Reset(CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
    if (!thread_) {
        FreeLibrary(module);
        return false;
    }
    return true;
}

void TraceWriter::Stop()
{
    if (!thread_) return;
    SetEvent(stopRequested_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
}

DWORD WINAPI TraceWriter::ThreadMain(void* parameter)
{
    TraceWriter& writer = *static_cast<TraceWriter*>(parameter);
    while (WaitForSingleObject(writer.stopRequested_.Get(), kWriteEveryMs) == WAIT_TIMEOUT) {
        writer.WriteBuffered();
    }
    writer.WriteBuffered();
    // The reference Start took for this thread; the writer may be gone once Stop sees the
    // thread end, so nothing of it is touched after this.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThreadMain), &module);
    FreeLibraryAndExitThread(module, 0);
}

void TraceWriter::WriteBuffered()
{
    std::string taken;
    size_t dropped = 0;
    buffer_.Take(taken, dropped);
    pending_.append(taken);
    if (dropped > 0) pending_.append(TraceLineNow("trace", DroppedLinesEvent(dropped)));
    if (pending_.empty()) return;
    // A file that cannot be opened now (another process rolling it over) gets the lines on
    // the next round; one that never opens keeps no more than a buffer's worth.
    if (Append(pending_) || pending_.size() > kTraceBufferBytes) pending_.clear();
}

FileHandle TraceWriter::OpenForAppend() const
{
    return FileHandle(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool TraceWriter::Append(const std::string& text)
{
    FileHandle file = OpenForAppend();
    if (!file) return false;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && static_cast<uint64_t>(size.QuadPart) > rolloverBytes_) {
        file.Reset();
        const std::wstring older = path_ + L".1";
        MoveFileExW(path_.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING);
        file = OpenForAppend();
        if (!file) return false;
    }
    // One write for the round: appends of other processes fall between rounds, not in lines.
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}
