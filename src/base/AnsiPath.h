// Paths that the renderer and the narrow calls open must be spelled in the ANSI code page.
// A temporary folder under a profile named in another script has letters that code page
// lacks; GetTempPathA then gives a name with '?' in it that nothing can open, so the folder
// is reached through its short form instead.
#pragma once

#include <string>

// `wide` in `codePage`; false when a character has no exact form there (the narrow calls
// would get '?' or a look-alike, naming a file that does not exist).
bool ToCodePage(const std::wstring& wide, unsigned codePage, std::string& text);

// `path` in the ANSI code page, by its short name when the long one has letters the code page
// lacks; empty when neither fits (a volume that keeps no short names). A file a user opens or
// drops may be named in any script.
std::string AnsiPath(const std::wstring& path);

// The temporary folder as an ANSI path ending in a backslash; empty when it has none (a
// name the code page cannot spell on a volume without short names).
std::string AnsiTempFolder();
