#include "PeerProcess.h"

#include <cstdio>
#include <fstream>
#include <sstream>

std::string PeerPath()
{
    std::string path = CHANNEL_PEER_PATH;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

PeerProcess::PeerProcess(const std::string& arguments)
{
    std::string commandLine = "\"" + PeerPath() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &started)) {
        KernelHandle thread(started.hThread);
        process_.Reset(started.hProcess);
    }
}

PeerProcess::~PeerProcess()
{
    if (process_ && WaitForSingleObject(process_.Get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.Get(), 1);
}

bool PeerProcess::Running() const
{
    return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

long PeerProcess::Wait(DWORD milliseconds)
{
    if (!process_ || WaitForSingleObject(process_.Get(), milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return static_cast<long>(code);
}

NamedEvent::NamedEvent(const std::string& name)
    : name_(name + std::to_string(GetCurrentProcessId())),
      handle_(CreateEventA(nullptr, TRUE, FALSE, name_.c_str()))
{
}

ScratchFile::ScratchFile()
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    static int counter = 0;
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sorbchannel_%lu_%d.txt", directory, GetCurrentProcessId(), ++counter);
    path_ = name;
    DeleteFileA(path_.c_str());
}

std::string ScratchFile::Read() const
{
    std::ifstream file(path_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
