#include "StreamRule.h"

#include "UrlResolution.h"

namespace {

// "\\server\share", and the mixed spellings Windows reads the same way.
bool NamesUncPath(const std::string& reference)
{
    size_t start = 0;
    while (start < reference.size() && static_cast<unsigned char>(reference[start]) <= 0x20) ++start;
    if (reference.size() - start < 2) return false;
    const char first = reference[start];
    const char second = reference[start + 1];
    const bool separators = (first == '\\' || first == '/') && (second == '\\' || second == '/');
    return separators && (first == '\\' || second == '\\');
}

}  // namespace

std::string StreamRefusal(const std::string& pageUrl, const std::string& reference, const std::string& absolute)
{
    const std::string scheme = UrlScheme(absolute);
    if (scheme != "file" && scheme != "http" && scheme != "https") return "not a file, http or https URL";
    if (UrlScheme(pageUrl) == "file") return "";
    if (scheme == "file") return "a page from the network reads no local file";
    if (NamesUncPath(reference)) return "a page from the network reads no network share";
    return "";
}
