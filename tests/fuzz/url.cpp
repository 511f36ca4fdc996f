// The renderer's resource names resolved against a page location, then escaped and as the
// trace writes them: the input is the page location, a newline, and the name.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "base/TraceText.h"
#include "requests/UrlScheme.h"
#include "streams/UrlResolution.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    std::string page = in.Until('\n');
    std::string name = in.Rest();

    std::string resolved = ResolveUrl(page, name);
    // A name is never cut: what comes back ends with it.
    Require(resolved.size() >= name.size() && resolved.compare(resolved.size() - name.size(), name.size(), name) == 0);

    // What a renderer may have fetched or shown: the check answers for any text, with a
    // scheme a browser could read, and never lets through for a fetch what it refuses to a
    // navigation.
    const std::string scheme = SchemeOf(name);
    Require(scheme.empty() || (scheme[0] >= 'a' && scheme[0] <= 'z'));
    for (char c : scheme) {
        Require((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
    }
    Require(!MayFetch(name) || MayNavigate(name));
    Require(!MayFetch(name) || scheme.empty() || scheme == "http" || scheme == "https" || scheme == "ftp");

    std::string escaped = EscapeSpaces(resolved);
    size_t spaces = static_cast<size_t>(std::count(resolved.begin(), resolved.end(), ' '));
    Require(escaped.find(' ') == std::string::npos && escaped.size() == resolved.size() + 2 * spaces);

    // What the trace writes of a URL keeps no user information in any authority.
    const std::string traced = WithoutCredentials(resolved);
    for (size_t mark = traced.find("://"); mark != std::string::npos; mark = traced.find("://", mark + 1)) {
        const size_t end = traced.find_first_of("/?#\\", mark + 3);
        const std::string authority = traced.substr(mark + 3, end == std::string::npos ? end : end - mark - 3);
        Require(authority.find('@') == std::string::npos);
    }
    return 0;
}
