// How many new windows a page may open: a few at once, then one every ten seconds. The
// plug-in's navigation throttle draws on it for targets that open a window, and the player
// for every link it hands to the user's programs. Plain C++; the caller gives the time.
#pragma once

#include <cstdint>

class WindowBudget {
public:
    static constexpr uint32_t kBurst = 4;
    static constexpr uint32_t kEveryMs = 10000;

    // True when a new window may open now, and counts it.
    bool Take(uint32_t nowMs);

private:
    uint32_t left_ = kBurst;
    uint32_t refillFromMs_ = 0;  // when the budget last stood full or earned a window
};
