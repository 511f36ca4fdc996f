// Help > Diagnostics over whatever a trace file and the registry hold: the text stays within
// its bound, is UTF-8, and has no control character but its own line ends.
#include <cstdlib>
#include <string>

#include "DiagnosticsReport.h"

namespace {

// The length of a well-formed UTF-8 character at text[at], or 0.
size_t Character(const std::string& text, size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5                  ? 4
                                                                       : 0;
    if (length == 0 || text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte says which reads were cut; the rest is the older file, a NUL, the current one.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const unsigned flags = input.empty() ? 0 : static_cast<unsigned char>(input[0]);
    const std::string files = input.empty() ? "" : input.substr(1);
    const size_t split = files.find('\0');
    const FileTail older{files.substr(0, split), (flags & 1) != 0};
    const FileTail current{split == std::string::npos ? "" : files.substr(split + 1), (flags & 2) != 0};

    DiagnosticFacts facts;
    facts.traceFile = "C:\\trace.txt";
    facts.traceExists = true;
    facts.rendererPath = older.text;
    facts.traceLines = LastLines(older, current, kTraceLines);
    if (facts.traceLines.size() > kTraceLines) std::abort();
    const std::string text = DiagnosticsText(facts);
    if (text.size() > kReportBytes) std::abort();
    for (size_t at = 0; at < text.size();) {
        const size_t length = Character(text, at);
        const auto c = static_cast<unsigned char>(text[at]);
        if (length == 0 || (c < 0x20 && c != '\r' && c != '\n') || c == 0x7F) std::abort();
        // A line end is always the pair: nothing from outside made one.
        if (c == '\r' && (at + 1 == text.size() || text[at + 1] != '\n')) std::abort();
        if (c == '\n' && (at == 0 || text[at - 1] != '\r')) std::abort();
        at += length;
    }
    return 0;
}
