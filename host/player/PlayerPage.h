// What the player makes of what it is asked to open, and of what an applet asks it to open.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "EmbedParser.h"

extern const char kAppletType[];

// A URL (http:, https:, file:) is fetched as it is; anything else names a local file.
bool IsPlayerUrl(const std::string& target);

// .obvm and .obv (by the path of a URL, any letter case) are applets; anything else is a page.
bool IsAppletName(const std::string& urlOrPath);

// The one embed an applet file is shown with, on a page at the applet's own URL: of the
// plug-in's type, `src` the URL's last segment as a page names a file beside it, filling `width` x `height`, in a window named "main" (a renderer draws only into named
// windows; the applet's views may name it).
Embed AppletEmbed(const std::string& appletUrl, int width, int height);

// Sets each parameter as a page would write it: an attribute of that name (any letter case)
// takes the value, else it is added.
void ApplyParams(Embed& embed, const std::vector<std::pair<std::string, std::string>>& params);

// An applet's navigation goes to the user's programs for http:, https: and mailto: URLs of
// printable characters only; nothing else leaves the player.
bool OpensOutside(const std::string& url);

// The window's title: the applet's or page's file name, then the program's.
std::wstring PlayerTitle(const std::wstring& fileName);

// Of the files dropped at once (UTF-16 paths), the one that opens: the first applet or HTML
// page, else the first (which then says what is wrong with it).
size_t FirstPlayable(const std::vector<std::wstring>& files);
// What the status bar says of the other files of a drop.
std::string IgnoredDropNote(size_t ignored);

// The recent files, newest first, each once (letter case ignored), at most kRecentFiles.
constexpr size_t kRecentFiles = 8;
void AddRecent(std::vector<std::string>& recent, const std::string& entry);
