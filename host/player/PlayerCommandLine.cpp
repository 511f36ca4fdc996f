#include "PlayerCommandLine.h"

#include "WindowSize.h"

const char kPlayerUsage[] =
    "OrbolanthPlayer [FILE|URL] [--param NAME=VALUE ...] [--page-url URL] [--site URL=FOLDER ...] "
    "[--size WxH] [--fullscreen]\n"
    "OrbolanthPlayer --native-host ORIGIN (started by a browser for its extension)";

bool ParsePlayerCommand(const std::vector<std::string>& arguments, PlayerCommand& command, std::string& error)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--fullscreen") {
            command.fullscreen = true;
            continue;
        }
        if (name.compare(0, 2, "--") != 0) {
            if (!command.target.empty()) {
                error = "more than one file or URL: " + name;
                return false;
            }
            command.target = name;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = name == "--param" || name == "--page-url" || name == "--site" || name == "--size"
                        ? "missing value for " + name
                        : "unknown option " + name;
            return false;
        }
        const std::string& value = arguments[++i];
        bool ok = true;
        if (name == "--param") {
            const size_t equals = value.find('=');
            ok = equals != std::string::npos && equals > 0;
            if (ok) command.params.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else if (name == "--page-url") {
            command.pageUrl = value;
            ok = !value.empty();
        } else if (name == "--site") {
            if (!command.sites.Add(value, error)) return false;
        } else if (name == "--size") {
            ok = ParseWindowSize(value, command.width, command.height);
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}
