// The host's record of every call between it and the plug-in, one line each, flushed at
// once so that a test can follow it while the host runs.
//   "> NAME key=value ... -> RESULT"  a call the host made into the plug-in
//   "< NAME key=value ... -> RESULT"  a call the plug-in made into the host
//   "* EVENT key=value ..."           what the host did on its own
// Strings are double-quoted with C escapes; a null string is (null).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

class CallLog {
public:
    CallLog() = default;                         // keeps nothing
    explicit CallLog(const std::string& path);  // empty or "-": standard output
    ~CallLog();
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    void Line(const std::string& text);

    // `onMatch` runs once, after the first line that contains `text`.
    void Watch(const std::string& text, std::function<void()> onMatch);

    static std::string Quote(const char* text);
    static std::string Quote(const std::string& text) { return Quote(text.c_str()); }
    static std::string Pointer(const void* pointer) { return Address(reinterpret_cast<uintptr_t>(pointer)); }
    static std::string Address(uintptr_t address);

private:
    FILE* file_ = nullptr;
    bool ownsFile_ = false;
    std::string watched_;
    std::function<void()> onMatch_;
};
