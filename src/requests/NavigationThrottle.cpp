#include "requests/NavigationThrottle.h"

bool NavigationThrottle::Allow(const std::string& target, uint32_t nowMs)
{
    // Tick counts wrap: only differences are compared.
    for (auto it = lastByTarget.begin(); it != lastByTarget.end();) {
        it = nowMs - it->second >= kIntervalMs ? lastByTarget.erase(it) : std::next(it);
    }
    if (lastByTarget.count(target) || lastByTarget.size() >= kTargetsPerInterval) return false;
    lastByTarget[target] = nowMs;
    return true;
}
