#include "settings/TraceSetting.h"

#include "settings/RegistryKey.h"

bool ConfiguredTraceFile(std::wstring& path)
{
    RegistryKey key;
    return key.Open() && key.QueryWideString(kTraceFileValue, path) && !path.empty();
}
