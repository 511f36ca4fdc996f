// The renderer's resource names resolved against a page location, then escaped: the input
// is the page location, a newline, and the name.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
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

    // The check of a resolved name's scheme, once UrlResolution has one, is called here on
    // `resolved`: it must answer for any text, and nothing refused may go on to be escaped.

    std::string escaped = EscapeSpaces(resolved);
    size_t spaces = static_cast<size_t>(std::count(resolved.begin(), resolved.end(), ' '));
    Require(escaped.find(' ') == std::string::npos && escaped.size() == resolved.size() + 2 * spaces);
    return 0;
}
