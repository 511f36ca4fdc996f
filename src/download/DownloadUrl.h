// The worker's decisions about a URL, kept apart from WinInet so tests reach them directly.
#pragma once

#include <string>

#include "base/LeadBytes.h"

// "file:" URLs name the user's own files; they are handed over, never downloaded.
bool IsLocalUrl(const std::string& url);

// Only plain HTTP answers are checked for their status; other schemes are taken as sent.
bool NeedsStatusCheck(const std::string& canonicalUrl);

// The status text of an HTTP answer that counts as a delivered resource.
bool IsAcceptedStatus(const char* statusText);

// The path of an (already decoded) "file:" URL: the scheme and every slash after it go;
// a host name stays as the first component. Only slashes gives an empty path. WinInet's
// decoding hands back file URLs in DOS form ("file://C:\dir\a b.obvm", "file://\\host\..."),
// so backslashes count as slashes and every separator comes out as '/'. The URL is walked by
// the characters of `lead`'s code page: a second byte that is a backslash stays.
std::string LocalPathFromUrl(const std::string& url, const LeadBytes& lead = LeadBytes());
