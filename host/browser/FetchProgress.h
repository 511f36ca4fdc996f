// How far a fetch under way has come, and the words the frame shows for it; the limit a
// body may not pass. Plain code: the host tables reach it.
#pragma once

#include <cstdint>
#include <string>

struct FetchProgress {
    std::string url;
    uint64_t received = 0;
    uint64_t total = 0;      // 0: the server gave no length
    uint32_t elapsedMs = 0;  // since the fetch began
};

// "orbit.obvm: 12 KB of 40 KB, 3.2 KB/s"; the rate once a fetch has run long enough to have one.
std::string ProgressText(const FetchProgress& progress);
// Bytes as people read them: "512 bytes", "12 KB", "1.5 MB".
std::string ByteSize(uint64_t bytes);

// Whether a body of `bytes` passes `limit` (0: no limit).
bool OverLimit(uint64_t bytes, uint64_t limit);
// "big.obv is larger than the limit of 64 MB"
std::string LimitError(const std::string& url, uint64_t limit);
