#include "control/ControlRegistration.h"

#include "base/AsciiCase.h"
#include "control/ControlClassId.h"

namespace {

constexpr char kClasses[] = "Classes\\";
// Safe for initialising from untrusted data. Not safe for scripting (the control has no
// scripting interface), and not the AppContainer category: Enhanced Protected Mode is not claimed.
constexpr char kSafeForInitializing[] = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
constexpr char kVersion[] = "1.0";

}  // namespace

ControlRegistration RegistrationFor(const std::string& dllPath)
{
    const std::string clsidKey = std::string(kClasses) + "CLSID\\" + kControlClassIdText;
    const std::string progIdKey = std::string(kClasses) + kControlProgId;
    const std::string independentKey = std::string(kClasses) + kControlVersionIndependentProgId;
    const std::string preApprovedKey =
        std::string("Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\") + kControlClassIdText;

    ControlRegistration registration;
    std::vector<RegistryValue>& v = registration.values;
    v.push_back({clsidKey, "", kControlDisplayName});
    v.push_back({clsidKey + "\\InprocServer32", "", dllPath});
    v.push_back({clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment"});
    v.push_back({clsidKey + "\\Control", "", ""});
    v.push_back({clsidKey + "\\MiscStatus", "", "0"});
    v.push_back({clsidKey + "\\MiscStatus\\1", "", std::to_string(kControlMiscStatus)});
    v.push_back({clsidKey + "\\ProgID", "", kControlProgId});
    v.push_back({clsidKey + "\\VersionIndependentProgID", "", kControlVersionIndependentProgId});
    v.push_back({clsidKey + "\\Version", "", kVersion});
    v.push_back({clsidKey + "\\Implemented Categories\\" + kSafeForInitializing, "", ""});
    for (const char* extension : kControlExtensions) v.push_back({clsidKey + "\\EnableFullPage\\" + extension, "", ""});
    v.push_back({progIdKey, "", kControlDisplayName});
    v.push_back({progIdKey + "\\CLSID", "", kControlClassIdText});
    v.push_back({independentKey, "", kControlDisplayName});
    v.push_back({independentKey + "\\CLSID", "", kControlClassIdText});
    v.push_back({independentKey + "\\CurVer", "", kControlProgId});
    v.push_back({preApprovedKey, "", ""});

    registration.ownedTrees = {clsidKey, progIdKey, independentKey, preApprovedKey};
    registration.mimeClass = {std::string(kClasses) + "MIME\\Database\\Content Type\\" + kControlMimeType, "CLSID",
                              kControlClassIdText};
    return registration;
}

bool MayClaimMimeType(bool present, const std::string& current)
{
    return !present || current.empty() || EqualsIgnoringCase(current, kControlClassIdText);
}

bool MayReleaseMimeType(bool present, const std::string& current)
{
    return present && EqualsIgnoringCase(current, kControlClassIdText);
}
