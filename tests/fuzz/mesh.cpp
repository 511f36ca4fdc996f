// A mesh file as text: every face the parser keeps uses vertices it has, and every vertex
// gets a normal.
#include <cstdlib>
#include <string>

#include "SceneText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orb::MeshFile file = orb::ParseMeshText(std::string(reinterpret_cast<const char*>(data), size));
    const orb::Mesh& mesh = file.mesh;
    if (mesh.normals.size() != mesh.positions.size()) std::abort();
    for (const auto& tri : mesh.triangles)
        for (int index : tri)
            if (index < 0 || index >= static_cast<int>(mesh.positions.size())) std::abort();
    return 0;
}
