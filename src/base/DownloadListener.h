// How a fetch reports to whoever asked for it: a state code and a local file.
#pragma once

#include "base/ResourceState.h"

class DownloadListener {
public:
    virtual int GetState() = 0;
    virtual void SetState(int state) = 0;
    virtual void SetLocalFile(const char* path) = 0;
    virtual const char* GetUrl() = 0;  // never null
    // The name the renderer asked for, for the trace; never null.
    virtual const char* GetName() { return ""; }
    virtual void AddRef() = 0;
    virtual void Release() = 0;

protected:
    ~DownloadListener() = default;  // released, never deleted through this interface
};
