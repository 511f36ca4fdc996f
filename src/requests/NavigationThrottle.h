// Keeps a renderer from flooding the browser with navigations: each target window gets at
// most one a second, and only a few targets may be navigated in the same second (a named
// target that does not exist opens a new window). Plain C++; the caller gives the time.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class NavigationThrottle {
public:
    static constexpr uint32_t kIntervalMs = 1000;
    static constexpr size_t kTargetsPerInterval = 4;

    // True when a navigation of target may reach the browser now, and counts it.
    bool Allow(const std::string& target, uint32_t nowMs);

private:
    std::map<std::string, uint32_t> lastByTarget;
};
