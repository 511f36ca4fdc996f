// How many objects of a kind exist right now, for leak checks. A class counts itself by
// deriving from LiveCount<itself>; objects may die on any thread.
#pragma once

#include <atomic>

template <typename T>
class LiveCount {
public:
    static long Live() { return live_.load(); }

protected:
    LiveCount() { ++live_; }
    LiveCount(const LiveCount&) { ++live_; }
    ~LiveCount() { --live_; }

private:
    static inline std::atomic<long> live_{0};
};
