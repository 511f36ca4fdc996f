#pragma once

#include <cstdint>
#include <map>

#include "base/ProgressWatch.h"

namespace orb {

// The driver's requests on their way to the plug-in, and whether the block deserves the
// loading poll for them. A request the plug-in never answers (a file: name, which it leaves
// requested for good; a delivery that does not come) must not keep that poll up for the
// life of the page, so the poll lasts only while something moves: a request written, a
// status word that changes, a delivery or failure, a new request. Times are tick counts in milliseconds.
class RequestWatch {
public:
    // A request the session made, to be written into a slot when one is free.
    void Queued(uint32_t nowMs) { progress_.NoteProgress(nowMs); }
    // A request written into a slot; ids of 0 and below are not waited for.
    void Posted(int id, uint32_t nowMs);
    // This turn's status word of a request on its way.
    void Saw(int id, int32_t status, uint32_t nowMs);
    // Delivered or failed. False when the id was not on its way.
    bool End(int id, uint32_t nowMs);
    // By id, the status word last seen.
    const std::map<int, int32_t>& OnTheirWay() const { return onTheirWay_; }
    // Whether to look at the block at the loading pace; queued: requests wait for a slot.
    bool Loading(uint32_t nowMs, bool queued);

private:
    std::map<int, int32_t> onTheirWay_;
    ProgressWatch progress_;
};

}  // namespace orb
