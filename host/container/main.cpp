// orbcontainer: a page's controls hosted as Internet Explorer hosts them, driven from the
// command line, every call written to a log for the tests.
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "CallLog.h"
#include "Container.h"
#include "ContainerOptions.h"

int main(int argc, char** argv)
{
    ContainerOptions options;
    std::string error;
    if (!ParseContainerOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "orbcontainer: %s\n%s", error.c_str(), kContainerUsage);
        return 1;
    }
    if (options.help) {
        std::fputs(kContainerUsage, stdout);
        return 0;
    }
    CallLog log(options.logPath);
    if (!log.IsOpen()) {
        std::fprintf(stderr, "orbcontainer: cannot write the log %s\n", options.logPath.c_str());
        return 1;
    }
    if (FAILED(OleInitialize(nullptr))) return 1;
    int code = 0;
    {
        Container container(options, log);
        code = container.Run();
    }
    OleUninitialize();
    return code;
}
