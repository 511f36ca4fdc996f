#include "session/ServicePace.h"

void ServicePace::NoteProgress(uint32_t nowMs)
{
    active = true;
    lastActivityMs = nowMs;
    progress.NoteProgress(nowMs);
}

void ServicePace::NoteUnderWay(uint32_t nowMs)
{
    if (progress.Moving(nowMs)) lastActivityMs = nowMs;
}

uint32_t ServicePace::IntervalMs(uint32_t nowMs) const
{
    if (fixed || !active) return kIdleIntervalMs;
    return nowMs - lastActivityMs < kLingerMs ? kBusyIntervalMs : kIdleIntervalMs;
}
