// Names, group names, resource names, URL prefixes, attribute names, MIME types and scene
// keywords compare ignoring ASCII case only, whatever the C locale says. Plain C++: the
// renderer's scene code, which builds without windows.h, uses it too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Same length, and the same characters but for ASCII case.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

inline std::string AsciiLowerCase(std::string text)
{
    for (char& c : text) c = AsciiLower(c);
    return text;
}

// A hash under which names equal but for ASCII case collide, so a search can skip most
// names without comparing them.
inline uint32_t CaseFoldedHash(std::string_view text)
{
    uint32_t hash = 2166136261u;
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 16777619u;
    return hash;
}
