// How often a user may start a stopped applet again: a renderer that dies at once on every
// start must not turn each click into another process. Plain C++; times are millisecond
// tick counts, which may wrap.
#pragma once

#include <cstdint>

class RestartBudget {
public:
    static constexpr int kRestarts = 3;
    static constexpr uint32_t kWindowMs = 60000;

    // True, and counted, when fewer than kRestarts were granted in the kWindowMs before now.
    bool Take(uint32_t now);

private:
    uint32_t granted[kRestarts] = {};
    int count = 0;  // entries of granted in use, oldest first
};
