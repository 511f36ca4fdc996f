#include "Scene.h"

#include "Motion.h"

#include <algorithm>
#include <set>

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
    for (const LightDef& light : file.lights) {
        if (lights_.size() >= kMaxLights) {
            limitNote_ = "lights past " + std::to_string(kMaxLights) + " in all are left out";
            break;
        }
        lights_.push_back(light);
    }
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
    for (const ObjectDef& obj : file.objects) {
        if (nodes_.size() >= kMaxObjects) {
            limitNote_ = "objects past " + std::to_string(kMaxObjects) + " in all are left out";
            break;
        }
        nodes_.push_back({&obj, nullptr, -1, false});
    }
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
    limitNote_.clear();
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

    // The first object of a name is the parent that name means.
    std::map<std::string, int> byName;
    for (size_t i = 0; i < nodes_.size(); ++i)
        byName.emplace(nodes_[i].def->name, static_cast<int>(i));
    for (SceneNode& node : nodes_) {
        auto mesh = meshes_.find(node.def->mesh);
        if (mesh != meshes_.end())
            node.mesh = mesh->second;
        if (node.def->parent.empty())
            continue;
        auto parent = byName.find(node.def->parent);
        node.parent = parent == byName.end() ? -2 : parent->second;  // -2: named but not found
    }
    Place();
    KeepDrawingBounded();
}

// A node is placed when its chain of parents ends in the world; missing parents and cycles leave
// the whole chain unplaced. Each node is walked once.
void Scene::Place()
{
    enum : char { kUnknown, kOnPath, kDecided };
    std::vector<char> state(nodes_.size(), kUnknown);
    std::vector<int> path;
    for (size_t start = 0; start < nodes_.size(); ++start) {
        int at = static_cast<int>(start);
        while (at >= 0 && state[at] == kUnknown) {
            state[at] = kOnPath;
            path.push_back(at);
            at = nodes_[at].parent;
        }
        bool placed = at == -1 || (at >= 0 && state[at] == kDecided && nodes_[at].placed);
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            nodes_[*it].placed = placed;
            state[*it] = kDecided;
            if (placed)
                order_.push_back(*it);
        }
        path.clear();
    }
}

void Scene::KeepDrawingBounded()
{
    size_t vertices = 0, triangles = 0;
    for (SceneNode& node : nodes_) {
        if (!node.placed || !node.mesh)
            continue;
        size_t v = node.mesh->positions.size(), t = node.mesh->triangles.size();
        if (v > kMaxDrawnVertices - vertices || t > kMaxDrawnTriangles - triangles) {
            node.mesh = nullptr;
            limitNote_ = "objects past " + std::to_string(kMaxDrawnTriangles) + " triangles in all are left out";
            continue;
        }
        vertices += v;
        triangles += t;
    }
}

size_t Scene::MeshBytes() const
{
    std::set<const Mesh*> counted;
    size_t bytes = 0;
    auto count = [&](const Mesh* mesh) {
        if (!mesh || !counted.insert(mesh).second)
            return;
        bytes += mesh->positions.capacity() * sizeof(Vec3) + mesh->normals.capacity() * sizeof(Vec3) +
                 mesh->triangles.capacity() * sizeof(mesh->triangles[0]);
    };
    auto countFile = [&](const SceneFile& file) {
        for (const MeshDef& def : file.meshes)
            count(def.mesh.get());
    };
    if (applet_)
        countFile(*applet_);
    for (const auto& include : includes_)
        countFile(include.second);
    for (const auto& file : meshFiles_)
        count(file.second.get());
    return bytes;
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
