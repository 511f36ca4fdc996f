// Paths that the renderer and the narrow calls open must be spelled in the ANSI code page.
// A temporary folder under a profile named in another script has letters that code page
// lacks; GetTempPathA then gives a name with '?' in it that nothing can open, so the folder
// is reached through its short form instead.
#pragma once

#include <string>

#include "base/LeadBytes.h"

// `wide` in `codePage`; false when a character has no exact form there (the narrow calls
// would get '?' or a look-alike, naming a file that does not exist).
bool ToCodePage(const std::wstring& wide, unsigned codePage, std::string& text);

// ANSI text (a path, a name, the plug-in's status text) in UTF-16.
std::wstring AnsiToWide(const std::string& text);

// What an ANSI path names, in UTF-16, with the long name of each folder and file that is there
// (the names a user knows, in any script); what is not there stays as it is written.
std::wstring WidePath(const std::string& path);

// `path` in the ANSI code page: each folder or file name the code page cannot spell by its short
// name, the others as they are; empty when one fits neither way (a volume that keeps no short
// names, a path that does not exist). A file a user opens or drops may be named in any script.
std::string AnsiPath(const std::wstring& path);

// The temporary folder as an ANSI path ending in a backslash; empty when it has none (a
// name the code page cannot spell on a volume without short names).
std::string AnsiTempFolder();

// The lead bytes of the ANSI code page (none for single-byte code pages and for UTF-8, whose
// bytes of 0x80 and above are never ASCII).
const LeadBytes& AnsiLeadBytes();
