// The player's command line and what it asks to open:
//   OrbolanthPlayer.exe [FILE|URL] [--param NAME=VALUE ...] [--page-url URL]
//                       [--site URL=FOLDER ...] [--size WxH] [--fullscreen]
// (OrbolanthPlayer.exe --native-host ORIGIN is the browsers' native-messaging host: NativeHostLaunch.)
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SiteMap.h"

struct PlayerCommand {
    std::string target;  // a file path or a URL; empty: start with nothing open
    std::vector<std::pair<std::string, std::string>> params;  // in order given
    std::string pageUrl;  // the page location the plug-in is told; empty: where it came from
    SiteMap sites;
    int width = 640;      // an applet's size, and the page area's at start
    int height = 480;
    bool fullscreen = false;
};

// A file or URL to open and what it is played with. The command line's --param and
// --page-url belong to the command line's own target (and its Reload): whatever is opened
// later from the menu, a recent entry or a drop plays as it is.
struct PlayerTarget {
    std::string target;
    std::vector<std::pair<std::string, std::string>> params;
    std::string pageUrl;
};

// `arguments` without the program's name. False with `error` set on a malformed option.
bool ParsePlayerCommand(const std::vector<std::string>& arguments, PlayerCommand& command, std::string& error);

extern const char kPlayerUsage[];
