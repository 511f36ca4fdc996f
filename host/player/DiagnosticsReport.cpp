#include "DiagnosticsReport.h"

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kCut[] = "...";

// The length of the UTF-8 sequence at text[at] and its code point in `code`; 0 when the bytes
// there are no UTF-8 (overlong forms and surrogates included).
size_t Decode(const std::string& text, size_t at, char32_t& code)
{
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Characters that would break the report's lines, sound in a terminal, or turn the text
// around it right to left so that a path reads as another.
bool Hidden(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

std::string ViewName(int view)
{
    return std::to_string(view) + "-bit registry view";
}

std::string Line(const std::string& label, const std::string& value)
{
    return Shown(label + value) + kLineEnd;
}

std::string FileState(bool exists)
{
    return exists ? "exists" : "does not exist";
}

std::string Header(const DiagnosticFacts& facts)
{
    std::string text = "Orbolanth Player diagnostics";
    text += kLineEnd;
    text += Line("Player: ", facts.playerVersion + ", " + facts.playerPath);
    if (facts.pluginPath.empty()) {
        text += Line("Plug-in: ", "none found (none registered under SOFTWARE\\MozillaPlugins, none beside the player)");
    } else {
        text += Line("Plug-in: ", facts.pluginPath + ", version " +
                                      (facts.pluginVersion.empty() ? "unknown" : facts.pluginVersion));
        text += Line("Plug-in found: ", facts.pluginRegistryView != 0
                                            ? "registry key " + facts.pluginOrigin + ", " +
                                                  ViewName(facts.pluginRegistryView)
                                            : "beside the player, in " + facts.pluginOrigin);
    }
    text += Line("Settings: ", facts.settingsKey + (facts.settingsKeyExists ? ", " : " is absent, ") +
                                   ViewName(facts.settingsView));
    if (facts.rendererPath.empty()) {
        text += Line("RendererPath: ", "not set");
    } else {
        text += Line("RendererPath: ", facts.rendererPath + " (" + FileState(facts.rendererExists) +
                                           (facts.rendererVersion.empty() ? "" : ", version " + facts.rendererVersion) +
                                           ")");
    }
    text += Line("ParamFile: ", facts.paramFile.empty() ? "not set"
                                                        : facts.paramFile + " (" + FileState(facts.paramFileExists) + ")");
    text += Line("ANSI temporary folder: ", facts.ansiTempFolder.empty()
                                                ? "none (its name does not fit the ANSI code page)"
                                                : facts.ansiTempFolder);
    text += Line("Stream files: ", facts.streamFolder.empty()
                                       ? "none (the temporary folder's name does not fit the ANSI code page)"
                                       : facts.streamFolder + (facts.streamFolderExists ? " (exists)" : " (not made yet)"));
    text += Line("ANSI code page: ", std::to_string(facts.codePage));
    if (facts.traceFile.empty()) {
        text += Line("Trace: ", "off. To turn it on, give the key " + facts.settingsKey + " (" +
                                    ViewName(facts.settingsView) +
                                    "; regedit on 64-bit Windows shows it under SOFTWARE\\WOW6432Node) the string "
                                    "value TraceFile, the full path of a file to write, and open the applet again.");
    } else if (!facts.traceExists) {
        text += Line("Trace: ", facts.traceFile + " (no such file yet)");
    } else {
        text += Line("Trace: ", facts.traceFile + ", its last lines:");
    }
    return text;
}

}  // namespace

std::vector<std::string> LastLines(const FileTail& older, const FileTail& current, size_t count)
{
    std::vector<std::string> lines;
    for (const FileTail* tail : {&older, &current}) {
        const std::string& text = tail->text;
        size_t start = 0;
        if (tail->cut) {
            const size_t end = text.find('\n');
            start = end == std::string::npos ? text.size() : end + 1;
        }
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            size_t length = end - start;
            if (length > 0 && text[end - 1] == '\r') --length;
            lines.push_back(text.substr(start, length));
            start = end + 1;
        }
    }
    if (lines.size() > count) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

std::string Shown(const std::string& text, size_t maxBytes)
{
    std::string shown;
    size_t fitsWithCut = 0;  // the length to keep when "..." has to follow
    for (size_t at = 0; at < text.size() && shown.size() <= maxBytes;) {
        char32_t code = 0;
        const size_t length = Decode(text, at, code);
        if (length == 0) {
            shown += '?';
        } else if (code == '\t') {
            shown += ' ';
        } else if (Hidden(code)) {
            shown += '?';
        } else {
            shown.append(text, at, length);
        }
        at += length ? length : 1;
        if (shown.size() + sizeof kCut - 1 <= maxBytes) fitsWithCut = shown.size();
    }
    if (shown.size() > maxBytes) {
        shown.resize(fitsWithCut);
        if (maxBytes >= sizeof kCut - 1) shown += kCut;
    }
    return shown;
}

std::string DiagnosticsText(const DiagnosticFacts& facts)
{
    std::string text = Header(facts);
    // The newest lines matter most: take them from the end for as long as they fit, with
    // room left for the line that says how many did not.
    constexpr size_t kNoteBytes = 64;
    std::vector<std::string> shown;
    size_t used = text.size() + kNoteBytes;
    for (auto line = facts.traceLines.rbegin(); line != facts.traceLines.rend(); ++line) {
        std::string next = "  " + Shown(*line) + kLineEnd;
        if (used + next.size() > kReportBytes) break;
        used += next.size();
        shown.push_back(std::move(next));
    }
    const size_t left = facts.traceLines.size() - shown.size();
    if (left > 0) text += "  (" + std::to_string(left) + " earlier lines left out)" + kLineEnd;
    for (auto line = shown.rbegin(); line != shown.rend(); ++line) text += *line;
    return text;
}
