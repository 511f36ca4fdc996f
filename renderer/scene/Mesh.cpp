#include "Mesh.h"

#include <map>
#include <utility>

namespace orb {

void Mesh::ComputeNormals()
{
    normals.assign(positions.size(), Vec3());
    for (const auto& tri : triangles) {
        const Vec3& a = positions[tri[0]];
        Vec3 n = Cross(positions[tri[1]] - a, positions[tri[2]] - a);
        for (int index : tri)
            normals[index] += n;
    }
    for (Vec3& n : normals)
        n = Normalize(n);
}

Mesh::Size Mesh::SphereSize(int detail)
{
    // Each level splits every triangle in four; Euler's formula gives the vertices.
    size_t triangles = size_t{20} << (2 * detail);
    return {triangles / 2 + 2, triangles};
}

Mesh::Size Mesh::CylinderSize(int segments)
{
    size_t n = static_cast<size_t>(segments);
    return {4 * n + 2, 4 * n};
}

Mesh::Size Mesh::TorusSize(int segments, int sides)
{
    size_t n = static_cast<size_t>(segments) * static_cast<size_t>(sides);
    return {n, 2 * n};
}

Mesh Mesh::Box(const Vec3& size)
{
    Mesh mesh;
    Vec3 h = size * 0.5f;
    // Each face has its own four corners so that its normal stays sharp under smooth shading.
    const Vec3 axes[6][3] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    for (const auto& face : axes) {
        const Vec3 &n = face[0], &u = face[1], &v = face[2];
        int base = static_cast<int>(mesh.positions.size());
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            Vec3 p = n + u * c[0] + v * c[1];
            mesh.positions.push_back(p * h);
            mesh.normals.push_back(n);
        }
        mesh.triangles.push_back({base, base + 1, base + 2});
        mesh.triangles.push_back({base, base + 2, base + 3});
    }
    return mesh;
}

Mesh Mesh::Sphere(float radius, int detail)
{
    // A subdivided icosahedron: evenly sized triangles, no pinched poles.
    const float g = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<Vec3> dirs = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                              {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    std::vector<std::array<int, 3>> tris = {
        {0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
        {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
        {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    for (Vec3& d : dirs)
        d = Normalize(d);
    for (int level = 0; level < detail; ++level) {
        std::map<std::pair<int, int>, int> midpoints;
        auto midpoint = [&](int a, int b) {
            auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto it = midpoints.find(key);
            if (it != midpoints.end())
                return it->second;
            dirs.push_back(Normalize(dirs[a] + dirs[b]));
            int index = static_cast<int>(dirs.size()) - 1;
            midpoints.emplace(key, index);
            return index;
        };
        std::vector<std::array<int, 3>> finer;
        finer.reserve(tris.size() * 4);
        for (const auto& t : tris) {
            int ab = midpoint(t[0], t[1]), bc = midpoint(t[1], t[2]), ca = midpoint(t[2], t[0]);
            finer.push_back({t[0], ab, ca});
            finer.push_back({t[1], bc, ab});
            finer.push_back({t[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        tris = std::move(finer);
    }
    Mesh mesh;
    for (const Vec3& d : dirs) {
        mesh.positions.push_back(d * radius);
        mesh.normals.push_back(d);
    }
    mesh.triangles = std::move(tris);
    return mesh;
}

Mesh Mesh::Cylinder(float radius, float height, int segments)
{
    Mesh mesh;
    float h = height * 0.5f;
    for (int i = 0; i < segments; ++i) {
        float a = 2 * kPi * i / segments;
        Vec3 dir(std::cos(a), 0, -std::sin(a));
        mesh.positions.push_back(dir * radius + Vec3(0, -h, 0));
        mesh.normals.push_back(dir);
        mesh.positions.push_back(dir * radius + Vec3(0, h, 0));
        mesh.normals.push_back(dir);
    }
    for (int i = 0; i < segments; ++i) {
        int j = (i + 1) % segments;
        mesh.triangles.push_back({2 * i, 2 * j, 2 * j + 1});
        mesh.triangles.push_back({2 * i, 2 * j + 1, 2 * i + 1});
    }
    // Caps: a centre vertex and a ring of their own, with the cap's normal.
    for (float side : {1.0f, -1.0f}) {
        int centre = static_cast<int>(mesh.positions.size());
        mesh.positions.push_back({0, side * h, 0});
        mesh.normals.push_back({0, side, 0});
        for (int i = 0; i < segments; ++i) {
            float a = 2 * kPi * i / segments;
            mesh.positions.push_back({std::cos(a) * radius, side * h, -std::sin(a) * radius});
            mesh.normals.push_back({0, side, 0});
        }
        for (int i = 0; i < segments; ++i) {
            int a = centre + 1 + i, b = centre + 1 + (i + 1) % segments;
            if (side > 0)
                mesh.triangles.push_back({centre, a, b});
            else
                mesh.triangles.push_back({centre, b, a});
        }
    }
    return mesh;
}

Mesh Mesh::Torus(float majorRadius, float minorRadius, int segments, int sides)
{
    // Lies in the XZ plane around the Y axis, like a planet's ring.
    Mesh mesh;
    for (int i = 0; i < segments; ++i) {
        float u = 2 * kPi * i / segments;
        Vec3 radial(std::cos(u), 0, -std::sin(u));
        for (int j = 0; j < sides; ++j) {
            float v = 2 * kPi * j / sides;
            Vec3 n = radial * std::cos(v) + Vec3(0, std::sin(v), 0);
            mesh.positions.push_back(radial * majorRadius + n * minorRadius);
            mesh.normals.push_back(n);
        }
    }
    for (int i = 0; i < segments; ++i) {
        int i2 = (i + 1) % segments;
        for (int j = 0; j < sides; ++j) {
            int j2 = (j + 1) % sides;
            int a = i * sides + j, b = i2 * sides + j, c = i2 * sides + j2, d = i * sides + j2;
            mesh.triangles.push_back({a, b, c});
            mesh.triangles.push_back({a, c, d});
        }
    }
    return mesh;
}

}  // namespace orb
