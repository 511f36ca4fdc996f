// Which URLs a renderer may have fetched or shown. Applet content comes from anywhere, so
// the scheme is read the way a browser reads it: leading and trailing blanks and control
// characters are dropped, tabs and line breaks anywhere are ignored, letter case does not
// matter. A URL with no scheme is relative and resolves against the page. Plain C++.
#pragma once

#include <string>

// The scheme in lower case, or empty for a relative URL.
std::string SchemeOf(const std::string& url);

// Resources: relative, http, https and ftp.
bool MayFetch(const std::string& url);
// Navigations: those and mailto.
bool MayNavigate(const std::string& url);
