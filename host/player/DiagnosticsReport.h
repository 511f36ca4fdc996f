// The text of Help > Diagnostics: what a user can copy and send when the player or an applet
// misbehaves. Plain C++ over facts gathered elsewhere (DiagnosticsGathering), so that its
// handling of whatever those facts hold can be tested and fuzzed without Windows. Every
// string is UTF-8; the text's lines end in CRLF, as an edit control and the clipboard want.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A file's end as read: `cut` when the reading began after its start, so that the first
// line read is only the end of a line.
struct FileTail {
    std::string text;
    bool cut = false;
};

struct DiagnosticFacts {
    std::string playerVersion;
    std::string playerPath;
    std::string pluginPath;          // empty: no plug-in found
    std::string pluginVersion;       // empty: no version resource
    std::string pluginOrigin;        // a registry key, or the folder the library was found in
    int pluginRegistryView = 0;      // 32 or 64 for a key; 0 for a folder
    std::string settingsKey;         // the plug-in's configuration key, "HKLM\\..."
    bool settingsKeyExists = false;
    int settingsView = 0;            // the registry view it is read in
    std::string rendererPath;        // RendererPath; empty when unset
    bool rendererExists = false;
    std::string rendererVersion;
    std::string paramFile;           // ParamFile; empty when unset
    bool paramFileExists = false;
    std::string ansiTempFolder;      // empty: the temporary folder has no ANSI name
    std::string streamFolder;        // the player's stream files; empty as for ansiTempFolder
    bool streamFolderExists = false;
    unsigned codePage = 0;
    std::string traceFile;           // TraceFile; empty: the trace is off
    bool traceExists = false;
    std::vector<std::string> traceLines;  // the trace's last lines, oldest first
};

// Lines of the trace shown at most, and bytes of one shown line and of the whole text.
constexpr size_t kTraceLines = 50;
constexpr size_t kShownLineBytes = 600;
constexpr size_t kReportBytes = 16 * 1024;

// The last `count` lines of the older file followed by the current one (a trace that rolled
// over continues in the current file), oldest first, without their line ends. A partial
// first line of a cut read is dropped, and so is the empty line after the final line end.
std::vector<std::string> LastLines(const FileTail& older, const FileTail& current, size_t count);

// `text` as it can be shown and sent: control characters, direction overrides and bytes that
// are not UTF-8 become '?', a tab a space; longer than `maxBytes`, it ends in "..." within
// that bound, cut between characters.
std::string Shown(const std::string& text, size_t maxBytes = kShownLineBytes);

// The whole report, at most kReportBytes long: when the trace's lines do not all fit, its
// oldest ones are left out, and a line says how many.
std::string DiagnosticsText(const DiagnosticFacts& facts);
