// One resource that a renderer channel fetches or holds for its renderer: the name it was
// asked under, the URL fetched, the request ids waiting for it, and what the fetch found.
// Download threads reach it only through its state, local file and reference count,
// which its own lock guards; everything else belongs to the browser's thread.
//
// References: the table holds one while the entry is listed. The reference the entry is
// made with goes to ResourceFetcher::Request, which owns it from then on and releases it
// when it no longer reports to the entry, whatever the outcome; an entry that is never
// handed to a fetcher is released by whoever made it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/AsciiCase.h"
#include "base/DownloadListener.h"
#include "base/LiveCount.h"
#include "base/RefCounted.h"
#include "base/SpinLock.h"

class ResourceEntry : public DownloadListener, public RefCounted, public LiveCount<ResourceEntry> {
public:
    // A new entry is nobody else's yet, so its first state needs no lock.
    ResourceEntry(std::string name, std::string url, int state = StateNone)
        : name(std::move(name)), url(url == this->name ? std::string() : std::move(url)),
          nameHash(CaseFoldedHash(this->name)), state(state)
    {
    }

    int GetState() override;
    void SetState(int state) override;
    void SetLocalFile(const char* path) override;
    const char* GetUrl() override { return url.empty() ? name.c_str() : url.c_str(); }
    const char* GetName() override { return name.c_str(); }
    void AddRef() override;
    void Release() override;

    std::string GetLocalFile();

    std::string name;  // as the renderer asked, without "NOREMAP:"; empty for a navigation
    std::string url;   // fixed once a fetcher has the entry; empty while it is the name
    const uint32_t nameHash;  // of the name asked under, for finding it in the table
    std::vector<int32_t> waitingIds;  // -1 pins the entry for no particular request
    // Ids that were handed the file and have not released it: the file must stay.
    std::vector<int32_t> deliveredIds;
    bool handedOver = false;  // to a fetcher, which moves its state on from then
    int publishedState = StateNone;  // as Publish last read it, for telling progress

protected:
    ~ResourceEntry() override = default;

private:
    SpinLock lock;
    std::string localFile;
    int state = StateNone;
};
