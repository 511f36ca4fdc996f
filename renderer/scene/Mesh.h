#pragma once

#include "Math3.h"

#include <array>
#include <cstddef>
#include <vector>

namespace orb {

// Triangles wind counter-clockwise seen from outside; normals are per vertex (for smooth shading),
// face normals are derived from the winding when drawing flat.
struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<std::array<int, 3>> triangles;

    // Upper bounds that keep a hostile file from exhausting memory or time.
    static constexpr int kMaxVertices = 65536;
    static constexpr int kMaxTriangles = 131072;

    // Vertex normals as the area-weighted mean of the faces around each vertex.
    void ComputeNormals();

    // Vertex and triangle counts of the shapes below, known before anything is built.
    struct Size {
        size_t vertices;
        size_t triangles;
    };
    static Size BoxSize() { return {24, 12}; }
    static Size SphereSize(int detail);
    static Size CylinderSize(int segments);
    static Size TorusSize(int segments, int sides);

    static Mesh Box(const Vec3& size);
    static Mesh Sphere(float radius, int detail);
    static Mesh Cylinder(float radius, float height, int segments);
    static Mesh Torus(float majorRadius, float minorRadius, int segments, int sides);
};

}  // namespace orb
