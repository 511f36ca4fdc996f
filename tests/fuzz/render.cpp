// A whole applet loaded by a session and drawn frame by frame. The input is the applet, then
// the files it names in the order the session asks for them, separated by lines holding only
// "%%"; a file that is not there fails, as a download may.
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "SceneSession.h"

namespace {

std::deque<std::string> SplitFiles(const std::string& text)
{
    std::deque<std::string> files;
    size_t start = 0;
    for (;;) {
        size_t cut = text.find("\n%%\n", start);
        files.push_back(text.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos) return files;
        start = cut + 4;
    }
}

class Output : public orb::SessionOutput {
public:
    void RequestResource(int id, const std::string& name) override { requests.emplace_back(id, name); }
    void ResourceDone(int) override {}
    void ShowStatus(const std::string&) override {}
    void Navigate(const std::string&, const std::string&) override {}

    std::deque<std::pair<int, std::string>> requests;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("orb-fuzz-render-" + std::to_string(getpid()))).string();
    std::deque<std::string> files = SplitFiles(std::string(reinterpret_cast<const char*>(data), size));
    Output output;
    orb::SceneSession session(output);
    session.Start("applet.obvm");
    while (!output.requests.empty()) {
        int id = output.requests.front().first;
        output.requests.pop_front();
        if (files.empty()) {
            session.ResourceFailed(id);
            continue;
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc) << files.front();
        files.pop_front();
        session.ResourceArrived(id, path);
        while (session.LoadSlice()) {
        }
    }

    orb::SceneView view;
    view.frame.Resize(48, 32);
    for (int i = 0; i < 3; ++i) {
        session.AdvanceTime(0.7);
        session.RenderFrame(view);
        session.PointerPressed(view, 24 + 9 * i, 16);
        session.PointerMoved(view, 30 * i, 5);
        session.PointerReleased(view, 30 * i, 5);
    }
    return 0;
}
