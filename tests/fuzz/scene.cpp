// An applet or included file as text: whatever it holds, the parser reports lines, keeps
// its limits, and everything it names is a name of this file.
#include <cstdlib>
#include <string>

#include "SceneText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orb::SceneFile file = orb::ParseSceneText(std::string(reinterpret_cast<const char*>(data), size));
    for (const orb::MeshDef& def : file.meshes) {
        if (!def.mesh) continue;
        for (const auto& tri : def.mesh->triangles)
            for (int index : tri)
                if (index < 0 || index >= static_cast<int>(def.mesh->positions.size())) std::abort();
    }
    file.References();
    return 0;
}
