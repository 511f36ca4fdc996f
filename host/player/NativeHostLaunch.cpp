#include "NativeHostLaunch.h"

#include "base/AsciiCase.h"

const char kOurExtensionOrigin[] = "chrome-extension://mlldpcenpjnjhndloennphfbfndfdhbp/";
const char kOurExtensionId[] = "orbolanth-player@orbolanth.org";

namespace {

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool EndsWithJson(const std::string& text)
{
    return text.size() > 5 && EqualsIgnoringCase(std::string_view(text).substr(text.size() - 5), ".json");
}

}  // namespace

NativeHostLaunch ReadNativeHostLaunch(const std::vector<std::string>& arguments)
{
    NativeHostLaunch launch;
    size_t first = 0;
    if (!arguments.empty() && arguments[0] == "--native-host") {
        launch.host = true;
        first = 1;
    }
    if (first < arguments.size()) {
        const std::string& given = arguments[first];
        if (StartsWith(given, "chrome-extension://")) {
            launch.host = true;
            launch.caller = given;
        } else if (EndsWithJson(given) && first + 1 < arguments.size() && !StartsWith(arguments[first + 1], "--")) {
            launch.host = true;
            launch.caller = arguments[first + 1];
        } else if (launch.host && !StartsWith(given, "--")) {
            launch.caller = given;
        }
    }
    launch.allowed = launch.host && (launch.caller == kOurExtensionOrigin || launch.caller == kOurExtensionId);
    return launch;
}
