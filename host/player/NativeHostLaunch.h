// Whether the player was started as a browser's native-messaging host, and by whom. A browser
// cannot add switches of its own choosing to a registered host's command line: Chromium's
// family passes the caller's origin (and on Windows --parent-window=N), Firefox the path of the
// host's manifest and the extension's id. So the player is the host when it is told so with
// --native-host, and also when its arguments are the ones those browsers give.
#pragma once

#include <string>
#include <vector>

extern const char kOurExtensionOrigin[];  // Chromium's family
extern const char kOurExtensionId[];      // Firefox

struct NativeHostLaunch {
    bool host = false;    // the player runs as the host
    bool allowed = false; // the caller is our extension
    std::string caller;   // the origin or extension id given, empty when none was
};

// `arguments` without the program's name.
NativeHostLaunch ReadNativeHostLaunch(const std::vector<std::string>& arguments);
