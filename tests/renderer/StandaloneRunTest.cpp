#include "RendererRun.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

const char kOrbit[] = ORB_SOURCE_DIR "/samples/applets/orbit.obvm";

}  // namespace

TEST(StandaloneRun, DrawsASampleIntoAnotherProcesssWindow)
{
    TempFolder folder;
    TargetWindow target(320, 240);
    PumpMessages();
    std::string shot = folder.Path() + "\\shot.bmp";
    RunResult run = RunRenderer(std::string("--standalone \"") + kOrbit + "\" --window " + Hex(target.Handle()) +
                                    " --frames 20 --screenshot \"" + shot + "\"",
                                folder);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("status: Orbolanth: orbit.obvm - 43 objects\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("missing"), std::string::npos) << run.output;

    // The frame was sized to the window's client area.
    Bitmap bmp = ReadBmp(shot);
    ASSERT_EQ(bmp.width, 320);
    ASSERT_EQ(bmp.height, 240);
    std::set<uint32_t> shotColours(bmp.pixels.begin(), bmp.pixels.end());
    EXPECT_GT(shotColours.size(), 100u);
    EXPECT_GT(CountBlue(bmp.pixels), 2000);

    // And it reached the window itself, as shown on the screen.
    std::vector<uint32_t> onScreen = ScreenPixels(target.Handle(), 2);
    std::set<uint32_t> screenColours(onScreen.begin(), onScreen.end());
    EXPECT_GT(screenColours.size(), 50u);
    EXPECT_GT(CountBlue(onScreen), 2000 / 4);
}

TEST(StandaloneRun, ReportsMissingFilesAndStillDraws)
{
    TempFolder folder;
    std::string applet = folder.Write("lonely.obvm", "orbolanth-scene 1\n"
                                                     "include \"gone.obv\"\n"
                                                     "mesh b box 2\n"
                                                     "object b b\n colour #2050ff\nend\n");
    std::string shot = folder.Path() + "\\shot.bmp";
    RunResult run = RunRenderer("--standalone \"" + applet + "\" --args \" -width 160 -height 120\" --frames 5 "
                                "--screenshot \"" + shot + "\"",
                                folder);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("missing: gone.obv\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("status: Orbolanth: lonely.obvm - 1 object, 1 file missing\n"), std::string::npos)
        << run.output;
    Bitmap bmp = ReadBmp(shot);
    ASSERT_EQ(bmp.width, 160);
    EXPECT_GT(CountBlue(bmp.pixels), 500);
}

TEST(StandaloneRun, RejectsBadOptions)
{
    TempFolder folder;
    EXPECT_EQ(RunRenderer("--standalone x.obvm --frames many", folder).exitCode, 2u);
    EXPECT_EQ(RunRenderer("--standalone x.obvm --window 7ff0", folder).exitCode, 2u);  // no such window
    EXPECT_EQ(RunRenderer("--standalone x.obvm --colour blue", folder).exitCode, 2u);
    EXPECT_EQ(RunRenderer("--standalone x.obvm --window overview=7ff0", folder).exitCode, 2u);
    EXPECT_EQ(RunRenderer("--standalone x.obvm --window =7ff0", folder).exitCode, 2u);
    EXPECT_EQ(RunRenderer("--standalone x.obvm --window overview=", folder).exitCode, 2u);
}

// Cheap frames come at the display's pace, well above the 25 a second of the old fixed cadence.
TEST(StandaloneRun, CheapFramesKeepTheDisplaysPace)
{
    TempFolder folder;
    std::string applet = folder.Write("box.obvm", "orbolanth-scene 1\n"
                                                  "mesh b box 1\n"
                                                  "object b b\n spin 0 1 0 90\nend\n");
    RunResult run = RunRenderer("--standalone \"" + applet + "\" --args \" -width 160 -height 120\" --frames 90 --stats",
                                folder);
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    // "stats: active 90 frames in 1.5 s, 60.0 frames/s, cpu ..."
    size_t rateEnd = run.output.find(" frames/s");
    ASSERT_NE(rateEnd, std::string::npos) << run.output;
    double rate = std::atof(run.output.c_str() + run.output.rfind(", ", rateEnd) + 2);
    EXPECT_GT(rate, 35) << run.output;
}
