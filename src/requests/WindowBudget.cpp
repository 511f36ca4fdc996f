#include "requests/WindowBudget.h"

#include <algorithm>

bool WindowBudget::Take(uint32_t nowMs)
{
    // Tick counts wrap: only differences are compared.
    if (left_ < kBurst) {
        const uint32_t earned = (nowMs - refillFromMs_) / kEveryMs;
        left_ = std::min(kBurst, left_ + earned);
        refillFromMs_ += earned * kEveryMs;
    }
    if (left_ == 0) return false;
    if (left_ == kBurst) refillFromMs_ = nowMs;
    --left_;
    return true;
}
