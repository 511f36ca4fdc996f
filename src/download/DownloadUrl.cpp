#include "download/DownloadUrl.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kSchemeLength = 5;  // "file:" and "http:" alike

bool StartsWithIgnoringCase(const std::string& text, const char* prefix)
{
    size_t length = std::strlen(prefix);
    if (text.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

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
