// The download worker's view of a URL: local or not, checked or not, and the path of a
// file URL, which never keeps a backslash or a leading slash.
#include <cstdlib>
#include <string>

#include "download/DownloadUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string url(reinterpret_cast<const char*>(data), size);
    IsLocalUrl(url);
    NeedsStatusCheck(url);
    IsAcceptedStatus(url.c_str());
    std::string path = LocalPathFromUrl(url);
    if (path.find('\\') != std::string::npos || (!path.empty() && path[0] == '/')) std::abort();
    return 0;
}
