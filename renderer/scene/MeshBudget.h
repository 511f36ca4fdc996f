#pragma once

#include "Mesh.h"

#include <cstddef>

namespace orb {

// What the meshes of one applet may hold in all, across every file it loads. Each file keeps
// to its own limits, but a few kilobytes of shape statements would otherwise fill memory
// with meshes; with this budget they stay within about 25 MB.
class MeshBudget {
public:
    static constexpr size_t kMaxVertices = 512 * 1024;
    static constexpr size_t kMaxTriangles = 1024 * 1024;

    // Takes a mesh of this size from what is left; false, taking nothing, when it does not fit.
    bool Take(const Mesh::Size& size);

private:
    size_t vertices_ = 0;
    size_t triangles_ = 0;
};

}  // namespace orb
