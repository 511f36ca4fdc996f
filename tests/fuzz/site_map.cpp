// The saved-site mapping of the player: whatever URL an applet asks for, the file that
// answers it lies inside the mapped folder.
#include <cstdlib>
#include <string>

#include "SiteMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const SiteMap sites = [] {
        SiteMap map;
        std::string error;
        map.Add("http://h/site/=C:\\saved", error);
        return map;
    }();
    const std::string url = "http://h/site/" + std::string(reinterpret_cast<const char*>(data), size);
    const std::string path = sites.LocalPath(url);
    if (path.empty()) return 0;
    const std::string below = path.substr(0, 9) == "C:\\saved\\" ? path.substr(9) : std::string();
    // Inside the folder: no climbing, no second drive or stream, no name Windows would trim.
    if (below.empty() || below.find(':') != std::string::npos || below.find('/') != std::string::npos ||
        (below + "\\").find("..\\") != std::string::npos || below.find(".\\") != std::string::npos ||
        below.find(" \\") != std::string::npos || below.back() == '.' || below.back() == ' ') {
        std::abort();
    }
    return 0;
}
