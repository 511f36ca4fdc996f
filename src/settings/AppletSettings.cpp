#include "settings/AppletSettings.h"

#include "base/AsciiCase.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// "f...", "n..." and "off..." are false; otherwise a number decides (strtol, base 0),
// and a value with no number at all is true.
bool Truth(const char* value)
{
    while (*value == ' ' || *value == '\t') ++value;
    char first = AsciiLower(*value);
    if (first == 'f' || first == 'n' || StartsWithIgnoringCase(value, "off")) return false;
    char* stop = nullptr;
    long number = std::strtol(value, &stop, 0);
    if (stop == value) return true;
    return number != 0;
}

int32_t AdsModeOf(const char* value)
{
    const char* begin = value;
    const char* end = value + std::strlen(value);
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    const std::string_view word(begin, static_cast<size_t>(end - begin));
    if (EqualsIgnoringCase(word, "NO")) return 1;
    if (EqualsIgnoringCase(word, "NEVER")) return 2;
    return 0;
}

// The name "Res<integer>" the way sscanf("Res%d") takes it: the letters exactly, then
// optional white space, an optional sign and at least one digit.
bool IsNumberedResName(const char* name)
{
    if (std::strncmp(name, "Res", 3) != 0) return false;
    const char* p = name + 3;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '+' || *p == '-') ++p;
    return std::isdigit(static_cast<unsigned char>(*p)) != 0;
}

// " '%[^']' , '%[^']' ": one quoted part, read within the value's own length.
bool ReadQuoted(const char*& p, std::string& out)
{
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p != '\'') return false;
    const char* start = ++p;
    while (*p && *p != '\'') ++p;
    if (p == start) return false;
    out.assign(start, p);
    if (*p != '\'') return false;
    ++p;
    return true;
}

bool ParseResPair(const char* value, std::string& from, std::string& to)
{
    const char* p = value;
    if (!ReadQuoted(p, from)) return false;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p != ',') return false;
    ++p;
    return ReadQuoted(p, to);
}

}  // namespace

void AppletSettings::ParseParameters(int count, const char* const names[], const char* const values[])
{
    if (!names || !values) return;
    for (int i = 0; i < count; ++i) {
        ApplyParameter(names[i] ? names[i] : "", values[i] ? values[i] : "");
    }
}

void AppletSettings::ApplyParameter(const char* name, const char* value)
{
    if (EqualsIgnoringCase(name, "WindowName")) {
        windowName = value;
    } else if (EqualsIgnoringCase(name, "GroupName")) {
        groupName = value;
    } else if (EqualsIgnoringCase(name, "CommandLine")) {
        commandLine = value;
    } else if (EqualsIgnoringCase(name, "src")) {
        srcUrl = value;
        if (!srcUrl.empty()) hasSrc = true;
    } else if (EqualsIgnoringCase(name, "OtherWindows")) {
        otherWindows = value;
    } else if (EqualsIgnoringCase(name, "AlwaysActive")) {
        alwaysActive = Truth(value);
    } else if (EqualsIgnoringCase(name, "NoAds")) {
        adsMode = 1;
    } else if (EqualsIgnoringCase(name, "Ads")) {
        adsMode = AdsModeOf(value);
    } else if (EqualsIgnoringCase(name, "SiteID")) {
        siteId = std::atoi(value);
    } else if (StartsWithIgnoringCase(name, "Res:")) {
        resourceMap[name + 4] = value;
    } else if (IsNumberedResName(name)) {
        std::string from, to;
        if (ParseResPair(value, from, to)) resourceMap[from] = to;
    }
}
