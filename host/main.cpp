// orbhost: a small browser of the late 1990s for the plug-in, driven from the command line.
#include <cstdio>
#include <string>

#include "BrowserHost.h"
#include "CallLog.h"
#include "HostOptions.h"

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
    CallLog log(options.logPath);
    if (!log.IsOpen()) {
        std::fprintf(stderr, "orbhost: cannot write the log %s\n", options.logPath.c_str());
        return 1;
    }
    BrowserHost host(options, log);
    return host.Run();
}
