// How fast parameter-file pairs are read and applied, for files of growing size: the rate
// should not fall as the file grows. Also the whole path through the registry, the file
// and a new instance for one megabyte.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ConfigurationKey.h"
#include "PluginSession.h"
#include "plugin/PluginEntry.h"
#include "plugin/PluginInstance.h"
#include "settings/AppletSettings.h"
#include "settings/ParamFile.h"

namespace {

// A file of the given size made of pairs with every kind of name.
std::string MakeFile(size_t bytes, int& pairs)
{
    static const char* const names[] = {"WindowName", "Res:tex", "AlwaysActive", "Res", "SiteID", "Ads"};
    std::string text;
    pairs = 0;
    while (text.size() < bytes) {
        std::string n = std::to_string(pairs);
        const char* name = names[pairs % 6];
        std::string value = (name[3] == '\0') ? "'a" + n + ".obv','b" + n + ".obv'" : "value" + n;
        text += "\"" + std::string(name) + (name[3] == '\0' ? n : name[3] == ':' ? n : "") + "\" = \"" + value +
                "\"\r\n";
        ++pairs;
    }
    return text;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main()
{
    std::printf("%-10s %10s %14s %12s\n", "file", "pairs", "pairs/s", "MB/s");
    for (size_t kb : {256u, 1024u, 4096u}) {
        int pairs = 0;
        std::string text = MakeFile(kb * 1024, pairs);
        const int rounds = 5;
        LARGE_INTEGER start, stop;
        QueryPerformanceCounter(&start);
        size_t applied = 0;
        for (int r = 0; r < rounds; ++r) {
            AppletSettings settings;
            for (const auto& [name, value] : TokenizeParamFile(text.data(), text.size())) {
                settings.ApplyParameter(name.c_str(), value.c_str());
                ++applied;
            }
        }
        QueryPerformanceCounter(&stop);
        double seconds = Seconds(start, stop);
        std::printf("%7zu kB %10d %14.0f %12.1f\n", kb, pairs, applied / seconds,
                    rounds * text.size() / seconds / (1024.0 * 1024.0));
    }

    // The real path: registry value, file read, tokenising and applying inside NPP_New.
    int pairs = 0;
    TempFile file(MakeFile(1024 * 1024, pairs));
    ConfigurationKey key;
    key.SetString("ParamFile", file.Path());
    PluginSession session(&NP_GetEntryPoints, &NP_Initialize, &NP_Shutdown, 0x000B, "Mozilla/4.0");
    const int rounds = 5;
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    size_t mapped = 0;
    for (int r = 0; r < rounds; ++r) {
        NPP_t npp{};
        session.New(&npp, {});
        mapped = static_cast<PluginInstance*>(npp.pdata)->Settings().ResourceMap().size();
        session.funcs.destroy(&npp, nullptr);
    }
    QueryPerformanceCounter(&stop);
    double seconds = Seconds(start, stop) / rounds;
    std::printf("NPP_New with a 1 MB parameter file: %d pairs (%zu resource mappings) in %.1f ms, "
                "%.0f pairs/s\n", pairs, mapped, seconds * 1000, pairs / seconds);
    return 0;
}
