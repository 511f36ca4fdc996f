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
    if (!pageUrl.empty() && pageUrl.back() == '/') return pageUrl + relative;
    return pageUrl + "/../" + relative;
}

namespace {

bool IsAbsolute(const std::string& url)
{
    size_t letters = LeadingLetters(url);
    return letters > 0 && letters < url.size() && url[letters] == ':';
}

// The URL without its query and fragment, which may hold '/' of their own.
std::string PathPart(const std::string& url)
{
    return url.substr(0, url.find_first_of("?#"));
}

}  // namespace

std::string BaseOfSrc(const std::string& srcStreamUrl, const std::string& src)
{
    const std::string stream = PathPart(srcStreamUrl);
    const size_t folderEnd = stream.rfind('/');
    if (folderEnd == std::string::npos) return "";
    std::string base = stream.substr(0, folderEnd + 1);
    const std::string root = ResolveFromRoot(base, "/");
    if (IsAbsolute(src)) return base;
    if (!src.empty() && src[0] == '/') return root;

    // The src's folders, dot segments collapsed: leading ".." first, then named folders.
    const std::string written = PathPart(src);
    size_t ups = 0;
    size_t named = 0;
    size_t begin = 0;
    for (size_t end; (end = written.find('/', begin)) != std::string::npos; begin = end + 1) {
        const std::string segment = written.substr(begin, end - begin);
        if (segment.empty() || segment == ".") continue;
        if (segment != "..") {
            ++named;
        } else if (named > 0) {
            --named;
        } else {
            ++ups;
        }
    }
    for (; named > 0; --named) {
        const size_t previous = base.size() >= 2 ? base.rfind('/', base.size() - 2) : std::string::npos;
        if (previous == std::string::npos || previous + 1 < root.size()) return "";
        base.resize(previous + 1);
    }
    for (; ups > 0; --ups) base += "_/";
    return base;
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
