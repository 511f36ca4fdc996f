// A channel's table of resources: how a renderer's request joins it, and how finished
// entries reach the renderer through the block and leave the table. Everything here runs
// on the browser's thread; what touches the block runs with its mutex held by the caller.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "block/ChannelBlock.h"
#include "requests/NavigationThrottle.h"

class BlockView;
class ResourceEntry;
class ResourceFetcher;

// What a request leaves to do once the block's mutex is let go: the fetcher calls into the
// browser, which may run a message loop of its own in there (a prompt, a download dialog),
// and the renderer must not wait on the mutex for as long as that lasts.
struct PendingFetch {
    ResourceEntry* entry;  // the reference the entry was made with, for the fetcher
    std::string target;    // a navigation's window
    bool navigation;
    bool isApplet;
};
using PendingFetches = std::vector<PendingFetch>;

class ResourceTable {
public:
    // However many names a renderer asks for without ever letting go of them, the table
    // holds no more entries than this besides those kept only for ids 1 and up that hold
    // their file (one such id holds one file at most); requests beyond it fail at once.
    static constexpr size_t kEntryLimit = 1024;
    // Id 0 may wait on several entries at once, so it may be handed several files before
    // it can have read them; it keeps the newest this many, which count within the entry
    // limit. A whole tick of deliveries fits, so a renderer that reads what it takes before
    // the next round of deliveries to id 0 loses nothing.
    static constexpr size_t kIdZeroFiles = kDeliverySlots;

    ResourceTable();
    // Stops the fetcher, then lets go of it and of the table's entries; entries still held
    // by a fetch outlive the table.
    ~ResourceTable();
    ResourceTable(const ResourceTable&) = delete;
    ResourceTable& operator=(const ResourceTable&) = delete;

    // Takes over one reference.
    void SetFetcher(ResourceFetcher* fetcher);
    // The URL the launch named as the applet: a request for it is fetched as the applet. The
    // table keeps its own copy, so nothing the renderer writes into the block changes it.
    void SetAppletUrl(std::string url) { appletUrl = std::move(url); }
    // Whom the trace's lines about this table's requests name.
    void SetTraceSubject(std::string subject) { traceSubject = std::move(subject); }
    // Lets the fetcher discard every file the table still holds, then stops the fetcher and
    // lets go of it; later fetches fail.
    void Close();
    ResourceFetcher* Fetcher() const { return fetcher; }

    // Replaces the page's name mappings and requests each mapped resource for no
    // particular id, so it is on its way before the renderer asks.
    void LoadMappings(BlockView& view, const std::map<std::string, std::string>& map,
                      PendingFetches& fetches);
    // One request from the renderer, or with id -1 and a url from the page's mappings.
    // nowMs is the tick count, for keeping navigations apart.
    void Request(BlockView& view, int32_t id, const char* name, const char* url, uint32_t nowMs,
                 PendingFetches& fetches);
    // Without the block's mutex: hands each fetch to the fetcher, which owns the entry's
    // reference from then on, and lets the fetcher discard the files of entries that went.
    void StartFetches(PendingFetches& fetches);
    // Mirrors entry states into the status words, hands finished files to free delivery
    // slots, and drops what is done with. A delivered file stays with its entry until every
    // id it went to is released (or asks anew), since the renderer may open it until then.
    // True when something moved since the last call: a state, a delivery, a release, an
    // entry gone.
    bool Publish(BlockView& view);
    // A fetch of ours is under way, or a renderer's request still waits for a file we
    // fetched. A file: entry, which the renderer opens itself, never is.
    bool UnderWay() const;

    const std::deque<ResourceEntry*>& Entries() const { return entries; }
    const std::map<std::string, std::string>& Mappings() const { return mappings; }

private:
    ResourceEntry* FindByName(std::string_view name) const;
    // Lets go of ids[index], which no longer waits for anything.
    void Forget(std::vector<int32_t>& ids, size_t index);
    // The id holds the entry's file until it is released; id 0 until newer files push it out.
    void Hold(ResourceEntry* entry, int32_t id);
    // Lets go of entry->deliveredIds[index].
    void Unhold(ResourceEntry* entry, size_t index);
    // The entry leaves the table; a file it was finished with (state) goes once the
    // block's mutex is let go.
    void Remove(size_t index, int state);
    // Queues the entry's file for discarding if it was fetched and every holder can let go.
    void NoteUnneeded(ResourceEntry* entry, int state);
    // Without the block's mutex: hands the queued files to the fetcher.
    void DiscardUnneeded();
    // Under the block's mutex an event is only noted; it goes to the trace with the fetches.
    void NoteForTrace(std::string event);

    std::map<std::string, std::string> mappings;
    std::deque<ResourceEntry*> entries;
    std::vector<uint32_t> nameHashes;  // entries[i]->nameHash, kept beside it
    ResourceFetcher* fetcher = nullptr;
    std::string appletUrl;
    std::string traceSubject = "group";
    std::vector<std::string> tracedEvents;
    // By request id: the id waits on an entry of the table. An id waits on one entry at most.
    std::vector<bool> waiting;
    // By request id: the entry whose delivered file the id holds.
    std::vector<ResourceEntry*> holder;
    size_t heldIds = 0;  // ids 1 and up that hold a file
    // The entries whose files id 0 holds, oldest first; one may appear more than once.
    std::deque<ResourceEntry*> idZeroHolds;
    std::vector<std::string> unneededFiles;
    NavigationThrottle navigations;
};
