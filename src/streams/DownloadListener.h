// How a fetch reports to whoever asked for it: a state code and a local file.
#pragma once

// State codes shared with the block's status words. 1 is never used.
enum ResourceState : int {
    StateNone = 0,
    StateRequested = 2,
    StateFetching = 3,
    StateFailed = 4,
    StateReady = 5,
    StateDelivered = 6,
    StateReleased = 7,
};

class DownloadListener {
public:
    virtual int GetState() = 0;
    virtual void SetState(int state) = 0;
    virtual void SetLocalFile(const char* path) = 0;
    virtual const char* GetUrl() = 0;  // never null
    virtual void AddRef() = 0;
    virtual void Release() = 0;

protected:
    ~DownloadListener() = default;  // released, never deleted through this interface
};
