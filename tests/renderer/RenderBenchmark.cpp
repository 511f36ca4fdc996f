// Prints how long the software renderer takes per frame for each sample applet at the plug-in's
// usual window size; the frame loop allows 40 ms per frame.
#include "SceneSession.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>

using namespace orb;

namespace {

class DiskOutput : public SessionOutput {
public:
    explicit DiskOutput(std::string folder) : folder_(std::move(folder)) {}
    void RequestResource(int id, const std::string& name) override { queue.emplace_back(id, folder_ + name); }
    void ShowStatus(const std::string& text) override { status = text; }
    void Navigate(const std::string&, const std::string&) override {}

    std::deque<std::pair<int, std::string>> queue;
    std::string status;

private:
    std::string folder_;
};

}  // namespace

int main()
{
    const std::string folder = ORB_SOURCE_DIR "/samples/applets/";
    const int frames = 200;
    for (const char* applet : {"orbit.obvm", "cubes.obvm", "gyro.obvm"}) {
        DiskOutput output(folder);
        SceneSession session(output);
        session.Start(applet);
        while (!output.queue.empty()) {
            auto [id, path] = output.queue.front();
            output.queue.pop_front();
            session.ResourceArrived(id, path);
        }
        SceneView view;
        view.frame.Resize(400, 300);
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) {
            session.AdvanceTime(0.04);
            session.RenderFrame(view);
        }
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-11s 400x300: %6.2f ms/frame (%.0f frames/s possible)  [%s]\n", applet, ms / frames,
                    1000.0 * frames / ms, output.status.c_str());
    }
    return 0;
}
