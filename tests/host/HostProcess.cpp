#include "HostProcess.h"

#include "ChildProcesses.h"
#include "TestFiles.h"

namespace {

// Quoting that the C runtime's argument parser undoes.
std::string QuoteArgument(const std::string& argument)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string HostCommandLine(const std::vector<std::string>& arguments)
{
    return ProgramCommandLine(ORBHOST_EXE, arguments);
}

}  // namespace

std::string ProgramCommandLine(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string command = QuoteArgument(program);
    for (const std::string& argument : arguments) command += " " + QuoteArgument(argument);
    return command;
}

std::string HostOutput(const std::vector<std::string>& arguments)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return "";
    KernelHandle reader(readEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    {
        KernelHandle writer(writeEnd);  // the child's copy alone keeps the pipe open
        std::string command = HostCommandLine(arguments);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writer.Get();
        startup.hStdError = writer.Get();
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
            return "";
        }
        KernelHandle thread(info.hThread);
        KernelHandle process(info.hProcess);
    }
    // Until the host exits and its end of the pipe closes (CTest's time-out bounds a hang).
    std::string output;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(reader.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) output.append(buffer, read);
    return output;
}

HostProcess::HostProcess(const std::string& logName, const std::vector<std::string>& arguments,
                         const std::string& rendererPath, const std::string& program)
{
    installation_.SetString("RendererPath", rendererPath);
    logPath_ = LogFolder("host") + logName + ".log";
    DeleteFileA(logPath_.c_str());

    std::string command = program.empty() ? HostCommandLine(arguments) : ProgramCommandLine(program, arguments);
    command += " --log " + QuoteArgument(logPath_);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        KernelHandle thread(info.hThread);
        process_.Reset(info.hProcess);
    }
}

HostProcess::~HostProcess()
{
    if (!process_) return;
    if (WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

bool HostProcess::WaitForLine(const std::string& text, DWORD timeoutMs) const
{
    const DWORD start = GetTickCount();
    do {
        for (const std::string& line : Lines()) {
            if (line.find(text) != std::string::npos) return true;
        }
        if (!process_ || WaitForSingleObject(process_.Get(), 50) == WAIT_OBJECT_0) {
            for (const std::string& line : Lines()) {
                if (line.find(text) != std::string::npos) return true;
            }
            return false;
        }
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

DWORD HostProcess::Finish(DWORD timeoutMs)
{
    if (!process_ || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

bool HostProcess::CloseWindow() const
{
    const std::vector<std::string> frame = LinesStarting(Lines(), "* window frame=");
    if (frame.empty()) return false;
    const HWND window = reinterpret_cast<HWND>(std::stoul(Field(frame[0], "frame"), nullptr, 16));
    return PostMessageA(window, WM_CLOSE, 0, 0) != FALSE;
}

std::vector<std::string> HostProcess::Lines() const
{
    return ReadLines(logPath_);
}

bool HasField(const std::string& line, const std::string& key)
{
    return line.find(" " + key + "=") != std::string::npos;
}

std::string Field(const std::string& line, const std::string& key)
{
    size_t at = line.find(" " + key + "=");
    if (at == std::string::npos) return "<absent>";
    at += key.size() + 2;
    if (at >= line.size() || line[at] != '"') return line.substr(at, line.find(' ', at) - at);
    std::string value;
    for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
            value += line[i];
            continue;
        }
        const char escaped = line[++i];
        value += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
    }
    return value;
}

std::vector<std::string> LinesStarting(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    }
    return found;
}

int IndexOf(const std::vector<std::string>& lines, const std::string& prefix, int from)
{
    for (size_t i = static_cast<size_t>(from); i < lines.size(); ++i) {
        if (lines[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    }
    return -1;
}

std::string TestPagePath(const std::string& name)
{
    return ORB_SOURCE_DIR "/tests/host/pages/" + name;
}

std::string PageUrl(const std::string& name)
{
    return "file:///" ORB_SOURCE_DIR "/tests/host/pages/" + name;
}

int HostProcess::EndChildren() const
{
    return process_ ? EndChildProcesses(process_.Get(), 7) : 0;
}

int HostProcess::RunningChildren() const
{
    return process_ ? CountRunningChildProcesses(process_.Get()) : 0;
}
