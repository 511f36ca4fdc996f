#include "MeshBudget.h"

namespace orb {

bool MeshBudget::Take(const Mesh::Size& size)
{
    if (size.vertices > kMaxVertices - vertices_ || size.triangles > kMaxTriangles - triangles_)
        return false;
    vertices_ += size.vertices;
    triangles_ += size.triangles;
    return true;
}

}  // namespace orb
