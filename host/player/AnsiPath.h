// The system's calls here take ANSI text, but a file the user opens, drops or names on the
// command line may have a name outside the ANSI code page: such a path goes by its short
// name, which the ANSI calls open.
#pragma once

#include <string>

// The path in the ANSI code page, by its short name when the long one does not fit; empty
// when neither does (no short name is kept for it).
std::string AnsiPath(const std::wstring& path);

// Text that is not a path (a URL, a parameter) in the ANSI code page; false when some
// character has no place in it.
bool AnsiText(const std::wstring& text, std::string& ansi);
