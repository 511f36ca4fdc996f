// Real launches: the renderer path comes from the registry of the test prefix and names
// the test peer, which reports the command line it was given and the launch fields it
// read from the block.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>

#include "ChannelFixture.h"
#include "ConfigurationKey.h"
#include "PeerProcess.h"
#include "ProgramCopy.h"
#include "block/ChannelBlock.h"
#include "channel/LaunchSettings.h"

namespace {

std::map<std::string, std::string> ParseReport(const std::string& text)
{
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return shortPath;
}

class Launch : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("ORB_PEER_REPORT", report.Path().c_str());
        SetEnvironmentVariableA("ORB_PEER_EXIT", nullptr);
        settings.fetcher = &fetcher;
        settings.window = reinterpret_cast<HWND>(0x000A0B0C);
        settings.adsMode = 1;
        settings.siteId = 4242;
        settings.pageLocation = "http://example.test/page.html";
        settings.appletUrl = "applet.obvm";
        settings.rendererArgs = "-fast -width 320 -height 200";
    }
    void TearDown() override { SetEnvironmentVariableA("ORB_PEER_REPORT", nullptr); }

    // Waits until the peer has read the block and said so on the status line.
    bool PeerReady(RendererChannel& channel)
    {
        std::string text;
        for (int i = 0; i < 2000; ++i) {
            if (channel.GetStatusText(text) && text == "peer ready") return true;
            if (!channel.IsRendererRunning()) return false;
            Sleep(10);
        }
        return false;
    }

    ConfigurationKey key{KEY_WOW64_32KEY};  // where installers write it, for either width
    ScratchFile report;
    TestFetcher fetcher;
    LaunchSettings settings;
};

TEST_F(Launch, StartsTheRegisteredRendererWithTheBlockName)
{
    key.SetString("RendererPath", PeerPath());
    RendererChannel channel;
    ASSERT_TRUE(channel.Launch(settings));
    EXPECT_TRUE(channel.IsRendererRunning());
    ASSERT_TRUE(PeerReady(channel)) << report.Read();

    std::map<std::string, std::string> seen = ParseReport(report.Read());
    EXPECT_EQ(seen["commandLine"],
              "\"" + ShortPath(PeerPath()) + "\" ActiveXOrbolanth.GoBlueHarbor " + channel.NamePart());
    EXPECT_EQ(seen["argc"], "3");
    EXPECT_EQ(seen["pluginWindow"], "000A0B0C");
    EXPECT_EQ(seen["active"], "0");
    EXPECT_EQ(seen["adsMode"], "1");
    EXPECT_EQ(seen["siteId"], "4242");
    EXPECT_EQ(seen["pageLocation"], "http://example.test/page.html");
    EXPECT_EQ(seen["appletUrl"], "applet.obvm");
    EXPECT_EQ(seen["rendererArgs"], "-fast -width 320 -height 200");

    EXPECT_TRUE(channel.RequestQuit());
    EXPECT_EQ(WaitForSingleObject(channel.Process(), 20000), WAIT_OBJECT_0);
    EXPECT_FALSE(channel.IsRendererRunning());
}

TEST_F(Launch, APathWithSpacesGoesAsOneQuotedShortPath)
{
    const ProgramCopy copy(PeerPath(), "orb renderer dir", "channel peer copy.exe");
    ASSERT_TRUE(copy.Copied());
    const std::string& program = copy.Path();
    key.SetString("RendererPath", program);
    settings.alwaysActive = true;
    {
        RendererChannel channel;
        ASSERT_TRUE(channel.Launch(settings));
        ASSERT_TRUE(PeerReady(channel)) << report.Read();
        std::map<std::string, std::string> seen = ParseReport(report.Read());
        EXPECT_EQ(seen["commandLine"],
                  "\"" + ShortPath(program) + "\" ActiveXOrbolanth.GoBlueHarbor " + channel.NamePart());
        EXPECT_EQ(seen["argc"], "3");
        EXPECT_EQ(seen["active"], "1");
        channel.RequestQuit();
        EXPECT_EQ(WaitForSingleObject(channel.Process(), 20000), WAIT_OBJECT_0);
    }
}

TEST_F(Launch, OnlyAPlainStringNamingAnExistingFileLaunches)
{
    struct Case {
        const char* what;
        void (*configure)(ConfigurationKey&);
    };
    const Case cases[] = {
        {"no key", [](ConfigurationKey&) {}},
        {"no value", [](ConfigurationKey& key) { key.SetString("ParamFile", "x"); }},
        {"REG_EXPAND_SZ",
         [](ConfigurationKey& key) { key.SetString("RendererPath", PeerPath(), REG_EXPAND_SZ); }},
        {"REG_BINARY", [](ConfigurationKey& key) { key.SetString("RendererPath", PeerPath(), REG_BINARY); }},
        {"missing file",
         [](ConfigurationKey& key) { key.SetString("RendererPath", "C:\\no\\such\\renderer.exe"); }},
    };
    for (const Case& test : cases) {
        ConfigurationKey::Remove();
        test.configure(key);
        fetcher.AddRef();
        RendererChannel channel;
        EXPECT_FALSE(channel.Launch(settings)) << test.what;
        EXPECT_EQ(channel.Process(), nullptr) << test.what;
        EXPECT_FALSE(channel.IsRendererRunning()) << test.what;
        EXPECT_NE(channel.Block(), nullptr) << test.what;  // what was made goes with the channel
    }
    EXPECT_EQ(report.Read(), "");
    EXPECT_EQ(fetcher.refs, 1);  // every channel released the reference it was handed
    EXPECT_TRUE(fetcher.shutDown);
}

TEST_F(Launch, TheExitCodeTellsWhetherTheRendererRuns)
{
    key.SetString("RendererPath", PeerPath());
    for (const char* code : {"259", "0", "3"}) {
        SetEnvironmentVariableA("ORB_PEER_EXIT", code);
        RendererChannel channel;
        fetcher.AddRef();
        ASSERT_TRUE(channel.Launch(settings));
        ASSERT_EQ(WaitForSingleObject(channel.Process(), 20000), WAIT_OBJECT_0);
        EXPECT_EQ(channel.IsRendererRunning(), std::string(code) == "259") << code;
    }
    RendererChannel never;
    EXPECT_FALSE(never.IsRendererRunning());
}

}  // namespace

namespace {

// The block holds 1,023 bytes of arguments: the window size is never the part cut.
TEST(RendererArguments, SizeSurvivesACommandLineTooLongForTheBlock)
{
    EXPECT_EQ(RendererArguments("-fast", 320, 240), "-fast -width 320 -height 240");
    EXPECT_EQ(RendererArguments("", 1, 2), " -width 1 -height 2");

    std::string words;
    for (int i = 0; words.size() < 1200; ++i) words += " -w" + std::to_string(i);
    const std::string args = RendererArguments(words, 640, 480);
    EXPECT_LE(args.size(), kArgsLimit - 1);
    EXPECT_EQ(args.substr(args.size() - 23), " -width 640 -height 480");
    const std::string kept = args.substr(0, args.size() - 23);
    EXPECT_EQ(words.compare(0, kept.size(), kept), 0);
    EXPECT_EQ(words[kept.size()], ' ') << "only whole words are dropped";

    const std::string oneWord(2000, 'x');
    const std::string cut = RendererArguments(oneWord, 640, 480);
    EXPECT_EQ(cut.size(), kArgsLimit - 1);
    EXPECT_EQ(cut.substr(cut.size() - 23), " -width 640 -height 480");

    const std::string fits(kArgsLimit - 1 - 23, 'y');
    EXPECT_EQ(RendererArguments(fits, 640, 480), fits + " -width 640 -height 480");
}

}  // namespace
