#include "control/BagParameters.h"

#include "base/AsciiCase.h"

namespace {

// The names AppletSettings acts on, "src" first as a page usually writes it.
constexpr const char* kKnownNames[] = {"src",         "WindowName", "GroupName", "CommandLine", "OtherWindows",
                                       "AlwaysActive", "NoAds",      "Ads",       "SiteID"};
// A bag answers every name it is asked; a run of numbered mappings ends at the first gap.
constexpr int kMostNumberedNames = 1024;

bool Has(const ParameterPairs& pairs, const char* name)
{
    for (const auto& pair : pairs) {
        if (EqualsIgnoringCase(pair.first, name)) return true;
    }
    return false;
}

}  // namespace

ParameterPairs ReadKnownParameters(const std::function<bool(const std::string& name, std::string& value)>& read)
{
    ParameterPairs pairs;
    std::string value;
    for (const char* name : kKnownNames) {
        if (read(name, value)) pairs.emplace_back(name, value);
    }
    for (int n = 1; n <= kMostNumberedNames; ++n) {
        const std::string name = "Res" + std::to_string(n);
        if (!read(name, value)) break;
        pairs.emplace_back(name, value);
    }
    if (!Has(pairs, "src") && read("data", value)) pairs.emplace_back("data", value);
    return pairs;
}

ParameterPairs WithAppletFromData(ParameterPairs pairs)
{
    if (Has(pairs, "src")) return pairs;
    for (const auto& pair : pairs) {
        if (EqualsIgnoringCase(pair.first, "data")) {
            pairs.emplace_back("src", pair.second);
            break;
        }
    }
    return pairs;
}
