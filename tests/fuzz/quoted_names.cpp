// Window lists in apostrophes: whatever the text, the names read back, quoted again, read
// back as the same names.
#include <cstdlib>
#include <string>
#include <vector>

#include "session/QuotedNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> names = ParseQuotedNames(std::string(reinterpret_cast<const char*>(data), size));
    std::string quoted;
    for (const std::string& name : names) {
        quoted += quoted.empty() ? "'" : ", '";
        for (char c : name) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        quoted += '\'';
    }
    if (ParseQuotedNames(quoted) != names) std::abort();
    return 0;
}
