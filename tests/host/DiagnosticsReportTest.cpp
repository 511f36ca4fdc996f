// Help > Diagnostics as text: whatever the registry and the trace hold is shown without
// breaking the report's lines or its bounds, the trace's end is found across a rollover,
// and each fact says where it came from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DiagnosticsReport.h"

namespace {

TEST(DiagnosticsReport, ShowsOutsideTextSafely)
{
    struct Case {
        std::string text;
        size_t maxBytes;
        std::string shown;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Orbolanth\\orbrenderer.exe", 100, "C:\\Program Files\\Orbolanth\\orbrenderer.exe"},
        {"a\tb", 100, "a b"},
        {"line\r\nPlug-in: forged", 100, "line??Plug-in: forged"},
        {"bell\x07\x1b[31m\x7f", 100, "bell??[31m?"},
        {"next\xc2\x85line", 100, "next?line"},                    // a C1 control in UTF-8
        {"photo\xe2\x80\xaegpj.exe", 100, "photo?gpj.exe"},         // right-to-left override
        {"\xff\xc3", 100, "??"},                                    // no UTF-8, and a lead byte at the end
        {"\xc0\xaf", 100, "??"},                                    // an overlong '/'
        {"\xed\xa0\x80", 100, "???"},                               // a surrogate
        {"\xd0\xbe\xd1\x80\xd0\xb1\xd0\xb8\xd1\x82\xd0\xb0", 100, "\xd0\xbe\xd1\x80\xd0\xb1\xd0\xb8\xd1\x82\xd0\xb0"},
        {"abcdefgh", 8, "abcdefgh"},                                // just fits
        {"abcdefghi", 8, "abcde..."},
        {"\xd0\xb6\xd0\xb6\xd0\xb6\xd0\xb6\xd0\xb6", 8, "\xd0\xb6\xd0\xb6..."},  // cut between characters
        {std::string(100000, '\x01'), 10, "???????..."},
    };
    for (const Case& c : cases) EXPECT_EQ(Shown(c.text, c.maxBytes), c.shown) << c.text.substr(0, 40);
}

TEST(DiagnosticsReport, FindsTheTracesLastLinesAcrossARollover)
{
    struct Case {
        FileTail older;
        FileTail current;
        size_t count;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{}, {"a\nb\nc\n"}, 2, {"b", "c"}},
        {{}, {"a\r\nb\r\n"}, 5, {"a", "b"}},
        {{}, {"x\ny"}, 5, {"x", "y"}},                       // a line still being written
        {{}, {"of a line\nwhole\n", true}, 5, {"whole"}},     // the read began inside a line
        {{}, {"no line end at all", true}, 5, {}},
        {{"1\n2\n"}, {"3\n"}, 5, {"1", "2", "3"}},
        {{"1\n2\n"}, {"3\n"}, 2, {"2", "3"}},
        {{"ld\n2\n", true}, {""}, 5, {"2"}},
        {{}, {"\n\n"}, 5, {"", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(LastLines(c.older, c.current, c.count), c.lines) << c.current.text;
}

DiagnosticFacts SomeFacts()
{
    DiagnosticFacts facts;
    facts.playerVersion = "1.3.2";
    facts.playerPath = "C:\\Orbolanth\\OrbolanthPlayer.exe";
    facts.pluginPath = "C:\\Orbolanth\\npOrbolanth.dll";
    facts.pluginVersion = "1.3.2.0";
    facts.pluginOrigin = "HKLM\\SOFTWARE\\MozillaPlugins\\@orbolanth.org/Orbolanth";
    facts.pluginRegistryView = 32;
    facts.settingsKey = "HKLM\\SOFTWARE\\Orbolanth\\ActiveXOrbolanth";
    facts.settingsKeyExists = true;
    facts.settingsView = 32;
    facts.rendererPath = "C:\\Orbolanth\\orbrenderer.exe";
    facts.rendererExists = true;
    facts.rendererVersion = "1.3.2.0";
    facts.paramFile = "C:\\Orbolanth\\params.txt";
    facts.ansiTempFolder = "C:\\Temp\\";
    facts.streamFolder = "C:\\Temp\\OrbolanthPlayer-42";
    facts.codePage = 932;
    return facts;
}

bool Has(const std::string& text, const std::string& line)
{
    return text.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(DiagnosticsReport, SaysWhereEachFactCameFrom)
{
    DiagnosticFacts facts = SomeFacts();
    std::string text = DiagnosticsText(facts);
    EXPECT_TRUE(Has(text, "Plug-in: C:\\Orbolanth\\npOrbolanth.dll, version 1.3.2.0")) << text;
    EXPECT_TRUE(Has(text, "Plug-in found: registry key HKLM\\SOFTWARE\\MozillaPlugins\\@orbolanth.org/Orbolanth, "
                          "32-bit registry view")) << text;
    EXPECT_TRUE(Has(text, "RendererPath: C:\\Orbolanth\\orbrenderer.exe (exists, version 1.3.2.0)")) << text;
    EXPECT_TRUE(Has(text, "ParamFile: C:\\Orbolanth\\params.txt (does not exist)")) << text;
    EXPECT_TRUE(Has(text, "Stream files: C:\\Temp\\OrbolanthPlayer-42 (not made yet)")) << text;
    EXPECT_TRUE(Has(text, "ANSI code page: 932")) << text;
    EXPECT_NE(text.find("Trace: off. To turn it on, give the key HKLM\\SOFTWARE\\Orbolanth\\ActiveXOrbolanth (32-bit "
                        "registry view"), std::string::npos) << text;

    facts.pluginOrigin = "C:\\Orbolanth";
    facts.pluginRegistryView = 0;
    facts.settingsKeyExists = false;
    facts.rendererPath.clear();
    facts.traceFile = "C:\\Temp\\trace.txt";
    text = DiagnosticsText(facts);
    EXPECT_TRUE(Has(text, "Plug-in found: beside the player, in C:\\Orbolanth")) << text;
    EXPECT_TRUE(Has(text, "Settings: HKLM\\SOFTWARE\\Orbolanth\\ActiveXOrbolanth is absent, 32-bit registry view"));
    EXPECT_TRUE(Has(text, "RendererPath: not set")) << text;
    EXPECT_TRUE(Has(text, "Trace: C:\\Temp\\trace.txt (no such file yet)")) << text;

    facts.pluginPath.clear();
    EXPECT_NE(DiagnosticsText(facts).find("Plug-in: none found"), std::string::npos);
}

TEST(DiagnosticsReport, KeepsTheNewestTraceLinesWithinItsBound)
{
    DiagnosticFacts facts = SomeFacts();
    facts.traceFile = "C:\\Temp\\trace.txt";
    facts.traceExists = true;
    // A forged value cannot start a line of its own.
    facts.rendererPath = "C:\\x.exe\r\nPlug-in found: somewhere else";
    for (int i = 0; i < 500; ++i) facts.traceLines.push_back("event " + std::to_string(i) + std::string(2000, '\x1b'));
    const std::string text = DiagnosticsText(facts);
    EXPECT_LE(text.size(), kReportBytes);
    EXPECT_EQ(text.find("\r\nPlug-in found: somewhere"), std::string::npos);
    for (size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '\r') {
            EXPECT_EQ(text[at + 1], '\n') << at;
        } else if (c != '\n') {
            EXPECT_GE(c, 0x20) << at;
        }
    }
    // Each line cut to its bound; the last one there, the first ones said to be left out.
    const std::string last = "  event 499" + std::string(kShownLineBytes - 3 - 9, '?') + "...\r\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    const size_t shown = (text.size() - text.find("  event ")) / last.size();
    EXPECT_NE(text.find("(" + std::to_string(500 - shown) + " earlier lines left out)"), std::string::npos) << text;
    EXPECT_EQ(text.find("event " + std::to_string(499 - shown) + "?"), std::string::npos);
}

}  // namespace
