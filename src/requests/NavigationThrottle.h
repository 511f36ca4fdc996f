// Keeps a renderer from flooding the browser with navigations: each target window gets at
// most one a second, and only a few targets may be navigated in the same second. A target
// that names no window yet opens one, so new targets also draw on a budget that refills
// slowly: a few at once, then one every ten seconds. Plain C++; the caller gives the time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "requests/WindowBudget.h"

class NavigationThrottle {
public:
    static constexpr uint32_t kIntervalMs = 1000;
    static constexpr size_t kTargetsPerInterval = 4;
    static constexpr uint32_t kNewWindowBurst = WindowBudget::kBurst;
    static constexpr uint32_t kNewWindowEveryMs = WindowBudget::kEveryMs;
    // Names of windows already opened; past this many the least recently used is forgotten
    // and opens a window again as far as the budget is concerned. Longer names are never kept.
    static constexpr size_t kRememberedNames = 32;
    static constexpr size_t kLongestRememberedName = 256;

    // True when a navigation of target may reach the browser now, and counts it.
    bool Allow(const std::string& target, uint32_t nowMs);

private:
    std::map<std::string, uint32_t> lastByTarget;
    std::vector<std::string> openedNames;  // least recently used first
    WindowBudget newWindows;
};
