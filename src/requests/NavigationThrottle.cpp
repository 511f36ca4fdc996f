#include "requests/NavigationThrottle.h"

#include <algorithm>

#include "base/AsciiCase.h"

namespace {

// Browsers read the reserved names in any case. An empty target is the applet's own window.
bool NamesOwnWindow(const std::string& target)
{
    return target.empty() || EqualsIgnoringCase(target, "_self") || EqualsIgnoringCase(target, "_top") ||
           EqualsIgnoringCase(target, "_parent");
}

// "_blank" opens a window every time. Browsers may read any other reserved-looking name as
// "_blank", and some read "newwindow" so too: none of these ever names an open window.
bool AlwaysOpensWindow(const std::string& target)
{
    return (!target.empty() && target[0] == '_' && !NamesOwnWindow(target)) ||
           EqualsIgnoringCase(target, "newwindow");
}

}  // namespace

bool NavigationThrottle::Allow(const std::string& target, uint32_t nowMs)
{
    // Tick counts wrap: only differences are compared.
    for (auto it = lastByTarget.begin(); it != lastByTarget.end();) {
        it = nowMs - it->second >= kIntervalMs ? lastByTarget.erase(it) : std::next(it);
    }
    if (lastByTarget.count(target) || lastByTarget.size() >= kTargetsPerInterval) return false;
    auto known = std::find(openedNames.begin(), openedNames.end(), target);
    const bool opensWindow = AlwaysOpensWindow(target) || (!NamesOwnWindow(target) && known == openedNames.end());
    if (opensWindow && !newWindows.Take(nowMs)) return false;
    lastByTarget[target] = nowMs;

    // The names kept are those most recently used.
    if (known != openedNames.end()) {
        std::rotate(known, known + 1, openedNames.end());
    } else if (opensWindow && !AlwaysOpensWindow(target) && target.size() <= kLongestRememberedName) {
        if (openedNames.size() == kRememberedNames) openedNames.erase(openedNames.begin());
        openedNames.push_back(target);
    }
    return true;
}
