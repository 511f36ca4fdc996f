// The renderer's end of a channel block, for renderer programs built on this library.
//
// Attach with the namePart from the command line (its last argument). After that, touch
// the block only while holding its mutex, and briefly: the plug-in gives up on any wait
// longer than a second.
//
//     RendererClient client;
//     if (!client.Attach(namePart)) return 1;
//     MutexGuard guard(client.Mutex());
//     if (guard.Acquire()) { ... client operations ... }
//
// Every operation below expects the mutex to be held.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "block/MutexGuard.h"
#include "block/SharedSegment.h"
#include "base/ResourceState.h"

// What the plug-in wrote at launch.
struct LaunchFields {
    uint32_t pluginWindow = 0;  // the window to draw in
    bool active = false;
    int32_t adsMode = 0;
    int32_t siteId = 0;
    std::string pageLocation;
    std::string appletUrl;
    std::string rendererArgs;  // the page's CommandLine, then " -width W -height H"
};

struct WindowEntry {
    std::string name;
    uint32_t window;  // 0 while the name is only reserved
};

class RendererClient : public SharedSegment {
public:
    // Opens the mapping and the mutex named from namePart and checks the revision.
    bool Attach(const std::string& namePart);

    LaunchFields ReadLaunchFields();
    bool IsActive() const;
    bool QuitRequested() const;
    uint32_t Heartbeat() const;

    // Asks for a resource (id 1 to 1023, the status word of the request) or, with id -2,
    // asks the browser to show a URL (name "target:url"). The name goes into the block's
    // heap; the plug-in frees it. Returns the slot used, or -1 when no slot is free or
    // the heap has no room.
    int PostRequest(int32_t id, const std::string& name);
    // The status word of a request id (StateNone outside 0..1023).
    int32_t Status(int32_t id) const;
    // Tells the plug-in to stop tracking a request (writes StateReleased).
    void ReleaseRequest(int32_t id);
    // Takes the first filled delivery slot: its id and local file path. The path string
    // is freed and the slot is free again. False when no delivery is waiting.
    bool TakeDelivery(int32_t* id, std::string* path);

    // Text for the browser's status line; none or "" shows nothing.
    bool SetStatusText(const char* text);
    std::vector<WindowEntry> Windows();
};
