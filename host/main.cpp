// orbhost: a small browser of the late 1990s for the plug-in, driven from the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "BrowserHost.h"
#include "CallLog.h"
#include "HostOptions.h"
#include "PluginFinder.h"

int main(int argc, char** argv)
{
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "orbhost: %s\n%s", error.c_str(), kHostUsage);
        return 1;
    }
    if (options.help) {
        std::fputs(kHostUsage, stdout);
        return 0;
    }
    if (!options.findPlugin.empty()) {
        const std::string folder = options.pluginsDir.empty() ? OwnPluginsFolder() : options.pluginsDir;
        const std::vector<PluginCandidate> known = KnownPlugins(folder);
        const PluginCandidate* found = FirstHandling(known, options.findPlugin);
        if (!found) {
            std::fprintf(stderr, "orbhost: no plug-in for %s is registered or in %s\n", options.findPlugin.c_str(),
                         folder.c_str());
            return 2;
        }
        if (options.page.empty()) {
            std::printf("%s\n%s\n", found->path.c_str(), found->origin.c_str());
            return 0;
        }
        options.pluginPath = found->path;
    }
    CallLog log(options.logPath);
    if (!log.IsOpen()) {
        std::fprintf(stderr, "orbhost: cannot write the log %s\n", options.logPath.c_str());
        return 1;
    }
    BrowserHost host(options, log);
    return host.Run();
}
