#include "DiagnosticsGathering.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "OrbolanthVersion.h"
#include "PlayerSystem.h"
#include "PluginFinder.h"
#include "TempFolder.h"
#include "base/AnsiPath.h"
#include "base/UniqueHandle.h"
#include "settings/RegistryKey.h"

namespace {

// What is read of each trace file: enough for kTraceLines lines of any sane length.
constexpr LONGLONG kTailBytes = 64 * 1024;

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The fixed file version of the file's version resource, "1.3.2.0"; empty without one.
std::string FileVersion(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return "";
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof *fixed) {
        return "";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{HIWORD(fixed->dwFileVersionMS)},
                  unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                  unsigned{LOWORD(fixed->dwFileVersionLS)});
    return text;
}

// The last kTailBytes of a file the plug-in may be appending to at this moment.
FileTail ReadTail(const std::string& path)
{
    FileTail tail;
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size)) return tail;
    LARGE_INTEGER start = {};
    start.QuadPart = size.QuadPart > kTailBytes ? size.QuadPart - kTailBytes : 0;
    if (!SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) return tail;
    std::string bytes(static_cast<size_t>(size.QuadPart - start.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    tail.text = Utf8FromAnsi(bytes);
    tail.cut = start.QuadPart > 0;
    return tail;
}

std::string ProgramPath()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return Utf8FromWide(path);
}

void GatherSettings(DiagnosticFacts& facts)
{
    facts.settingsKey = std::string("HKLM\\") + kConfigurationKey;
    // The player's width is the plug-in's it loads, which reads its key in this view.
    facts.settingsView = kOwnRegistryView;
    RegistryKey key;
    facts.settingsKeyExists = key.Open();
    if (!facts.settingsKeyExists) return;
    std::string renderer;
    if (key.QueryString("RendererPath", renderer)) {
        facts.rendererPath = Utf8FromAnsi(renderer);
        facts.rendererExists = IsFile(renderer);
        facts.rendererVersion = facts.rendererExists ? FileVersion(renderer) : "";
    }
    std::string params;
    if (key.QueryString("ParamFile", params)) {
        facts.paramFile = Utf8FromAnsi(params);
        facts.paramFileExists = IsFile(params);
    }
    std::string trace;
    if (key.QueryString("TraceFile", trace) && !trace.empty()) {
        facts.traceFile = Utf8FromAnsi(trace);
        facts.traceExists = IsFile(trace);
        // A trace that has just rolled over continues the older file's lines.
        const FileTail current = ReadTail(trace);
        facts.traceLines = LastLines({}, current, kTraceLines);
        if (facts.traceLines.size() < kTraceLines) facts.traceLines = LastLines(ReadTail(trace + ".1"), current, kTraceLines);
    }
}

}  // namespace

DiagnosticFacts GatherDiagnostics(const PluginCandidate& plugin)
{
    DiagnosticFacts facts;
    facts.playerVersion = ORB_VERSION_SHORT;
    facts.playerPath = ProgramPath();
    facts.pluginPath = Utf8FromAnsi(plugin.path);
    facts.pluginVersion = plugin.path.empty() ? "" : FileVersion(plugin.path);
    facts.pluginOrigin = Utf8FromAnsi(plugin.origin);
    facts.pluginRegistryView = plugin.registryView;
    GatherSettings(facts);
    facts.ansiTempFolder = Utf8FromAnsi(AnsiTempFolder());
    const std::string streams = TempFolder::ProcessFolder();
    facts.streamFolder = Utf8FromAnsi(streams);
    facts.streamFolderExists = !streams.empty() && IsFolder(streams);
    facts.codePage = GetACP();
    return facts;
}
