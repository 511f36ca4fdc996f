#include "session/ServicePace.h"

void ServicePace::NoteActivity(uint32_t nowMs)
{
    active = true;
    lastActivityMs = nowMs;
}

uint32_t ServicePace::IntervalMs(uint32_t nowMs) const
{
    if (fixed || !active) return kIdleIntervalMs;
    return nowMs - lastActivityMs < kLingerMs ? kBusyIntervalMs : kIdleIntervalMs;
}
