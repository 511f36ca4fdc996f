#include "RendererRun.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include "ConfigurationKey.h"
#include "PluginModule.h"
#include "TestFetcher.h"
#include "channel/LaunchSettings.h"
#include "channel/RendererChannel.h"

#include <algorithm>
#include <functional>

namespace {

// A blue box on a brown background. Seen from "overview" it is five times as far away, so it
// covers a twenty-fifth of the share of the frame it covers from the main camera.
const char kViews[] = "orbolanth-scene 1\n"
                      "background #402000\n"
                      "camera 0 0 5 fov 40\n"
                      "view \"overview\" camera 0 0 25 fov 40\n"
                      "mesh b box 2\n"
                      "object b b\n colour #2050ff\n shading glow\nend\n";

constexpr uint32_t kBackground = 0x402000;

struct Shown {
    double blue = 0;        // share of the client area
    double background = 0;
};

Shown Measure(HWND window)
{
    std::vector<uint32_t> pixels = ScreenPixels(window);
    Shown shown;
    if (pixels.empty())
        return shown;
    shown.blue = double(CountBlue(pixels)) / pixels.size();
    shown.background = double(std::count(pixels.begin(), pixels.end(), kBackground)) / pixels.size();
    return shown;
}

// The main camera puts the 2-unit box 4 units away with a 40 degree vertical view: its side is
// the same share of the frame's height at any size, about a third of a 4:3 frame. The overview's
// camera makes it small but still visible.
void ExpectMainCamera(HWND window, const char* which)
{
    RECT client;
    GetClientRect(window, &client);
    Shown shown = Measure(window);
    double expected = 0.35 * (4.0 / 3.0) * client.bottom / client.right;
    EXPECT_NEAR(shown.blue, expected, 0.04) << which;
    EXPECT_GT(shown.background, 0.5) << which;
}

void ExpectOverviewCamera(const Shown& shown)
{
    EXPECT_GT(shown.blue, 0.002);
    EXPECT_LT(shown.blue, 0.03);
    EXPECT_GT(shown.background, 0.9);
}

}  // namespace

TEST(MultiWindow, StandaloneDrawsEveryWindowAtItsSizeFromItsView)
{
    TempFolder folder;
    std::string applet = folder.Write("views.obvm", kViews);
    TargetWindow main(320, 240, 20, 20), overview(160, 120, 400, 20), plain(200, 100, 400, 220);
    PumpMessages();
    RunResult run = RunRenderer("--standalone \"" + applet + "\" --window " + Hex(main.Handle()) +
                                    " --window overview=" + Hex(overview.Handle()) + " --window plain=" +
                                    Hex(plain.Handle()) + " --frames 10",
                                folder);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    ExpectMainCamera(main.Handle(), "main");
    ExpectMainCamera(plain.Handle(), "plain");  // no view of its own: the main camera
    ExpectOverviewCamera(Measure(overview.Handle()));
}

TEST(MultiWindow, WindowsOfTheBlockJoinAndLeaveWhileTheRendererRuns)
{
    ConfigurationKey installation;
    installation.SetString("RendererPath", RendererExePath());
    TempFolder folder;
    folder.Write("views.obvm", kViews);
    // Children of one top-level window, as a browser's plug-in windows are.
    TargetWindow page(740, 260, 20, 20);
    TargetWindow main(320, 240, 10, 10, page.Handle()), overview(160, 120, 340, 10, page.Handle()),
        late(200, 100, 520, 10, page.Handle());
    PumpMessages();

    TestFetcher fetcher;
    fetcher.mode = TestFetcher::Mode::Ready;
    fetcher.pathFor = [&folder](const std::string& url) { return folder.Path() + "\\" + url; };
    RendererChannel channel;
    LaunchSettings settings;
    settings.window = main.Handle();
    settings.alwaysActive = true;
    settings.fetcher = &fetcher;
    settings.pageLocation = "http://example.com/page.html";
    settings.appletUrl = "views.obvm";
    settings.rendererArgs = " -width 320 -height 240";
    ASSERT_TRUE(channel.Launch(settings));
    ASSERT_TRUE(channel.RegisterWindow("main", main.Handle()));
    ASSERT_TRUE(channel.ReserveWindowName("overview"));

    // What the plug-in's timer does, until the condition holds or the time is up.
    auto serve = [&](DWORD ms, const std::function<bool()>& done) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms && !(done && done())) {
            channel.ServiceTick();
            PumpMessages();
            Sleep(20);
        }
    };
    std::string status;
    serve(20000, [&] { return channel.GetStatusText(status) && status == "Orbolanth: views.obvm - 1 object"; });
    ASSERT_EQ(status, "Orbolanth: views.obvm - 1 object");
    serve(400, nullptr);
    ExpectMainCamera(main.Handle(), "main");
    EXPECT_EQ(Measure(overview.Handle()).background, 0);  // only reserved: nothing drawn there yet

    ASSERT_TRUE(channel.RegisterWindow("overview", overview.Handle()));
    serve(400, nullptr);
    ExpectOverviewCamera(Measure(overview.Handle()));

    // A window that goes away without a word is skipped; one joining later is drawn.
    overview.Destroy();
    ASSERT_TRUE(channel.RegisterWindow("late", late.Handle()));
    serve(400, nullptr);
    ExpectMainCamera(late.Handle(), "late");
    ExpectMainCamera(main.Handle(), "main");
    EXPECT_TRUE(channel.IsRendererRunning());

    ASSERT_TRUE(channel.RequestQuit());
    serve(10000, [&] { return !channel.IsRendererRunning(); });
    EXPECT_FALSE(channel.IsRendererRunning());
}
