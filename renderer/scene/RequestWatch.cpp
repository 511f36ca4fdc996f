#include "RequestWatch.h"

namespace orb {

void RequestWatch::Posted(int id, uint32_t nowMs)
{
    progress_.NoteProgress(nowMs);
    if (id > 0) onTheirWay_[id] = 0;
}

void RequestWatch::Saw(int id, int32_t status, uint32_t nowMs)
{
    auto it = onTheirWay_.find(id);
    if (it == onTheirWay_.end() || it->second == status) return;
    it->second = status;
    progress_.NoteProgress(nowMs);
}

bool RequestWatch::End(int id, uint32_t nowMs)
{
    if (onTheirWay_.erase(id) == 0) return false;
    progress_.NoteProgress(nowMs);
    return true;
}

bool RequestWatch::Loading(uint32_t nowMs, bool queued)
{
    return (queued || !onTheirWay_.empty()) && progress_.Moving(nowMs);
}

}  // namespace orb
