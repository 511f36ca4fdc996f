#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace orb {

// Holds the system timer at a millisecond while it lives. Windows ends waits on its timer tick,
// 15.6 ms unless a program asks for finer, which would round the frame loop's waits up and make
// its 60 frames a second uneven. Held only while frames run, for the sake of batteries.
class TimerResolution {
public:
    TimerResolution() : held_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~TimerResolution()
    {
        if (held_)
            timeEndPeriod(1);
    }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    const bool held_;
};

}  // namespace orb
