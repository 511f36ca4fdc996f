#include "UrlResolution.h"

#include <cctype>
#include <cstdio>

#include "base/AsciiCase.h"

namespace {

struct UrlParts {
    std::string scheme;  // without ':'; empty when absent
    bool hasAuthority = false;
    std::string authority;
    std::string path;
    bool hasQuery = false;
    std::string query;
    bool hasFragment = false;
    std::string fragment;
};

bool IsAlpha(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

size_t SchemeLength(const std::string& url)
{
    if (url.empty() || !IsAlpha(url[0])) return 0;
    for (size_t i = 1; i < url.size(); ++i) {
        char c = url[i];
        if (c == ':') return i;
        if (!IsAlpha(c) && !std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-' &&
            c != '.') {
            return 0;
        }
    }
    return 0;
}

bool IsDrivePath(const std::string& text)
{
    return text.size() >= 2 && IsAlpha(text[0]) && (text[1] == ':' || text[1] == '|') &&
           (text.size() == 2 || text[2] == '/' || text[2] == '\\');
}

UrlParts Split(const std::string& url)
{
    UrlParts parts;
    size_t i = SchemeLength(url);
    if (i > 0) {
        parts.scheme = AsciiLowerCase(url.substr(0, i));
        ++i;
    }
    if (url.compare(i, 2, "//") == 0) {
        size_t end = url.find_first_of("/?#", i + 2);
        if (end == std::string::npos) end = url.size();
        parts.hasAuthority = true;
        parts.authority = url.substr(i + 2, end - i - 2);
        i = end;
    }
    size_t pathEnd = url.find_first_of("?#", i);
    if (pathEnd == std::string::npos) pathEnd = url.size();
    parts.path = url.substr(i, pathEnd - i);
    i = pathEnd;
    if (i < url.size() && url[i] == '?') {
        size_t end = url.find('#', i);
        if (end == std::string::npos) end = url.size();
        parts.hasQuery = true;
        parts.query = url.substr(i + 1, end - i - 1);
        i = end;
    }
    if (i < url.size()) {
        parts.hasFragment = true;
        parts.fragment = url.substr(i + 1);
    }
    return parts;
}

std::string Join(const UrlParts& parts)
{
    std::string url;
    if (!parts.scheme.empty()) url += parts.scheme + ":";
    if (parts.hasAuthority) url += "//" + parts.authority;
    url += parts.path;
    if (parts.hasQuery) url += "?" + parts.query;
    if (parts.hasFragment) url += "#" + parts.fragment;
    return url;
}

// RFC 3986 section 5.2.4.
std::string RemoveDotSegments(std::string input)
{
    std::string output;
    while (!input.empty()) {
        if (input.compare(0, 3, "../") == 0) {
            input.erase(0, 3);
        } else if (input.compare(0, 2, "./") == 0) {
            input.erase(0, 2);
        } else if (input.compare(0, 3, "/./") == 0) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.compare(0, 4, "/../") == 0 || input == "/..") {
            input = input.size() == 3 ? "/" : input.substr(3);
            size_t cut = output.rfind('/');
            output.erase(cut == std::string::npos ? 0 : cut);
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            if (next == std::string::npos) next = input.size();
            output += input.substr(0, next);
            input.erase(0, next);
        }
    }
    return output;
}

// In a file: URL the drive ("/C:") is the root that ".." stops at.
std::string RemoveDotSegmentsFor(const UrlParts& parts, const std::string& path)
{
    if (parts.scheme == "file" && path.size() >= 3 && path[0] == '/' && IsDrivePath(path.substr(1))) {
        return path.substr(0, 3) + RemoveDotSegments(path.substr(3));
    }
    return RemoveDotSegments(path);
}

bool IsHierarchical(const std::string& scheme)
{
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file";
}

}  // namespace

std::string DecodePercent(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string UrlScheme(const std::string& url)
{
    if (IsDrivePath(url)) return "";
    return Split(url).scheme;
}

std::string ResolveUrl(const std::string& base, const std::string& reference, const LeadBytes& lead)
{
    if (IsDrivePath(reference)) return PathToFileUrl(reference, lead);
    UrlParts b = Split(base);
    bool hierarchical = IsHierarchical(b.scheme);
    const std::string ref = hierarchical && SchemeLength(reference) == 0 ? lead.Replace(reference, '\\', '/') : reference;
    UrlParts r = Split(ref);
    if (r.scheme == b.scheme && hierarchical && !r.hasAuthority) r.scheme.clear();  // "http:x"

    UrlParts t;
    if (!r.scheme.empty()) {
        t = r;
        t.path = RemoveDotSegmentsFor(t, r.path);
        return Join(t);
    }
    t.scheme = b.scheme;
    if (r.hasAuthority) {
        t.hasAuthority = true;
        t.authority = r.authority;
        t.path = RemoveDotSegmentsFor(t, r.path);
        t.hasQuery = r.hasQuery;
        t.query = r.query;
    } else {
        t.hasAuthority = b.hasAuthority;
        t.authority = b.authority;
        if (r.path.empty()) {
            t.path = b.path;
            t.hasQuery = r.hasQuery || b.hasQuery;
            t.query = r.hasQuery ? r.query : b.query;
        } else {
            std::string merged;
            if (r.path[0] == '/') {
                bool baseHasDrive = t.scheme == "file" && b.path.size() >= 3 && IsDrivePath(b.path.substr(1));
                merged = baseHasDrive && !IsDrivePath(r.path.substr(1)) ? b.path.substr(0, 3) + r.path : r.path;
            } else if (b.hasAuthority && b.path.empty()) {
                merged = "/" + r.path;
            } else {
                size_t slash = b.path.rfind('/');
                merged = (slash == std::string::npos ? "" : b.path.substr(0, slash + 1)) + r.path;
            }
            t.path = RemoveDotSegmentsFor(t, merged);
            t.hasQuery = r.hasQuery;
            t.query = r.query;
        }
    }
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
    return Join(t);
}

std::string FileUrlToPath(const std::string& url)
{
    UrlParts parts = Split(url);
    if (parts.scheme != "file") return "";
    std::string path = DecodePercent(parts.path);
    std::string host = parts.hasAuthority ? parts.authority : "";
    if (host == "localhost") host.clear();
    if (!host.empty()) {
        path = "//" + host + path;
    } else if (path.size() >= 3 && path[0] == '/' && IsDrivePath(path.substr(1))) {
        path = path.substr(1);
        path[1] = ':';
    }
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string PathToFileUrl(const std::string& path, const LeadBytes& lead)
{
    bool unc = path.compare(0, 2, "\\\\") == 0 || path.compare(0, 2, "//") == 0;
    std::string url = unc ? "file://" : "file:///";
    std::string rest = unc ? path.substr(2) : path;
    for (size_t i = 0; i < rest.size();) {
        const size_t end = lead.CharEnd(rest, i);
        const char c = rest[i];
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool escaped = end - i > 1 || byte <= 0x20 || byte >= 0x7F || c == '%' || c == '#' || c == '?';
        if (!escaped) {
            url += c == '\\' ? '/' : c;
            i = end;
            continue;
        }
        for (; i < end; ++i) {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(rest[i]));
            url += escape;
        }
    }
    return url;
}

std::string UrlFileName(const std::string& url, const LeadBytes& lead)
{
    std::string path = Split(url).path;
    size_t slash = lead.LastSeparator(path);
    return DecodePercent(slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string WithoutFragment(const std::string& url)
{
    return url.substr(0, url.find('#'));
}

std::string RedirectedUrl(const std::string& asked, const std::string& location)
{
    if (location.empty()) return asked;
    const size_t fragment = asked.find('#');
    if (location.find('#') != std::string::npos || fragment == std::string::npos) return location;
    return location + asked.substr(fragment);
}
