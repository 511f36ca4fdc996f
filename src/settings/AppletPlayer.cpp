#include "settings/AppletPlayer.h"

#include <cstdio>
#include <vector>

#include "settings/ParamFile.h"
#include "settings/RegistryKey.h"

AppletPlayer::AppletPlayer()
{
    LoadParamFile();
}

void AppletPlayer::LoadParamFile()
{
    RegistryKey key;
    if (!key.Open()) return;
    std::string path;
    if (!key.QueryString("ParamFile", path)) return;

    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return;
    std::vector<char> text;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.insert(text.end(), chunk, chunk + got);
    std::fclose(file);

    for (const auto& [name, value] : TokenizeParamFile(text.data(), text.size())) {
        ApplyParameter(name.c_str(), value.c_str());
    }
}
