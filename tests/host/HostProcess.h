// orbhost.exe run as a child process, as a user would start the browser, and its call log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ConfigurationKey.h"
#include "PluginModule.h"
#include "base/UniqueHandle.h"

class HostProcess {
public:
    // Starts orbhost.exe (or `program`, which takes the same --log) with `arguments` plus
    // "--log <logs>/<logName>.log", with the renderer installed as a user's installation has
    // it (the reference renderer unless the test brings its own).
    HostProcess(const std::string& logName, const std::vector<std::string>& arguments,
                const std::string& rendererPath = RendererExePath(), const std::string& program = "");
    ~HostProcess();  // ends a host that is still running
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool Started() const { return process_.Valid(); }
    bool WaitForLine(const std::string& text, DWORD timeoutMs) const;
    // Closes the browser's window as a user would; false while the log names no window.
    bool CloseWindow() const;
    // Waits for the exit; the exit code, or STILL_ACTIVE after the time-out.
    DWORD Finish(DWORD timeoutMs);
    std::vector<std::string> Lines() const;
    // Ends the processes the host started (its renderers) as a crash would; how many.
    int EndChildren() const;
    int RunningChildren() const;  // how many of them still run

private:
    // In the 32-bit view, where the (32-bit) installer writes it, whatever this program's width.
    ConfigurationKey installation_{KEY_WOW64_32KEY};
    std::string logPath_;
    KernelHandle process_;
};

// The command line that starts `program` with `arguments`, each quoted for the C runtime.
std::string ProgramCommandLine(const std::string& program, const std::vector<std::string>& arguments);

// orbhost.exe run with `arguments` to its end; what it wrote to its standard output and error.
std::string HostOutput(const std::vector<std::string>& arguments);

// The value of `key` in a log line: a quoted string unescaped, or the bare word.
std::string Field(const std::string& line, const std::string& key);
bool HasField(const std::string& line, const std::string& key);

// Lines that start with `prefix` (e.g. "> NPP_New inst=1 ").
std::vector<std::string> LinesStarting(const std::vector<std::string>& lines, const std::string& prefix);
// Index of the first line at or after `from` that starts with `prefix`; -1 when none.
int IndexOf(const std::vector<std::string>& lines, const std::string& prefix, int from = 0);

std::string TestPagePath(const std::string& name);  // tests/host/pages/<name>, as Wine sees it
std::string PageUrl(const std::string& name);       // its file: URL as the host forms it
