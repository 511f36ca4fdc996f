// The plug-in's trace: one line per event that explains a failure (a launch, a request, a
// refusal, a shutdown), for users to turn on and send. Off, it costs the caller one load
// of a flag: no thread, no file. On, the caller formats its line and hands it to a bounded
// buffer; a thread of the trace writes it (TraceWriter).
#pragma once

#include <string>
#include <string_view>

bool TraceOn();
// One event about the subject ("group 1A2B3C4D", "instance 00ABCDEF"); URL credentials are
// taken out of the event's text here, whatever the caller passed.
void TraceEvent(std::string_view subject, std::string_view event);
// The line as the trace writes it now: local time, this process's id, subject and event.
std::string TraceLineNow(std::string_view subject, std::string_view event);

// On the browser's thread: NP_Initialize and NP_Shutdown. Starting an open trace again
// changes nothing; stopping writes what is buffered and ends the thread.
bool StartTrace(const std::wstring& path);
void StopTrace();
