// Prints how long the software renderer takes per frame for each sample applet at the plug-in's
// usual window size; the frame loop allows 40 ms per frame. Then the same for applets made to
// reach the renderer's bounds, with the longest slice of loading (SceneSession::LoadSlice): the
// window answers nothing meanwhile.
#include "SceneSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

using namespace orb;

namespace {

class DiskOutput : public SessionOutput {
public:
    explicit DiskOutput(std::string folder) : folder_(std::move(folder)) {}
    void RequestResource(int id, const std::string& name) override { queue.emplace_back(id, folder_ + name); }
    void ResourceDone(int) override {}
    void ShowStatus(const std::string& text) override { status = text; }
    void Navigate(const std::string&, const std::string&) override {}

    std::deque<std::pair<int, std::string>> queue;
    std::string status;

private:
    std::string folder_;
};

// Loads the applet and everything it names, then draws frames; prints both.
void Measure(const std::string& folder, const std::string& applet)
{
    const int frames = 100;
    DiskOutput output(folder);
    SceneSession session(output);
    session.Start(applet);
    double longestSlice = 0;
    for (bool reading = false; reading || !output.queue.empty();) {
        while (!output.queue.empty()) {
            auto [id, path] = output.queue.front();
            output.queue.pop_front();
            session.ResourceArrived(id, path);
        }
        auto start = std::chrono::steady_clock::now();
        reading = session.LoadSlice();
        longestSlice = std::max(longestSlice, std::chrono::duration<double, std::milli>(
                                                  std::chrono::steady_clock::now() - start).count());
    }
    SceneView view;
    view.frame.Resize(400, 300);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        session.AdvanceTime(0.04);
        session.RenderFrame(view);
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-22s 400x300: %7.2f ms/frame, longest loading slice %7.1f ms  [%.100s]\n", applet.c_str(),
                ms / frames, longestSlice, output.status.c_str());
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

}  // namespace

int main()
{
    for (const char* applet : {"orbit.obvm", "cubes.obvm", "gyro.obvm"})
        Measure(ORB_SOURCE_DIR "/samples/applets/", applet);

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
        Measure(folder, name);
    }
    return 0;
}
