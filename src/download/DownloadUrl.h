// The worker's decisions about a URL, kept apart from WinInet so tests reach them directly.
#pragma once

#include <string>

// "file:" URLs name the user's own files; they are handed over, never downloaded.
bool IsLocalUrl(const std::string& url);

// Only plain HTTP answers are checked for their status; other schemes are taken as sent.
bool NeedsStatusCheck(const std::string& canonicalUrl);

// The status text of an HTTP answer that counts as a delivered resource.
bool IsAcceptedStatus(const char* statusText);

// The path of an (already decoded) "file:" URL: the scheme and every slash after it go;
// a host name stays as the first component. Only slashes gives an empty path.
std::string LocalPathFromUrl(const std::string& url);
