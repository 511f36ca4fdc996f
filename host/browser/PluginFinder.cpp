#include "PluginFinder.h"

#include <windows.h>

#include "PluginLibrary.h"
#include "RegistryReader.h"
#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"

namespace {

constexpr char kMozillaPlugins[] = "SOFTWARE\\MozillaPlugins";

bool IsFile(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AddRegistered(HKEY root, const char* rootName, std::vector<PluginCandidate>& candidates)
{
    RegistryReader plugins(root, kMozillaPlugins);
    for (const std::string& id : plugins.SubkeyNames()) {
        RegistryReader plugin(plugins.Handle(), id);
        PluginCandidate candidate;
        candidate.path = plugin.String("Path");
        if (candidate.path.empty() || !IsFile(candidate.path)) continue;
        candidate.origin = std::string(rootName) + "\\" + kMozillaPlugins + "\\" + id;
        candidate.mimeTypes = RegistryReader(plugin.Handle(), "MimeTypes").SubkeyNames();
        candidate.registryView = kOwnRegistryView;
        candidates.push_back(candidate);
    }
}

void AddFolder(const std::string& folder, std::vector<PluginCandidate>& candidates)
{
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA((folder + "\\np*.dll").c_str(), &found));
    if (!search) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        PluginCandidate candidate;
        candidate.path = folder + "\\" + found.cFileName;
        candidate.origin = folder;
        candidate.mimeTypes = PluginLibrary::ReadRegistration(candidate.path).MimeTypes();
        candidates.push_back(candidate);
    } while (FindNextFileA(search.Get(), &found));
}

}  // namespace

std::vector<PluginCandidate> KnownPlugins(const std::string& pluginsFolder)
{
    std::vector<PluginCandidate> candidates;
    AddRegistered(HKEY_CURRENT_USER, "HKCU", candidates);
    AddRegistered(HKEY_LOCAL_MACHINE, "HKLM", candidates);
    AddFolder(pluginsFolder, candidates);
    return candidates;
}

std::string ProgramFolder()
{
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string path(exe);
    return path.substr(0, AnsiLeadBytes().LastSeparator(path));
}

std::string OwnPluginsFolder()
{
    return ProgramFolder() + "\\Plugins";
}
