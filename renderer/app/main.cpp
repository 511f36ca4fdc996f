#include "BlockDriver.h"
#include "StandaloneDriver.h"

#include <cstdio>
#include <cstring>

// The plug-in starts the renderer as: "PATH" ActiveXOrbolanth.GoBlueHarbor NAMEPART.
// "--standalone" runs an applet from disk instead (see README.md).
int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--standalone") == 0) {
        orb::StandaloneDriver::Options options;
        std::string error;
        if (!orb::StandaloneDriver::ParseOptions(argc, argv, options, error)) {
            std::fprintf(stderr, "orbrenderer: %s\n", error.c_str());
            return 2;
        }
        orb::StandaloneDriver driver;
        return driver.Run(options);
    }
    if (argc < 3) {
        std::fprintf(stderr, "orbrenderer: started without a channel name\n");
        return 2;
    }
    orb::BlockDriver driver;
    return driver.Run(argv[argc - 1]);
}
