// A whole applet drawn frame by frame. The input is the applet, then the files it names in
// the order the session first asks for them (each name once), separated by lines holding
// only "%%"; a file that is not there stays missing, as a failed download does.
#include <deque>
#include <set>
#include <string>

#include "Scene.h"
#include "SceneRenderer.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::deque<std::string> files = SplitFiles(std::string(reinterpret_cast<const char*>(data), size));
    orb::Scene scene;
    orb::SceneFile applet = orb::ParseSceneText(files.front());
    files.pop_front();
    std::deque<orb::FileReference> wanted;
    std::set<std::string> named;
    auto want = [&](const orb::SceneFile& file) {
        for (const orb::FileReference& ref : file.References())
            if (named.insert(orb::LowerCase(ref.name)).second) wanted.push_back(ref);
    };
    want(applet);
    scene.SetApplet(std::move(applet));
    scene.Resolve();

    while (!wanted.empty() && !files.empty()) {
        orb::FileReference ref = wanted.front();
        wanted.pop_front();
        std::string text = files.front();
        files.pop_front();
        if (text.compare(0, 14, "orbolanth-mesh") == 0) {
            orb::MeshFile mesh = orb::ParseMeshText(text);
            scene.AddMeshFile(ref.name, std::make_shared<orb::Mesh>(std::move(mesh.mesh)));
        } else {
            orb::SceneFile include = orb::ParseSceneText(text);
            want(include);
            scene.AddInclude(ref.name, std::move(include));
        }
        scene.Resolve();
    }

    orb::FrameBuffer frame;
    frame.Resize(48, 32);
    orb::ViewAngles angles;
    for (int i = 0; i < 3; ++i) {
        orb::RenderScene(scene, scene.Camera(), i * 0.7, angles, frame);
        angles.yaw += 0.9f;
        angles.pitch -= 0.5f;
    }
    return 0;
}
