// A requester for tests: remembers every state and file it is told and counts its
// references, so a test sees what a fetch reported and whether it let go.
#pragma once

#include <string>
#include <vector>

#include "base/DownloadListener.h"

class CountingListener : public DownloadListener {
public:
    explicit CountingListener(std::string url) : url_(std::move(url)) {}

    int GetState() override { return states.empty() ? 0 : states.back(); }
    void SetState(int state) override { states.push_back(state); }
    void SetLocalFile(const char* path) override { files.push_back(path ? path : "(null)"); }
    const char* GetUrl() override { return url_.c_str(); }
    void AddRef() override { ++references; }
    void Release() override { --references; }

    std::vector<int> states;
    std::vector<std::string> files;
    int references = 1;  // the requester's own

private:
    std::string url_;
};
