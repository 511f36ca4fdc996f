// When an element's picture goes to the page: at most kPerSecond frames a second, at most
// kMostUnacknowledged sent and not yet drawn by the page, and only a picture that differs from
// the last one sent. The page acknowledges frames in order; an acknowledgement of a frame never
// sent is refused. Times are milliseconds of a wrapping 32-bit clock.
#pragma once

#include <cstddef>
#include <cstdint>

class FramePacer {
public:
    static constexpr int kPerSecond = 60;
    static constexpr int kMostUnacknowledged = 3;

    // Whether a picture may be taken now.
    bool Due(uint32_t nowMs) const;
    // A picture taken: true when it is to be sent, which counts it as frame Next().
    bool Changed(const void* pixels, size_t bytes, int width, int height);
    int64_t Next() const { return sent_ + 1; }
    // The picture Changed let through went out as frame Next().
    void Sent(uint32_t nowMs);
    // The next picture is sent even when it is the same (the page's canvas was cleared).
    void Forget() { known_ = false; }
    // False when `frame` was never sent; earlier frames than the last acknowledged are taken.
    bool Acknowledge(int64_t frame);
    int Unacknowledged() const { return static_cast<int>(sent_ - acknowledged_); }

private:
    int64_t sent_ = 0;
    int64_t acknowledged_ = 0;
    bool everSent_ = false;
    uint32_t lastMs_ = 0;
    bool known_ = false;
    uint64_t hash_ = 0;
};
