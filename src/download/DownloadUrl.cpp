#include "download/DownloadUrl.h"

#include "base/AsciiCase.h"

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

std::string LocalPathFromUrl(const std::string& url, const LeadBytes& lead)
{
    std::string path = lead.Replace(url, '\\', '/');
    size_t start = path.find_first_not_of('/', kSchemeLength);
    if (start == std::string::npos) return std::string();
    return path.substr(start);
}
