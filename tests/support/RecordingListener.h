// A listener of our own: records every call a fetcher makes, from any thread, and lets a
// test wait until the fetcher has given its reference back.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/DownloadListener.h"
#include "base/RefCounted.h"
#include "base/UniqueHandle.h"

class RecordingListener : public DownloadListener, public RefCounted {
public:
    explicit RecordingListener(std::string url = std::string());

    int GetState() override;
    void SetState(int state) override;
    void SetLocalFile(const char* path) override;
    const char* GetUrl() override { return url_.c_str(); }
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override;

    // "file:<path>", "state:<code>" and "release", in the order they came.
    std::vector<std::string> Calls();
    // The record of a SetState call.
    static std::string StateCall(int state) { return "state:" + std::to_string(state); }
    std::string LocalFile();
    int Releases();
    // The thread that made the first Release call.
    DWORD ReleasingThread();
    bool WaitForRelease(DWORD timeoutMs);

    // Listeners not yet destroyed, over the whole process: 0 after a test means none leaked.
    static LONG Live();

protected:
    ~RecordingListener() override;

private:
    std::string url_;
    std::mutex mutex_;
    KernelHandle released_;
    std::vector<std::string> calls_;
    int state_ = StateFetching;
    std::string localFile_;
    int releases_ = 0;
    DWORD releasingThread_ = 0;
    static volatile LONG live_;
};
