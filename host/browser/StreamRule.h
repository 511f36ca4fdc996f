// The one rule every stream the browser makes obeys, whoever asks for it (an embed's src, a
// plug-in's request, a late src): only file:, http: and https: URLs are streamed, and a page
// from the network never reaches the user's disk or network shares.
#pragma once

#include <string>

// Empty when `reference`, named by the page at `pageUrl` and resolved to `absolute`, may be
// streamed; else why not. A UNC path is refused by its spelling, before resolution turns it
// into a URL of the page's scheme: opening one has Windows connect to that server with the
// user's credentials.
std::string StreamRefusal(const std::string& pageUrl, const std::string& reference, const std::string& absolute);
