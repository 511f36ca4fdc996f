// The channel's table of resources: how a renderer's request joins it and how finished
// entries reach the renderer and leave it. Both run on the browser's thread with the
// block's mutex held.
#include <cctype>
#include <cstring>
#include <utility>

#include "channel/RendererChannel.h"
#include "requests/ResourceEntry.h"
#include "settings/AsciiCase.h"
#include "streams/ResourceFetcher.h"

namespace {

constexpr char kNoRemapPrefix[] = "NOREMAP:";
constexpr char kFilePrefix[] = "file:";

bool IsWaiting(const ResourceEntry* entry, int32_t id)
{
    for (int32_t waiting : entry->waitingIds) {
        if (waiting == id) return true;
    }
    return false;
}

ResourceEntry* FindByWaitingId(const std::deque<ResourceEntry*>& table, int32_t id)
{
    for (ResourceEntry* entry : table) {
        if (IsWaiting(entry, id)) return entry;
    }
    return nullptr;
}

// A failed entry is never shared: a new request for its name starts a new fetch.
ResourceEntry* FindByName(const std::deque<ResourceEntry*>& table, const char* name)
{
    for (ResourceEntry* entry : table) {
        if (EqualsIgnoringCase(entry->name.c_str(), name) && entry->GetState() != StateFailed) return entry;
    }
    return nullptr;
}

void RemoveAt(std::deque<int32_t>& ids, size_t index)
{
    ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace

void RendererChannel::RequestResource(int32_t id, const char* name, const char* url)
{
    // Ids beyond the status words or below the navigation id mean nothing; taking them
    // would let a renderer grow the table past any bound the repeated-id check gives.
    if (id < kNavigationId || id >= kStatusWords) return;
    if (id > 0 && FindByWaitingId(resources, id)) return;

    const char* requestName = name;
    bool remap = !StartsWithIgnoringCase(name, kNoRemapPrefix);
    if (!remap) requestName += std::strlen(kNoRemapPrefix);
    std::string requestUrl = url ? url : "";
    if (!url && remap) {
        auto mapped = mappings.find(requestName);
        if (mapped != mappings.end()) requestUrl = mapped->second;
    }
    if (requestUrl.empty()) requestUrl = requestName;

    if (id != kNavigationId && remap) {
        if (ResourceEntry* shared = FindByName(resources, name)) {
            std::deque<int32_t>& ids = shared->waitingIds;
            for (size_t i = ids.size(); i-- > 0;) {
                if (ids[i] == kFreeSlot) RemoveAt(ids, i);
            }
            if (id != kFreeSlot) SetStatus(id, shared->GetState());
            ids.push_back(id);
            return;
        }
    }
    if (!fetcher) return;

    ResourceEntry* entry = new ResourceEntry(requestName, std::move(requestUrl));
    entry->SetLocalFile("");
    entry->waitingIds.push_back(id);
    entry->SetState(StateRequested);
    if (id > 0) SetStatus(id, StateRequested);

    // A navigation names its target window before the first ':' and never joins the table.
    std::string target;
    bool navigation = id == kNavigationId;
    if (navigation) {
        size_t colon = entry->name.find(':');
        target = entry->name.substr(0, colon);
        entry->url = colon == std::string::npos ? entry->name : entry->name.substr(colon + 1);
        entry->name.clear();
    } else {
        entry->AddRef();
        resources.push_back(entry);
    }

    const char* fetched = entry->GetUrl();
    while (std::isspace(static_cast<unsigned char>(*fetched))) ++fetched;
    if (StartsWithIgnoringCase(fetched, kFilePrefix)) {
        // Never fetched: the creation reference has nobody to go to.
        entry->Release();
        return;
    }
    std::string applet;
    bool isApplet = View()->ReadString(Peek(Block()->appletUrl), &applet) &&
                    EqualsIgnoringCase(entry->GetUrl(), applet.c_str());
    // The fetcher takes over the creation reference.
    fetcher->Request(entry, navigation ? target.c_str() : nullptr, isApplet);
}

void RendererChannel::PublishResources()
{
    DeliverySlot* deliveries = Block()->deliveries;
    int nextDelivery = 0;  // only this loop fills slots, so the first free one only moves on
    for (size_t e = 0; e < resources.size();) {
        ResourceEntry* entry = resources[e];
        std::deque<int32_t>& ids = entry->waitingIds;
        // One reading per tick: the renderer must see the state that decides the entry's fate.
        int state = entry->GetState();
        for (size_t i = 0; i < ids.size();) {
            int32_t id = ids[i];
            if (id != kFreeSlot && StatusOf(id) == StateReleased) {
                SetStatus(id, StateNone);
                RemoveAt(ids, i);
                continue;
            }
            if (id != kFreeSlot) SetStatus(id, state);
            ++i;
        }

        if (state == StateReady) {
            std::string file = entry->GetLocalFile();
            for (size_t i = 0; i < ids.size();) {
                while (nextDelivery < kDeliverySlots && Peek(deliveries[nextDelivery].id) != kFreeSlot) {
                    ++nextDelivery;
                }
                if (nextDelivery == kDeliverySlots) break;
                int32_t id = ids[i];
                if (id == kFreeSlot) {
                    ++i;
                    continue;
                }
                DeliverySlot& slot = deliveries[nextDelivery];
                if (!View()->StoreString(slot.path, file.c_str(), kPathLimit)) break;
                Poke(slot.id, id);
                SetStatus(id, StateDelivered);
                RemoveAt(ids, i);
            }
        }
        if (state == StateFailed || (state == StateReady && ids.empty())) {
            resources.erase(resources.begin() + static_cast<std::ptrdiff_t>(e));
            entry->Release();
            continue;
        }
        ++e;
    }
}
