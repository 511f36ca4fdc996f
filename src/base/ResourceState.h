// What became of one resource, as the plug-in's entries and the block's status words
// both record it. 1 is never used.
#pragma once

enum ResourceState : int {
    StateNone = 0,
    StateRequested = 2,
    StateFetching = 3,
    StateFailed = 4,
    StateReady = 5,
    StateDelivered = 6,
    StateReleased = 7,
};
