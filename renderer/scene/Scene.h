#pragma once

#include "SceneText.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orb {

struct SceneNode {
    const ObjectDef* def = nullptr;
    std::shared_ptr<const Mesh> mesh;  // none: not drawn (a pivot, or its mesh has not arrived)
    int parent = -1;
    bool placed = false;  // false while its parent is unknown or the parents form a cycle
};

// The applet's scene assembled from its file and whatever included files and mesh files have
// arrived so far; Resolve rebuilds the node list after each arrival.
class Scene {
public:
    // Bounds on what one frame draws, whatever the files hold: objects and lights of all files
    // together, and the mesh vertices and triangles of the objects drawn (one mesh may be drawn by many).
    // Objects and lights past a bound are left out, in file order.
    static constexpr size_t kMaxObjects = 8192;
    static constexpr size_t kMaxLights = 8;
    // The largest mesh a file may hold, so that any single one can be drawn.
    static constexpr size_t kMaxDrawnVertices = Mesh::kMaxVertices;
    static constexpr size_t kMaxDrawnTriangles = Mesh::kMaxTriangles;

    void SetApplet(SceneFile file);
    void AddInclude(const std::string& name, SceneFile file);
    void AddMeshFile(const std::string& name, std::shared_ptr<const Mesh> mesh);
    void Resolve();

    bool HasApplet() const { return applet_ != nullptr; }
    const std::vector<SceneNode>& Nodes() const { return nodes_; }
    int DrawableCount() const;

    const Background& GetBackground() const { return background_; }
    const CameraDef& Camera() const { return camera_; }
    // The camera a window of that name shows the scene from: its view, else the main camera.
    const CameraDef& CameraFor(const std::string& windowName) const;
    const Vec3& Ambient() const { return ambient_; }
    const std::vector<LightDef>& Lights() const { return lights_; }

    // World transform of every node at a time; unplaced nodes get the identity.
    std::vector<Mat34> WorldTransforms(double seconds) const;

    // The nearest link at or above a node, or none.
    const ObjectDef* LinkOf(int node) const;

    // Which bound the scene reached at the last Resolve; empty when none.
    const std::string& LimitNote() const { return limitNote_; }

    // Bytes held by the vertex, normal and face lists of every mesh the scene's files have.
    size_t MeshBytes() const;

private:
    void Collect(const SceneFile& file, std::vector<const SceneFile*>& visited);
    void Place();
    void KeepDrawingBounded();

    std::unique_ptr<SceneFile> applet_;
    std::map<std::string, SceneFile> includes_;  // keyed by lower-case name
    std::map<std::string, std::shared_ptr<const Mesh>> meshFiles_;

    std::vector<SceneNode> nodes_;
    std::vector<int> order_;  // placed nodes, parents before children
    Background background_;
    CameraDef camera_;
    std::map<std::string, CameraDef> views_;
    Vec3 ambient_;
    std::vector<LightDef> lights_;
    std::map<std::string, std::shared_ptr<const Mesh>> meshes_;
    std::string limitNote_;
};

}  // namespace orb
