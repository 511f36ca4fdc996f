// Textual resolution of the renderer's resource names against the page location, for
// fetchers that cannot rely on the browser to do it. Dot segments are left for the
// fetching side to collapse.
#pragma once

#include <string>

// A name starting with '/' replaces the page's path; a name starting with letters and a
// colon (a scheme or a drive) is taken as it is; anything else is joined to the whole page
// location with "/../" between, so the page's last segment drops out when it is fetched.
std::string ResolveUrl(const std::string& pageUrl, const std::string& relative);

// Every space becomes "%20"; nothing else is escaped.
std::string EscapeSpaces(const std::string& url);
