// A listener of our own that records what a fetch reports to it, safe to call from the
// download threads. Counts its live objects so tests can see that none is leaked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "streams/DownloadListener.h"
#include "streams/RefCounted.h"

class TestListener : public DownloadListener, public RefCounted {
public:
    explicit TestListener(const std::string& url);

    int GetState() override;
    void SetState(int state) override;
    void SetLocalFile(const char* path) override;
    const char* GetUrl() override { return url_.c_str(); }
    void AddRef() override { RefCounted::AddRef(); }
    void Release() override { RefCounted::Release(); }

    std::string LocalFile();
    std::vector<int> States();  // every state set, in order
    // Waits up to timeoutMs for a final state (4 or 5); returns the state seen, or 0.
    int WaitForFinal(DWORD timeoutMs);

    static LONG Live();

protected:
    ~TestListener() override;

private:
    std::string url_;
    CRITICAL_SECTION lock_;
    std::vector<int> states_;
    std::string localFile_;
    int state_ = 0;
    static volatile LONG live_;
};
