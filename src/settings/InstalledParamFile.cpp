#include "settings/InstalledParamFile.h"

#include <cstdio>
#include <new>
#include <vector>

#include "settings/AppletSettings.h"
#include "settings/ParamFile.h"
#include "settings/RegistryKey.h"

namespace {

// The whole file, or nothing when it cannot be opened or held in memory.
std::vector<char> ReadWholeFile(const std::string& path)
{
    std::vector<char> text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    try {
        char chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            text.insert(text.end(), chunk, chunk + got);
        }
    } catch (const std::bad_alloc&) {
        text.clear();
    }
    std::fclose(file);
    return text;
}

}  // namespace

void ApplyInstalledParamFile(AppletSettings& settings)
{
    RegistryKey key;
    if (!key.Open()) return;
    std::string path;
    if (!key.QueryString("ParamFile", path)) return;

    std::vector<char> text = ReadWholeFile(path);
    for (const auto& [name, value] : TokenizeParamFile(text.data(), text.size())) {
        settings.ApplyParameter(name.c_str(), value.c_str());
    }
}
