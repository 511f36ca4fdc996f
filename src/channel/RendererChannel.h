// The plug-in's end of one renderer: the block, its mutex and the renderer's process,
// and the group's table of resources. Every operation on the live block holds the
// block's mutex (1000 ms wait) and does nothing when the wait fails; none calls into the
// browser while it holds it. The group holds one reference; whoever calls something that
// may reach the browser holds another for as long as that call lasts.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "activity/ActivitySession.h"
#include "base/LiveCount.h"
#include "base/RefCounted.h"
#include "base/UniqueHandle.h"
#include "block/SharedSegment.h"
#include "channel/LaunchSettings.h"
#include "requests/ResourceTable.h"

// What one service tick found, for the session's pace.
struct TickReport {
    bool progressed = false;  // a request taken, or a state, delivery or release published
    bool underWay = false;    // a fetch of ours, or a delivery the renderer has yet to get
};

class RendererChannel : public SharedSegment,
                        public ActivitySession,
                        public RefCounted,
                        public LiveCount<RendererChannel> {
public:
    RendererChannel() = default;
    ~RendererChannel() override;

    bool Launch(const LaunchSettings& settings);
    // The group is done with it: fetches still under way are stopped and no new one starts,
    // though a caller inside a browser call may hold the channel a little longer.
    void Close();
    // The part of a launch before the renderer is started: takes the fetcher, draws the
    // namePart, creates and fills the block and its mutex.
    bool CreateBlock(const LaunchSettings& settings);
    bool IsRendererRunning() const;
    // Traces how the renderer's process ended (its exit code), or that it still runs.
    void TraceExit(const char* how) const;
    // Whom the trace's lines of this group are about: the start of the block's name.
    std::string TraceSubject() const;

    bool RequestQuit();
    void SetActive(bool on) override;
    bool GetStatusText(std::string& text);  // false: no text (or the wait failed)
    void LoadMappings(const std::map<std::string, std::string>& map);
    TickReport ServiceTick();
    bool RegisterWindow(const std::string& name, HWND window);
    bool UnregisterWindow(const std::string& name, HWND window);
    bool ReserveWindowName(const std::string& name);
    bool LookupWindow(const std::string& name, HWND* window);

    HANDLE Process() const { return process.Get(); }
    // The caller holds the block's mutex for anything but reading the table.
    ResourceTable& Resources() { return resources; }

private:
    bool StartProcess();
    // The tick's work on the block, under its mutex; true when something moved.
    bool TakeRequests(PendingFetches& fetches);
    std::string RecordName(int record);
    int FindRecordByName(const std::string& name);
    int FindRecordByWindow(HWND window) const;

    bool alwaysActive = false;
    KernelHandle process;
    ResourceTable resources;
};
