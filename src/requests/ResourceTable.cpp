#include "requests/ResourceTable.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "base/AsciiCase.h"
#include "base/ResourceFetcher.h"
#include "base/Trace.h"
#include "block/BlockView.h"
#include "requests/ResourceEntry.h"
#include "requests/UrlScheme.h"

namespace {

constexpr char kNoRemapPrefix[] = "NOREMAP:";
constexpr char kFilePrefix[] = "file:";

void RemoveAt(std::vector<int32_t>& ids, size_t index)
{
    ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(index));
}

int32_t StatusOf(const BlockView& view, int32_t id)
{
    return id >= 0 && id < kStatusWords ? Peek(view.Block()->requestStatus[id]) : StateNone;
}

void SetStatus(BlockView& view, int32_t id, int32_t state)
{
    if (id >= 0 && id < kStatusWords) Poke(view.Block()->requestStatus[id], state);
}

}  // namespace

ResourceTable::~ResourceTable()
{
    Close();
    for (ResourceEntry* entry : entries) entry->Release();
}

void ResourceTable::Close()
{
    if (!fetcher) return;
    // The renderer is gone or going: nobody will open the files held for it.
    for (ResourceEntry* entry : entries) NoteUnneeded(entry, entry->GetState());
    DiscardUnneeded();
    fetcher->Shutdown();
    fetcher->Release();
    fetcher = nullptr;
}

void ResourceTable::SetFetcher(ResourceFetcher* newFetcher)
{
    if (fetcher) fetcher->Release();
    fetcher = newFetcher;
}

void ResourceTable::LoadMappings(BlockView& view, const std::map<std::string, std::string>& map,
                                 PendingFetches& fetches)
{
    if (&map != &mappings) mappings = map;
    for (const auto& [name, replacement] : mappings) {
        Request(view, kFreeSlot, name.c_str(), replacement.c_str(), 0, fetches);
    }
}

void ResourceTable::StartFetches(PendingFetches& fetches)
{
    for (PendingFetch& fetch : fetches) {
        if (fetcher) {
            fetcher->Request(fetch.entry, fetch.navigation ? fetch.target.c_str() : nullptr, fetch.isApplet);
        } else {
            fetch.entry->SetState(StateFailed);
            fetch.entry->Release();
        }
    }
    fetches.clear();
    // After the fetches, which the renderer waits for.
    DiscardUnneeded();
    std::vector<std::string> events;
    events.swap(tracedEvents);
    for (const std::string& event : events) TraceEvent(traceSubject, event);
}

void ResourceTable::NoteForTrace(std::string event)
{
    // A renderer that floods the table with refused names is held to the trace's own bound.
    if (tracedEvents.size() < static_cast<size_t>(kRequestSlots)) tracedEvents.push_back(std::move(event));
}

void ResourceTable::NoteUnneeded(ResourceEntry* entry, int state)
{
    if (state == StateReady) unneededFiles.push_back(entry->GetLocalFile());
}

void ResourceTable::DiscardUnneeded()
{
    std::vector<std::string> files;
    files.swap(unneededFiles);
    for (const std::string& file : files) {
        if (fetcher) fetcher->DiscardFile(file);
    }
}

void ResourceTable::Request(BlockView& view, int32_t id, const char* name, const char* url, uint32_t nowMs,
                            PendingFetches& fetches)
{
    // Ids beyond the status words or below the navigation id mean nothing; taking them
    // would let a renderer grow the table past any bound the repeated-id check gives.
    if (id < kNavigationId || id >= kStatusWords) return;
    if (id > 0 && waiting[id]) return;
    // Asking anew under an id lets go of the file it was last handed.
    if (id > 0 && holder[id]) {
        std::vector<int32_t>& held = holder[id]->deliveredIds;
        Unhold(holder[id], static_cast<size_t>(std::find(held.begin(), held.end(), id) - held.begin()));
    }

    const char* requestName = name;
    bool remap = !StartsWithIgnoringCase(name, kNoRemapPrefix);
    if (!remap) requestName += std::strlen(kNoRemapPrefix);
    const char* requestUrl = url;
    if (!url && remap && !mappings.empty()) {
        auto mapped = mappings.find(requestName);
        if (mapped != mappings.end()) requestUrl = mapped->second.c_str();
    }
    if (!requestUrl || !*requestUrl) requestUrl = requestName;

    if (id != kNavigationId && remap) {
        if (ResourceEntry* shared = FindByName(name)) {
            std::vector<int32_t>& ids = shared->waitingIds;
            // Id 0 may wait on several entries, but on each once: a renderer repeating a
            // name under it would otherwise grow the list, and every tick's walk of it.
            if (id == 0 && std::find(ids.begin(), ids.end(), 0) != ids.end()) return;
            for (size_t i = ids.size(); i-- > 0;) {
                if (ids[i] == kFreeSlot) RemoveAt(ids, i);
            }
            if (id != kFreeSlot) SetStatus(view, id, shared->GetState());
            ids.push_back(id);
            if (id > 0) waiting[id] = true;
            return;
        }
    }
    if (!fetcher) return;
    const bool navigation = id == kNavigationId;
    if (!navigation && entries.size() >= kEntryLimit + heldIds) {
        if (id > 0) SetStatus(view, id, StateFailed);
        if (TraceOn()) {
            NoteForTrace("request refused (the table holds its limit of " + std::to_string(kEntryLimit) +
                         " entries): " + requestName + " " + requestUrl);
        }
        return;
    }

    ResourceEntry* entry = new ResourceEntry(requestName, requestUrl, StateRequested);
    entry->waitingIds.push_back(id);
    if (id > 0) SetStatus(view, id, StateRequested);

    // A navigation names its target window before the first ':' and never joins the table.
    std::string target;
    if (navigation) {
        size_t colon = entry->name.find(':');
        target = entry->name.substr(0, colon);
        entry->url = colon == std::string::npos ? entry->name : entry->name.substr(colon + 1);
        entry->name.clear();
    } else {
        entry->AddRef();
        entries.push_back(entry);
        nameHashes.push_back(entry->nameHash);
        if (id > 0) waiting[id] = true;
    }

    const char* fetched = entry->GetUrl();
    while (std::isspace(static_cast<unsigned char>(*fetched))) ++fetched;
    if (StartsWithIgnoringCase(fetched, kFilePrefix)) {
        if (TraceOn()) {
            NoteForTrace(navigation ? "navigation refused (a local file): " + target + " " + fetched
                                    : "request left to the renderer (a file it opens itself): " + entry->name + " " +
                                          fetched);
        }
        // Never fetched: the creation reference has nobody to go to.
        entry->Release();
        return;
    }
    // Applet content must not reach script in the page, nor have the browser fetch from
    // schemes that hand back something other than a server's file.
    const char* refusal = nullptr;
    if (navigation) {
        if (!MayNavigate(fetched)) {
            refusal = "its scheme may not be navigated to";
        } else if (!navigations.Allow(target, nowMs)) {
            refusal = "too many navigations to that target or to new windows lately";
        }
    } else if (!MayFetch(fetched)) {
        refusal = "its scheme may not be fetched";
    }
    if (refusal) {
        if (TraceOn()) {
            NoteForTrace(std::string(navigation ? "navigation" : "request") + " refused (" + refusal + "): " +
                         (navigation ? target : entry->name) + " " + fetched);
        }
        entry->SetState(StateFailed);
        if (id > 0) SetStatus(view, id, StateFailed);
        entry->Release();
        return;
    }
    const bool isApplet = !appletUrl.empty() && EqualsIgnoringCase(entry->GetUrl(), appletUrl);
    entry->handedOver = true;
    fetches.push_back({entry, std::move(target), navigation, isApplet});
}

ResourceTable::ResourceTable() : waiting(kStatusWords, false), holder(kStatusWords, nullptr)
{
}

void ResourceTable::Hold(ResourceEntry* entry, int32_t id)
{
    entry->deliveredIds.push_back(id);
    if (id > 0) {
        holder[id] = entry;
        ++heldIds;
        return;
    }
    // The entry that falls out leaves at its next visit by Publish, its file with it.
    idZeroHolds.push_back(entry);
    if (idZeroHolds.size() <= kIdZeroFiles) return;
    ResourceEntry* oldest = idZeroHolds.front();
    std::vector<int32_t>& held = oldest->deliveredIds;
    Unhold(oldest, static_cast<size_t>(std::find(held.begin(), held.end(), 0) - held.begin()));
}

void ResourceTable::Unhold(ResourceEntry* entry, size_t index)
{
    std::vector<int32_t>& held = entry->deliveredIds;
    const int32_t id = held[index];
    if (id > 0) {
        holder[id] = nullptr;
        --heldIds;
    } else {
        idZeroHolds.erase(std::find(idZeroHolds.begin(), idZeroHolds.end(), entry));
    }
    RemoveAt(held, index);
}

void ResourceTable::Remove(size_t index, int state)
{
    ResourceEntry* entry = entries[index];
    std::vector<int32_t>& ids = entry->waitingIds;
    while (!ids.empty()) Forget(ids, ids.size() - 1);
    while (!entry->deliveredIds.empty()) Unhold(entry, entry->deliveredIds.size() - 1);
    NoteUnneeded(entry, state);
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
    nameHashes.erase(nameHashes.begin() + static_cast<std::ptrdiff_t>(index));
    entry->Release();
}

// A failed entry is never shared: a new request for its name starts a new fetch. The hashes
// sit side by side, so a full tick of new names costs a scan of plain words, not of entries.
ResourceEntry* ResourceTable::FindByName(std::string_view name) const
{
    const uint32_t hash = CaseFoldedHash(name);
    for (size_t i = 0; i < nameHashes.size(); ++i) {
        if (nameHashes[i] != hash) continue;
        ResourceEntry* entry = entries[i];
        if (EqualsIgnoringCase(entry->name, name) && entry->GetState() != StateFailed) return entry;
    }
    return nullptr;
}

void ResourceTable::Forget(std::vector<int32_t>& ids, size_t index)
{
    if (ids[index] > 0) waiting[ids[index]] = false;
    RemoveAt(ids, index);
}

bool ResourceTable::UnderWay() const
{
    for (ResourceEntry* entry : entries) {
        if (!entry->handedOver) continue;
        const int state = entry->GetState();
        if (state == StateRequested || state == StateFetching) return true;
        for (int32_t id : entry->waitingIds) {
            if (id != kFreeSlot) return true;
        }
    }
    return false;
}

bool ResourceTable::Publish(BlockView& view)
{
    bool moved = false;
    DeliverySlot* deliveries = view.Block()->deliveries;
    int nextDelivery = 0;  // only this loop fills slots, so the first free one only moves on
    for (size_t e = 0; e < entries.size();) {
        ResourceEntry* entry = entries[e];
        std::vector<int32_t>& ids = entry->waitingIds;
        // One reading per tick: the renderer must see the state that decides the entry's fate.
        int state = entry->GetState();
        if (state != entry->publishedState) moved = true;
        entry->publishedState = state;
        for (size_t i = 0; i < ids.size();) {
            int32_t id = ids[i];
            if (id != kFreeSlot && StatusOf(view, id) == StateReleased) {
                SetStatus(view, id, StateNone);
                Forget(ids, i);
                moved = true;
                continue;
            }
            if (id != kFreeSlot) SetStatus(view, id, state);
            ++i;
        }
        std::vector<int32_t>& held = entry->deliveredIds;
        for (size_t i = held.size(); i-- > 0;) {
            // Word 0 is shared by whatever id 0 waits on or holds: its files go by age.
            if (held[i] == 0 || StatusOf(view, held[i]) != StateReleased) continue;
            SetStatus(view, held[i], StateNone);
            Unhold(entry, i);
            moved = true;
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
                if (!view.StoreString(slot.path, file.c_str(), kPathLimit)) break;
                Poke(slot.id, id);
                SetStatus(view, id, StateDelivered);
                Forget(ids, i);
                Hold(entry, id);
                moved = true;
            }
        }
        if (state == StateFailed || (state == StateReady && ids.empty() && held.empty())) {
            Remove(e, state);
            moved = true;
            continue;
        }
        ++e;
    }
    return moved;
}
