// Prints where the software renderer's time goes per frame, for each sample applet at the
// plug-in's usual window size, at 1280x720 and at full screen: clearing, geometry, rasterising
// (as the renderer measures them), showing the frame in a visible window of that client size
// (PresentFrame, the path to the screen), and the totals; the targets stand beside them. Then the
// same for applets made to reach the renderer's bounds, with the longest slice of loading
// (SceneSession::LoadSlice): the window answers nothing meanwhile. Last, the renderer process
// itself playing each sample full screen: frame rate and processor use.
#include "DiskApplet.h"
#include "PresentFrame.h"
#include "RendererRun.h"
#include "TempFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using namespace orb;

namespace {

const char kSamples[] = ORB_SOURCE_DIR "/samples/applets/";

struct Sample {
    const char* applet;
    double msAt720BeforeRewrite;  // drawn at 1280x720 by the renderer before its rewrite
};
const Sample kSamplesMeasured[] = {{"orbit.obvm", 7}, {"gyro.obvm", 10}, {"cubes.obvm", 20}};

constexpr int kFrames = 60;
constexpr double kFrameSeconds = 1.0 / 60;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct Phases {
    std::vector<double> clearing, geometry, rasterising, drawn, shown, drawnAndShown;
};

// Draws kFrames frames of the applet at that size, the clock advancing a display frame each, and
// shows each in a window of that client size.
Phases MeasureFrames(DiskApplet& applet, int width, int height)
{
    TargetWindow window(width, height, 0, 0);
    PumpMessages();
    RECT client = {};
    GetClientRect(window.Handle(), &client);
    if (client.right != width || client.bottom != height)
        std::printf("(the window's client area is only %ldx%ld: the display is too small for it)\n", client.right,
                    client.bottom);
    SceneView view;
    view.frame.Resize(width, height);
    Phases phases;
    for (int i = -3; i < kFrames; ++i) {  // the first frames warm the caches and size the window's surface
        applet.Session().AdvanceTime(kFrameSeconds);
        auto start = std::chrono::steady_clock::now();
        applet.Session().RenderFrame(view);
        double drawn = MsSince(start);
        auto showing = std::chrono::steady_clock::now();
        PresentFrame(window.Handle(), view.frame);
        double shown = MsSince(showing);
        PumpMessages();
        if (i < 0)
            continue;
        phases.clearing.push_back(view.times.clearing);
        phases.geometry.push_back(view.times.geometry);
        phases.rasterising.push_back(view.times.rasterising);
        phases.drawn.push_back(drawn);
        phases.shown.push_back(shown);
        phases.drawnAndShown.push_back(drawn + shown);
    }
    return phases;
}

void PrintHeader()
{
    std::printf("median ms per frame over %d frames, the clock advancing 1/60 s a frame (each column its own median)\n",
                kFrames);
    std::printf("%-16s %-9s %8s %8s %8s %8s %8s %8s\n", "applet", "size", "clear", "geometry", "raster", "drawn",
                "shown", "drawn+sh");
}

void PrintPhases(const std::string& applet, int width, int height, const Phases& phases, const std::string& target)
{
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::printf("%-16s %-9s %8.2f %8.2f %8.2f %8.2f %8.2f %8.2f   %s\n", applet.c_str(), size.c_str(),
                Median(phases.clearing), Median(phases.geometry), Median(phases.rasterising), Median(phases.drawn),
                Median(phases.shown), Median(phases.drawnAndShown), target.c_str());
    std::fflush(stdout);
}

std::string Figure(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", ms);
    return text;
}

void MeasureSample(const Sample& sample)
{
    DiskApplet applet(kSamples, sample.applet);
    const struct {
        int width, height;
        std::string target;
    } sizes[] = {
        {400, 300, "target: drawn < 1 ms"},
        {1280, 720, "target: drawn <= " + Figure(sample.msAt720BeforeRewrite / 4) + " ms (4x faster than " +
                        Figure(sample.msAt720BeforeRewrite) + ")"},
        {1920, 1080, "target: drawn <= 6 ms, drawn+shown <= 10 ms"},
    };
    for (const auto& size : sizes)
        PrintPhases(sample.applet, size.width, size.height, MeasureFrames(applet, size.width, size.height),
                    size.target);
}

std::string Repeat(const std::string& head, const std::string& line, size_t bytes)
{
    std::string text = head;
    for (int i = 0; text.size() < bytes; ++i) {
        std::string numbered = line;
        for (size_t at; (at = numbered.find('#')) != std::string::npos;)
            numbered.replace(at, 1, std::to_string(i));
        text += numbered;
    }
    return text;
}

// Applets at the bounds of what the renderer accepts, at the plug-in's usual size.
void MeasureHostile()
{
    const std::string folder = ORB_BUILD_DIR "/renderer-bench-applets/";
    std::filesystem::create_directories(folder);
    const size_t big = 4000000;  // just under the file size bound
    const std::pair<const char*, std::string> hostile[] = {
        {"tori.obvm", Repeat("orbolanth-scene 1\n", "mesh t# torus 3 1 segments 256 128\nobject o# t#\nend\n", big)},
        {"objects.obvm", Repeat("orbolanth-scene 1\ncamera 0 0 3 fov 90\nmesh b sphere 1 detail 5\n",
                                "object o# b\nend\n", big)},
        {"positions.obvm", Repeat("orbolanth-scene 1\nmesh b box 1\nobject o b\n", " position 1 2 3\n", big)},
        {"garbage.obvm", Repeat("orbolanth-scene 1\n", "x\n", big)},
    };
    for (const auto& [name, text] : hostile) {
        std::ofstream(folder + name, std::ios::binary) << text;
        DiskApplet applet(folder, name);
        PrintPhases(name, 400, 300, MeasureFrames(applet, 400, 300),
                    "longest loading slice " + Figure(applet.LongestSliceMs()) + " ms  [" +
                        applet.Status().substr(0, 100) + "]");
    }
}

// The renderer program playing the sample in a window of its own, 1920x1080 inside, for a few
// seconds; its --stats line gives the frame rate and the processor use (100% is one core).
void MeasureStandalone(const Sample& sample)
{
    TempFolder folder;
    RunResult run = RunRenderer(std::string("--standalone \"") + kSamples + sample.applet +
                                    "\" --args \" -width 1920 -height 1080\" --frames 240 --stats",
                                folder);
    size_t at = run.output.find("stats: active");
    std::string stats = at == std::string::npos ? "no figures (exit code " + std::to_string(run.exitCode) + ")"
                                                : run.output.substr(at, run.output.find('\n', at) - at);
    std::printf("%-16s 1920x1080 %s   target: at most 60%% of one core at 60 frames/s\n", sample.applet,
                stats.c_str());
    std::fflush(stdout);
}

}  // namespace

int main()
{
    PrintHeader();
    for (const Sample& sample : kSamplesMeasured)
        MeasureSample(sample);
    MeasureHostile();
    std::printf("orbrenderer.exe --standalone, 240 frames full screen\n");
    for (const Sample& sample : kSamplesMeasured)
        MeasureStandalone(sample);
    return 0;
}
