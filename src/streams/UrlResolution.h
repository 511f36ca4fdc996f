// Textual resolution of the renderer's resource names against the page location, for
// fetchers that cannot rely on the browser to do it. Dot segments are left for the
// fetching side to collapse.
#pragma once

#include <string>

// A name starting with '/' replaces the page's path; a name starting with letters and a
// colon (a scheme or a drive) is taken as it is; anything else is joined to the whole page
// location with "/../" between, so the page's last segment drops out when it is fetched,
// or joined directly to a location that ends in '/' (a folder has no last segment to drop).
std::string ResolveUrl(const std::string& pageUrl, const std::string& relative);

// The page's base worked out from the URL the browser gave the src stream and the src
// attribute as written: the folder against which `src` resolves to `srcStreamUrl`. Each
// ".." of `src` stands for a folder whose name the stream's URL no longer tells; "_" takes
// its place. Empty when the URL is too short for `src`.
std::string BaseOfSrc(const std::string& srcStreamUrl, const std::string& src);

// Every space becomes "%20"; nothing else is escaped.
std::string EscapeSpaces(const std::string& url);
