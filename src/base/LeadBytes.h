// Which bytes begin a two-byte character in an ANSI code page. In the double-byte code pages
// (932, 936, 949, 950) the second byte of a character may be a backslash or an ASCII letter
// (the second byte of U+8868 in 932 is 0x5C), so a path or URL is walked by character: a
// separator found inside a character is no separator. Plain data, so that code built
// without windows.h can walk by character too; the Win32 side fills it from GetCPInfo
// (AnsiLeadBytes in base/AnsiPath.h).
#pragma once

#include <bitset>
#include <string>
#include <string_view>

class LeadBytes {
public:
    // No byte leads: a single-byte code page.
    LeadBytes() = default;

    // Bytes first..last (inclusive) lead.
    void AddRange(unsigned char first, unsigned char last)
    {
        for (unsigned byte = first; byte <= last; ++byte) lead_.set(byte);
    }

    bool IsLead(char c) const { return lead_.test(static_cast<unsigned char>(c)); }

    // The index just past the character that begins at `i`; a lead byte at the very end
    // stands alone.
    size_t CharEnd(std::string_view text, size_t i) const
    {
        return IsLead(text[i]) && i + 1 < text.size() ? i + 2 : i + 1;
    }

    // The index of the last character of `text` that is one of `set` (single-byte
    // characters), npos when there is none.
    size_t FindLastOf(std::string_view text, std::string_view set) const
    {
        size_t found = std::string_view::npos;
        for (size_t i = 0; i < text.size(); i = CharEnd(text, i)) {
            if (!IsLead(text[i]) && set.find(text[i]) != std::string_view::npos) found = i;
        }
        return found;
    }

    // The last '\' or '/' of a path.
    size_t LastSeparator(std::string_view path) const { return FindLastOf(path, "\\/"); }

    // Every single-byte character `from` becomes `to`; the bytes of two-byte characters stay.
    std::string Replace(std::string text, char from, char to) const
    {
        for (size_t i = 0; i < text.size(); i = CharEnd(text, i)) {
            if (text[i] == from && !IsLead(text[i])) text[i] = to;
        }
        return text;
    }

private:
    std::bitset<256> lead_;
};
