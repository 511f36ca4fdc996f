#include "SiteMap.h"

#include <cctype>

#include "UrlResolution.h"
#include "base/AsciiCase.h"

namespace {

// Scheme and authority compare without case, as hosts do; the path as written.
std::string Normalized(const std::string& url)
{
    const size_t authority = url.find("://");
    if (authority == std::string::npos) return url;
    size_t pathStart = url.find('/', authority + 3);
    if (pathStart == std::string::npos) pathStart = url.size();
    return AsciiLowerCase(url.substr(0, pathStart)) + url.substr(pathStart);
}

bool IsDeviceName(const std::string& segment)
{
    std::string base = AsciiLowerCase(segment.substr(0, segment.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" || base == "conout$") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           std::isdigit(static_cast<unsigned char>(base[3]));
}

bool IsSafeSegment(const std::string& segment)
{
    if (segment.empty() || segment == "." || segment == "..") return false;
    if (segment.back() == '.' || segment.back() == ' ') return false;
    for (char c : segment) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
            c == '"' || c == '<' || c == '>' || c == '|') {
            return false;
        }
    }
    return !IsDeviceName(segment);
}

}  // namespace

bool SiteMap::Add(const std::string& mapping, std::string& error)
{
    const size_t equals = mapping.find('=');
    Site site;
    if (equals != std::string::npos) {
        site.prefix = Normalized(mapping.substr(0, equals));
        site.folder = mapping.substr(equals + 1);
    }
    const std::string scheme = UrlScheme(site.prefix);
    if (site.prefix.empty() || site.folder.empty() || (scheme != "http" && scheme != "https") ||
        site.prefix.find_first_of("?#") != std::string::npos) {
        error = "expected URL=FOLDER with an http: or https: URL: " + mapping;
        return false;
    }
    if (site.prefix.find('/', site.prefix.find("://") + 3) == std::string::npos || site.prefix.back() != '/') {
        site.prefix += '/';
    }
    while (site.folder.size() > 1 && (site.folder.back() == '\\' || site.folder.back() == '/')) {
        site.folder.pop_back();
    }
    sites_.push_back(site);
    return true;
}

const SiteMap::Site* SiteMap::Find(const std::string& normalizedUrl) const
{
    const Site* best = nullptr;
    for (const Site& site : sites_) {
        if (normalizedUrl.compare(0, site.prefix.size(), site.prefix) != 0) continue;
        if (!best || site.prefix.size() > best->prefix.size()) best = &site;
    }
    return best;
}

bool SiteMap::Covers(const std::string& url) const
{
    return Find(Normalized(WithoutFragment(url))) != nullptr;
}

std::string SiteMap::LocalPath(const std::string& url) const
{
    const std::string normalized = Normalized(WithoutFragment(url));
    const Site* site = Find(normalized);
    if (!site) return "";
    std::string below = normalized.substr(site->prefix.size());
    below = below.substr(0, below.find('?'));
    if (below.empty()) return "";
    std::string path = site->folder;
    size_t start = 0;
    while (start <= below.size()) {
        size_t end = below.find('/', start);
        if (end == std::string::npos) end = below.size();
        const std::string segment = DecodePercent(below.substr(start, end - start));
        if (!IsSafeSegment(segment)) return "";
        path += "\\" + segment;
        start = end + 1;
    }
    return path;
}
