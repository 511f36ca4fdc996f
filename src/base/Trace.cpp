#include "base/Trace.h"

#include <windows.h>

#include <atomic>

#include "base/TraceBuffer.h"
#include "base/TraceText.h"
#include "base/TraceWriter.h"

namespace {

std::atomic<bool> traceOn{false};
// Only NP_Initialize and NP_Shutdown change it, on the browser's thread. Never a static
// object: its destructor would wait on the thread under the loader lock.
TraceWriter* writer = nullptr;

// Lives as long as the library, so a download thread that traces while the trace stops
// still finds it; the lines it adds then go at the next start's Clear.
TraceBuffer& Buffer()
{
    static TraceBuffer buffer;
    return buffer;
}

}  // namespace

bool TraceOn()
{
    return traceOn.load(std::memory_order_relaxed);
}

std::string TraceLineNow(std::string_view subject, std::string_view event)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    TraceTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.millisecond = now.wMilliseconds;
    return TraceLine(time, GetCurrentProcessId(), subject, event);
}

void TraceEvent(std::string_view subject, std::string_view event)
{
    if (!TraceOn()) return;
    Buffer().Add(TraceLineNow(subject, WithoutCredentials(event)));
}

bool StartTrace(const std::wstring& path)
{
    if (writer) return true;
    Buffer().Clear();
    writer = new TraceWriter(path, Buffer());
    if (!writer->Start()) {
        delete writer;
        writer = nullptr;
        return false;
    }
    traceOn = true;
    return true;
}

void StopTrace()
{
    if (!writer) return;
    traceOn = false;
    delete writer;
    writer = nullptr;
}
