#include "FetchProgress.h"

#include <cstdio>

#include "UrlResolution.h"

namespace {

// A rate measured over less than this says more about the start-up than the line.
constexpr uint32_t kShortestRateMs = 500;

std::string NameOf(const std::string& url)
{
    const std::string name = UrlFileName(url);
    return name.empty() ? url : name;
}

}  // namespace

std::string ByteSize(uint64_t bytes)
{
    constexpr uint64_t kKilo = 1024;
    constexpr uint64_t kMega = kKilo * kKilo;
    char text[32];
    if (bytes < kKilo) {
        std::snprintf(text, sizeof text, "%u bytes", static_cast<unsigned>(bytes));
    } else if (bytes < 10 * kKilo) {
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / kKilo);
    } else if (bytes < kMega) {
        std::snprintf(text, sizeof text, "%u KB", static_cast<unsigned>(bytes / kKilo));
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / kMega);
    }
    return text;
}

std::string ProgressText(const FetchProgress& progress)
{
    std::string text = NameOf(progress.url) + ": " + ByteSize(progress.received);
    if (progress.total > 0) text += " of " + ByteSize(progress.total);
    if (progress.elapsedMs >= kShortestRateMs) {
        const uint64_t perSecond = progress.received * 1000 / progress.elapsedMs;
        text += ", " + ByteSize(perSecond) + "/s";
    }
    return text;
}

bool OverLimit(uint64_t bytes, uint64_t limit)
{
    return limit > 0 && bytes > limit;
}

std::string LimitError(const std::string& url, uint64_t limit)
{
    return NameOf(url) + " is larger than the limit of " + ByteSize(limit);
}
