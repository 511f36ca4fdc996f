// A ResourceFetcher of our own for channel tests: records every request and either keeps
// the listener (to be finished by the test), reports it ready with a file path at once,
// or fails it at once. Like the real one it owns the reference each Request hands it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/ResourceFetcher.h"

class DownloadListener;

struct FetchCall {
    std::string url;
    std::string target;  // "(null)" for none
    bool isApplet = false;
};

class TestFetcher : public ResourceFetcher {
public:
    enum class Mode { Hold, Ready, Fail };

    bool Request(DownloadListener* listener, const char* target, bool isApplet) override;
    void DiscardFile(const std::string& localFile) override { discarded.push_back(localFile); }
    void Shutdown() override;
    void AddRef() override { ++refs; }
    void Release() override { --refs; }

    // Reports a held listener (by order of arrival among those still held) and lets it go.
    void Finish(size_t index, int state, const std::string& path = std::string());

    Mode mode = Mode::Hold;
    // The local file reported in Ready mode; by default the URL with a fixed prefix.
    std::function<std::string(const std::string& url)> pathFor;
    // Runs inside every Request before it is served, as a browser's own message loop would.
    std::function<void()> during;
    std::vector<FetchCall> calls;
    std::vector<DownloadListener*> held;
    std::vector<std::string> discarded;
    int refs = 1;
    bool shutDown = false;
};
