// The plug-in's end of one renderer: the block, its mutex and the renderer's process,
// and the group's table of resources. Every operation on the live block holds the
// block's mutex (1000 ms wait) and does nothing when the wait fails.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <string>

#include "activity/ActivitySession.h"
#include "channel/LaunchSettings.h"
#include "channel/SharedSegment.h"

class ResourceEntry;
class ResourceFetcher;

class RendererChannel : public SharedSegment, public ActivitySession {
public:
    RendererChannel() = default;
    ~RendererChannel() override;

    bool Launch(const LaunchSettings& settings);
    // The part of a launch before the renderer is started: takes the fetcher, draws the
    // namePart, creates and fills the block and its mutex.
    bool CreateBlock(const LaunchSettings& settings);
    bool IsRendererRunning() const;

    bool RequestQuit();
    void SetActive(bool on) override;
    bool GetStatusText(std::string& text);  // false: no text (or the wait failed)
    void LoadMappings(const std::map<std::string, std::string>& map);
    void ServiceTick();
    bool RegisterWindow(const std::string& name, HWND window);
    bool UnregisterWindow(const std::string& name, HWND window);
    bool ReserveWindowName(const std::string& name);
    bool LookupWindow(const std::string& name, HWND* window);

    // One request from the renderer (or, with id -1, from the page's mappings); the
    // caller holds the block's mutex.
    void RequestResource(int32_t id, const char* name, const char* url);

    HANDLE Process() const { return process; }
    const std::deque<ResourceEntry*>& Resources() const { return resources; }
    const std::map<std::string, std::string>& Mappings() const { return mappings; }

protected:
    void PublishResources();

    bool alwaysActive = false;
    HANDLE process = INVALID_HANDLE_VALUE;
    std::map<std::string, std::string> mappings;
    std::deque<ResourceEntry*> resources;
    ResourceFetcher* fetcher = nullptr;

private:
    bool StartProcess();
    int32_t StatusOf(int32_t id) const;
    void SetStatus(int32_t id, int32_t state);
    std::string RecordName(int record);
    int FindRecordByName(const std::string& name);
    int FindRecordByWindow(HWND window) const;
};
