#include "streams/UrlResolution.h"

namespace {

// Only ASCII letters count, whatever locale the host process runs in.
bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

size_t LeadingLetters(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && IsLetter(text[i])) ++i;
    return i;
}

std::string ResolveFromRoot(const std::string& pageUrl, const std::string& relative)
{
    size_t colon = LeadingLetters(pageUrl);
    if (colon >= pageUrl.size() || pageUrl[colon] != ':') return pageUrl + relative;
    size_t host = pageUrl.find_first_not_of('/', colon + 1);
    if (host == std::string::npos) return pageUrl + relative;
    size_t path = pageUrl.find('/', host);
    if (path == std::string::npos) return pageUrl + relative;
    return pageUrl.substr(0, path) + relative;
}

}  // namespace

std::string ResolveUrl(const std::string& pageUrl, const std::string& relative)
{
    if (!relative.empty() && relative[0] == '/') return ResolveFromRoot(pageUrl, relative);
    size_t letters = LeadingLetters(relative);
    if (letters > 0 && letters < relative.size() && relative[letters] == ':') return relative;
    return pageUrl + "/../" + relative;
}

std::string EscapeSpaces(const std::string& url)
{
    std::string escaped;
    escaped.reserve(url.size());
    for (char c : url) {
        if (c == ' ') {
            escaped += "%20";
        } else {
            escaped += c;
        }
    }
    return escaped;
}
