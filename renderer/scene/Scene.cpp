#include "Scene.h"

#include "Motion.h"

#include <algorithm>

#include "base/AsciiCase.h"

namespace orb {

void Scene::SetApplet(SceneFile file)
{
    applet_ = std::make_unique<SceneFile>(std::move(file));
}

void Scene::AddInclude(const std::string& name, SceneFile file)
{
    includes_[AsciiLowerCase(name)] = std::move(file);
}

void Scene::AddMeshFile(const std::string& name, std::shared_ptr<const Mesh> mesh)
{
    meshFiles_[AsciiLowerCase(name)] = std::move(mesh);
}

void Scene::Collect(const SceneFile& file, std::vector<const SceneFile*>& visited)
{
    if (std::find(visited.begin(), visited.end(), &file) != visited.end())
        return;
    visited.push_back(&file);
    if (file.background && visited.size() == 1)
        background_ = *file.background;
    if (file.camera && visited.size() == 1)
        camera_ = *file.camera;
    if (visited.size() == 1)
        views_ = file.views;
    if (file.ambient && visited.size() == 1)
        ambient_ = *file.ambient;
    lights_.insert(lights_.end(), file.lights.begin(), file.lights.end());
    for (const MeshDef& def : file.meshes) {
        std::shared_ptr<const Mesh> mesh = def.mesh;
        if (!mesh) {
            auto it = meshFiles_.find(AsciiLowerCase(def.file));
            if (it != meshFiles_.end())
                mesh = it->second;
        }
        if (mesh)
            meshes_.emplace(def.name, mesh);
    }
    for (const ObjectDef& obj : file.objects)
        nodes_.push_back({&obj, nullptr, -1, false});
    for (const FileReference& ref : file.includes) {
        auto it = includes_.find(AsciiLowerCase(ref.name));
        if (it != includes_.end())
            Collect(it->second, visited);
    }
}

void Scene::Resolve()
{
    nodes_.clear();
    order_.clear();
    meshes_.clear();
    lights_.clear();
    // Settings come from the applet file itself; these stand in when it leaves them out.
    background_ = {{0.10f, 0.14f, 0.26f}, {0.01f, 0.01f, 0.04f}};
    camera_ = CameraDef();
    views_.clear();
    ambient_ = {0.18f, 0.18f, 0.22f};
    if (!applet_)
        return;
    std::vector<const SceneFile*> visited;
    Collect(*applet_, visited);
    if (lights_.empty())
        lights_.push_back({{-0.5f, 0.8f, 0.6f}, {1.0f, 0.97f, 0.9f}});

    for (SceneNode& node : nodes_) {
        auto mesh = meshes_.find(node.def->mesh);
        if (mesh != meshes_.end())
            node.mesh = mesh->second;
        if (node.def->parent.empty())
            continue;
        node.parent = -2;  // named but not found
        for (size_t i = 0; i < nodes_.size(); ++i)
            if (nodes_[i].def->name == node.def->parent) {
                node.parent = static_cast<int>(i);
                break;
            }
    }
    // Place nodes whose parent is placed until nothing changes; missing parents and cycles stay
    // unplaced, and so do all their descendants.
    bool progress = true;
    while (progress) {
        progress = false;
        for (size_t i = 0; i < nodes_.size(); ++i) {
            SceneNode& node = nodes_[i];
            if (node.placed || node.parent == -2 || (node.parent >= 0 && !nodes_[node.parent].placed))
                continue;
            node.placed = true;
            order_.push_back(static_cast<int>(i));
            progress = true;
        }
    }
}

const CameraDef& Scene::CameraFor(const std::string& windowName) const
{
    auto it = views_.find(windowName);
    return it == views_.end() ? camera_ : it->second;
}

int Scene::DrawableCount() const
{
    return static_cast<int>(std::count_if(nodes_.begin(), nodes_.end(),
                                          [](const SceneNode& n) { return n.placed && n.mesh; }));
}

std::vector<Mat34> Scene::WorldTransforms(double seconds) const
{
    std::vector<Mat34> world(nodes_.size());
    for (int i : order_) {
        Mat34 local = LocalTransform(*nodes_[i].def, seconds);
        world[i] = nodes_[i].parent >= 0 ? world[nodes_[i].parent] * local : local;
    }
    return world;
}

const ObjectDef* Scene::LinkOf(int node) const
{
    for (size_t steps = 0; node >= 0 && node < static_cast<int>(nodes_.size()) && steps <= nodes_.size();
         ++steps) {
        if (nodes_[node].def->isLink)
            return nodes_[node].def;
        node = nodes_[node].parent;
    }
    return nullptr;
}

}  // namespace orb
