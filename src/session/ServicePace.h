// How often a session serves its renderer's block. A renderer that is loading asks in
// chains, each request written right after the previous delivery, so while anything has
// happened lately the block is served often; once nothing has for a while the pace drops
// back, so an idle applet costs the browser next to nothing. Times are tick counts in
// milliseconds and may wrap.
#pragma once

#include <cstdint>

class ServicePace {
public:
    static constexpr uint32_t kBusyIntervalMs = 10;
    static constexpr uint32_t kIdleIntervalMs = 100;
    // How long after the last activity the busy pace holds.
    static constexpr uint32_t kLingerMs = 1000;

    // A fixed pace serves at the idle interval whatever happens, the way it was before the
    // busy pace existed; the benchmarks compare the two.
    explicit ServicePace(bool fixed = false) : fixed(fixed) {}

    // A launch, a request taken, a fetch or delivery still under way.
    void NoteActivity(uint32_t nowMs);
    uint32_t IntervalMs(uint32_t nowMs) const;

private:
    bool fixed;
    bool active = false;
    uint32_t lastActivityMs = 0;
};
