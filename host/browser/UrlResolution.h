// URL handling of the host: resolving what a plug-in or a page names against the page's
// URL, and mapping file: URLs to and from local paths.
#pragma once

#include <string>

#include "base/LeadBytes.h"

// The functions that take `lead` walk a path or URL by character: the two bytes of a
// character of a double-byte ANSI code page are never taken apart. Text of this system (a
// path, a page's src, a name the renderer asks for) goes with AnsiLeadBytes(); the default
// is a single-byte code page.

// RFC 3986 reference resolution with dot-segment removal, plus what browsers of the time
// accepted on Windows: backslashes as slashes, a bare drive path ("C:\a\b.obv") as a local
// file, and a drive letter in a file: URL that ".." never climbs above.
std::string ResolveUrl(const std::string& base, const std::string& reference, const LeadBytes& lead = LeadBytes());

// Lower-case scheme ("http", "file", "javascript"), empty when there is none.
std::string UrlScheme(const std::string& url);

// "file:///Z:/a%20b/c.html" (or "file:///Z|/...") -> "Z:\a b\c.html"; "file://host/s/x" ->
// "\\host\s\x". Empty when the URL is not a file: URL.
std::string FileUrlToPath(const std::string& url);

// An absolute Windows path as a file: URL. Every byte of a two-byte character is escaped, so
// that no second byte is ever read as a separator again.
std::string PathToFileUrl(const std::string& path, const LeadBytes& lead = LeadBytes());

// The last path segment of a URL with query and fragment removed and escapes decoded.
std::string UrlFileName(const std::string& url, const LeadBytes& lead = LeadBytes());

// The URL without its fragment, as it is put on the wire.
std::string WithoutFragment(const std::string& url);
// Where a redirect led, keeping the asked URL's fragment when the new location has none, as
// browsers do (the fragment never goes on the wire, so the server cannot keep it).
std::string RedirectedUrl(const std::string& asked, const std::string& location);

// %XX escapes decoded; a '%' without two hex digits stays as it is.
std::string DecodePercent(const std::string& text);
