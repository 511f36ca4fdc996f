#include "requests/UrlScheme.h"

#include "base/AsciiCase.h"

namespace {

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsTabOrBreak(char c)
{
    return c == '\t' || c == '\n' || c == '\r';
}

bool IsSchemeLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c)
{
    return IsSchemeLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool OneOf(const std::string& scheme, std::initializer_list<const char*> allowed)
{
    for (const char* name : allowed) {
        if (scheme == name) return true;
    }
    return false;
}

}  // namespace

std::string SchemeOf(std::string_view url)
{
    size_t begin = 0, end = url.size();
    while (begin < end && IsBlankOrControl(url[begin])) ++begin;
    while (end > begin && IsBlankOrControl(url[end - 1])) --end;

    std::string scheme;
    for (size_t i = begin; i < end; ++i) {
        const char c = url[i];
        if (IsTabOrBreak(c)) continue;
        if (c == ':') return scheme.empty() ? std::string() : scheme;
        const bool fits = scheme.empty() ? IsSchemeLetter(c) : IsSchemeChar(c);
        // Anything else before a ':' ('/', '\\', '?', '#', ...) means there is no scheme.
        if (!fits) return std::string();
        scheme += AsciiLower(c);
    }
    return std::string();
}

bool MayFetch(std::string_view url)
{
    const std::string scheme = SchemeOf(url);
    return scheme.empty() || OneOf(scheme, {"http", "https", "ftp"});
}

bool MayNavigate(std::string_view url)
{
    const std::string scheme = SchemeOf(url);
    return scheme.empty() || OneOf(scheme, {"http", "https", "ftp", "mailto"});
}
