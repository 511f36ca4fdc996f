// A channel's table of resources: how a renderer's request joins it, and how finished
// entries reach the renderer through the block and leave the table. Everything here runs
// on the browser's thread with the block's mutex held by the caller.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

class BlockView;
class ResourceEntry;
class ResourceFetcher;

class ResourceTable {
public:
    ResourceTable() = default;
    // Stops the fetcher, then lets go of it and of the table's entries; entries still held
    // by a fetch outlive the table.
    ~ResourceTable();
    ResourceTable(const ResourceTable&) = delete;
    ResourceTable& operator=(const ResourceTable&) = delete;

    // Takes over one reference.
    void SetFetcher(ResourceFetcher* fetcher);
    ResourceFetcher* Fetcher() const { return fetcher; }

    // Replaces the page's name mappings and requests each mapped resource for no
    // particular id, so it is on its way before the renderer asks.
    void LoadMappings(BlockView& view, const std::map<std::string, std::string>& map);
    // One request from the renderer, or with id -1 and a url from the page's mappings.
    void Request(BlockView& view, int32_t id, const char* name, const char* url);
    // Mirrors entry states into the status words, hands finished files to free delivery
    // slots, and drops what is done with.
    void Publish(BlockView& view);

    const std::deque<ResourceEntry*>& Entries() const { return entries; }
    const std::map<std::string, std::string>& Mappings() const { return mappings; }

private:
    std::map<std::string, std::string> mappings;
    std::deque<ResourceEntry*> entries;
    ResourceFetcher* fetcher = nullptr;
};
