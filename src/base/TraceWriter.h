// The thread that takes the trace's lines out of their buffer and appends them to the
// trace file, so no thread that traces ever waits on the disk. The file is opened for each
// round and closed after it: several processes (two browsers) may append to one file, and
// whichever finds it past its bound renames it to "<path>.1" (replacing an older one) and
// starts a new file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/TraceBuffer.h"
#include "base/UniqueHandle.h"

constexpr uint64_t kTraceRolloverBytes = 1024 * 1024;

class TraceWriter {
public:
    // How long lines wait in the buffer at most while the thread runs.
    static constexpr DWORD kWriteEveryMs = 200;

    TraceWriter(std::wstring path, TraceBuffer& buffer, uint64_t rolloverBytes = kTraceRolloverBytes);
    // Stops the thread: never run it under the loader lock (a static's destructor).
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // The thread holds a reference to the module its code lives in and gives it back only as
    // it ends, so a library unloaded without being shut down stays mapped under it.
    bool Start();
    // Writes what is buffered, then waits for the thread to end. Only the first call acts.
    void Stop();
    // One round of the thread's work: what the buffer holds goes to the file.
    void WriteBuffered();

private:
    static DWORD WINAPI ThreadMain(void* writer);
    bool Append(const std::string& text);
    FileHandle OpenForAppend() const;

    const std::wstring path_;
    TraceBuffer& buffer_;
    const uint64_t rolloverBytes_;
    std::string pending_;
    KernelHandle stopRequested_;
    KernelHandle thread_;
};
