// Which URLs a renderer may have fetched or shown. Applet content comes from anywhere, so
// the scheme is read the way a browser reads it: leading and trailing blanks and control
// characters are dropped, tabs and line breaks anywhere are ignored, letter case does not
// matter. A URL with no scheme is relative and resolves against the page. Plain C++.
#pragma once

#include <string>
#include <string_view>

// The scheme in lower case, or empty for a relative URL.
std::string SchemeOf(std::string_view url);

// Resources: relative, http, https and ftp.
bool MayFetch(std::string_view url);
// Navigations: those and mailto.
bool MayNavigate(std::string_view url);
