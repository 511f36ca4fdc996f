// What a renderer channel holds to fetch the resources its renderer asks for.
#pragma once

#include <string>

class DownloadListener;

class ResourceFetcher {
public:
    // True when the request was taken; false when it failed at once, in which case the
    // listener has already been told StateFailed.
    virtual bool Request(DownloadListener* listener, const char* target, bool isApplet) = 0;
    // The renderer is done with a file this fetcher reported: what the fetcher keeps of it
    // may go now. Paths it does not know are ignored.
    virtual void DiscardFile(const std::string& localFile) = 0;
    virtual void Shutdown() = 0;
    virtual void AddRef() = 0;
    virtual void Release() = 0;

protected:
    ~ResourceFetcher() = default;
};
