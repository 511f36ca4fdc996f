// A parameter file as the plug-in reads it, every pair applied as a setting (Res<n> lists
// and Res: mappings included), and the window list parsed as the session does.
#include "session/QuotedNames.h"
#include "settings/AppletSettings.h"
#include "settings/ParamFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParameterPairs pairs = TokenizeParamFile(reinterpret_cast<const char*>(data), size);
    AppletSettings settings;
    for (const auto& pair : pairs) settings.ApplyParameter(pair.first.c_str(), pair.second.c_str());
    ParseQuotedNames(settings.OtherWindows());
    return 0;
}
