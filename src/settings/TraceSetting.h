// Where the user asked the plug-in to write its trace: the TraceFile value of the
// configuration key, a full path. No value, no trace.
#pragma once

#include <string>

constexpr const wchar_t kTraceFileValue[] = L"TraceFile";

// False when the key or the value is missing or empty.
bool ConfiguredTraceFile(std::wstring& path);
