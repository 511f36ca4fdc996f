#include "session/RestartBudget.h"

bool RestartBudget::Take(uint32_t now)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (now - granted[i] < kWindowMs) granted[kept++] = granted[i];
    }
    count = kept;
    if (count == kRestarts) return false;
    granted[count++] = now;
    return true;
}
