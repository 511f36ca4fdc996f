// Starts the channel test peer as a separate process and waits for it.
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"

// The peer executable as Windows sees it.
std::string PeerPath();

class PeerProcess {
public:
    explicit PeerProcess(const std::string& arguments);
    ~PeerProcess();  // waits for the peer a while, then ends it
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return process_.Valid(); }
    HANDLE Handle() const { return process_.Get(); }
    bool Running() const;
    // The exit code, or -1 when the peer did not end within the time.
    long Wait(DWORD milliseconds = 30000);

private:
    KernelHandle process_;
};

// A named manual-reset event for signalling between the test and the peer.
class NamedEvent {
public:
    explicit NamedEvent(const std::string& name);
    HANDLE Handle() const { return handle_.Get(); }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    KernelHandle handle_;
};

// A unique temporary file name; the file is removed with the object.
class ScratchFile {
public:
    ScratchFile();
    ~ScratchFile() { DeleteFileA(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& Path() const { return path_; }
    std::string Read() const;

private:
    std::string path_;
};
