// How often a session serves its renderer's block. A renderer that is loading asks in
// chains, each request written right after the previous delivery, so while anything has
// happened lately the block is served often; once nothing has for a while the pace drops
// back, so an idle applet costs the browser next to nothing. Work that stays under way
// without moving (ProgressWatch) holds the busy pace only for a few seconds. Times are tick
// counts in milliseconds and may wrap.
#pragma once

#include <cstdint>

#include "base/ProgressWatch.h"

class ServicePace {
public:
    static constexpr uint32_t kBusyIntervalMs = 10;
    static constexpr uint32_t kIdleIntervalMs = 100;
    // How long after the last activity the busy pace holds.
    static constexpr uint32_t kLingerMs = 1000;

    // A fixed pace serves at the idle interval whatever happens, the way it was before the
    // busy pace existed; the benchmarks compare the two.
    explicit ServicePace(bool fixed = false) : fixed(fixed) {}

    // Something moved: a launch, a request taken, a state, delivery or release published.
    void NoteProgress(uint32_t nowMs);
    // A fetch or delivery is still under way but nothing moved: activity while progress came
    // within ProgressWatch::kStallMs, none after.
    void NoteUnderWay(uint32_t nowMs);
    uint32_t IntervalMs(uint32_t nowMs) const;

private:
    bool fixed;
    bool active = false;
    uint32_t lastActivityMs = 0;
    ProgressWatch progress;
};
