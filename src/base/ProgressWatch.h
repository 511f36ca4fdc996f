// Whether work under way still moves. Both ends of the block look at it often while
// something of theirs is on its way, but work that never moves (a file: name, which the
// renderer opens itself; deliveries the renderer never takes; a fetch that hangs) must not
// keep them at that pace for good: after kStallMs without progress it counts as stalled
// until something moves again. Times are tick counts in milliseconds and may wrap.
#pragma once

#include <cstdint>

class ProgressWatch {
public:
    static constexpr uint32_t kStallMs = 3000;

    void NoteProgress(uint32_t nowMs)
    {
        lastProgressMs = nowMs;
        stalled = false;
    }
    // Stalled stays stalled until the next progress, however far the tick count runs on.
    bool Moving(uint32_t nowMs)
    {
        if (!stalled && nowMs - lastProgressMs >= kStallMs) stalled = true;
        return !stalled;
    }

private:
    uint32_t lastProgressMs = 0;
    bool stalled = true;  // nothing has moved yet
};
