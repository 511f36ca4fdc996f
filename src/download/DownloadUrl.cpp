#include "download/DownloadUrl.h"

#include "base/AsciiCase.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kSchemeLength = 5;  // "file:" and "http:" alike

}  // namespace

bool IsLocalUrl(const std::string& url)
{
    return StartsWithIgnoringCase(url, "file:");
}

bool NeedsStatusCheck(const std::string& canonicalUrl)
{
    return StartsWithIgnoringCase(canonicalUrl, "http:");
}

bool IsAcceptedStatus(const char* statusText)
{
    return std::strcmp(statusText, "200") == 0;
}

std::string LocalPathFromUrl(const std::string& url)
{
    std::string path = url;
    std::replace(path.begin(), path.end(), '\\', '/');
    size_t start = path.find_first_not_of('/', kSchemeLength);
    if (start == std::string::npos) return std::string();
    return path.substr(start);
}
