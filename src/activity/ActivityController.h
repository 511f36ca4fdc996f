// One object per browser process and host class that lets exactly one renderer session
// be active, and that one only while the browser's process owns the foreground window.
// Every copy of the plug-in loaded into the process finds the same object through a
// small named block whose first word holds its address. Once made, object and block stay
// until the process ends, whichever copy made them.
#pragma once

#include <windows.h>

#include <deque>

#include "activity/ActivitySession.h"

class ActivityController {
public:
    ActivityController();
    ~ActivityController();
    ActivityController(const ActivityController&) = delete;
    ActivityController& operator=(const ActivityController&) = delete;

    // remove false: register channel at the end; remove true: drop its first entry.
    void Track(ActivitySession* channel, bool remove);
    void Activate(ActivitySession* channel);
    void CheckForeground();

    bool InBackground() const { return inBackground; }
    ActivitySession* ActiveChannel() const { return activeChannel; }
    size_t SessionCount() const { return sessions.size(); }

private:
    // Field order is shared by every module that finds this object through the block.
    bool inBackground = true;
    CRITICAL_SECTION lock;
    std::deque<ActivitySession*> sessions;
    ActivitySession* activeChannel = nullptr;
};

// Keeps a heap copy of the module's host class name; null leaves it unchanged.
void SetActivityClass(const char* name);

// The process's controller for this module's host class, or none; found or made on the
// first successful call, cached for the module's life after that.
ActivityController* GetActivityController();
