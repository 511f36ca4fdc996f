#include "SceneRenderer.h"

#include "RasterBatch.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

namespace orb {

namespace {

constexpr float kNear = 0.05f;
// About how many triangles of the scene's meshes are prepared before they are drawn.
constexpr size_t kGroupTriangles = 8192;
// How many of a node's vertices, and of its triangles, one job prepares: a few hundred, so that
// a scene of a few big meshes still keeps every thread busy.
constexpr size_t kVertexShare = 256;
constexpr size_t kTriangleShare = 512;

struct CameraFrame {
    Vec3 eye, right, up, back;  // back points from the target towards the eye
    float focal = 1;            // pixels per unit at distance 1
    float cx = 0, cy = 0;

    Vec3 ToCamera(const Vec3& p) const
    {
        Vec3 d = p - eye;
        return {Dot(d, right), Dot(d, up), Dot(d, back)};
    }
};

CameraFrame MakeCamera(const CameraDef& def, const ViewAngles& view, int width, int height)
{
    Vec3 offset = def.eye - def.target;
    float distance = Length(offset);
    float yaw = std::atan2(offset.x, offset.z) + view.yaw;
    float pitch = std::asin(std::clamp(offset.y / distance, -1.0f, 1.0f)) + view.pitch;
    pitch = std::clamp(pitch, Radians(-85), Radians(85));
    CameraFrame cam;
    cam.back = {std::cos(pitch) * std::sin(yaw), std::sin(pitch), std::cos(pitch) * std::cos(yaw)};
    cam.eye = def.target + cam.back * distance;
    cam.right = Normalize(Cross({0, 1, 0}, cam.back));
    cam.up = Cross(cam.back, cam.right);
    cam.focal = (height * 0.5f) / std::tan(Radians(def.fov) * 0.5f);
    cam.cx = width * 0.5f;
    cam.cy = height * 0.5f;
    return cam;
}

struct Lighting {
    Vec3 ambient;
    std::vector<LightDef> lights;  // directions normalised
    Vec3 eye;

    Vec3 Shade(const Vec3& position, const Vec3& normal, const ObjectDef& def) const
    {
        if (def.glow)
            return def.colour;
        Vec3 colour = def.colour * ambient;
        Vec3 toEye = Normalize(eye - position);
        for (const LightDef& light : lights) {
            float diffuse = Dot(normal, light.towards);
            if (diffuse <= 0)
                continue;
            colour += def.colour * light.colour * diffuse;
            if (def.specular > 0) {
                float highlight = Dot(normal, Normalize(light.towards + toEye));
                if (highlight > 0)
                    colour += light.colour * (def.specular * std::pow(highlight, def.shininess));
            }
        }
        return colour;
    }
};

struct ClipVertex {
    Vec3 position;  // camera space, looking down -z
    Vec3 colour;
};

// Cuts a triangle at the near plane; returns the number of polygon corners left (0, 3 or 4).
int ClipNear(const ClipVertex in[3], ClipVertex out[4])
{
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        const ClipVertex& a = in[i];
        const ClipVertex& b = in[(i + 1) % 3];
        bool aIn = a.position.z <= -kNear, bIn = b.position.z <= -kNear;
        if (aIn)
            out[n++] = a;
        if (aIn != bIn) {
            float t = (-kNear - a.position.z) / (b.position.z - a.position.z);
            out[n++] = {Lerp(a.position, b.position, t), Lerp(a.colour, b.colour, t)};
        }
    }
    return n;
}

ScreenVertex Project(const CameraFrame& cam, const ClipVertex& v)
{
    float depth = -v.position.z;
    ScreenVertex s;
    s.x = cam.cx + cam.focal * v.position.x / depth;
    s.y = cam.cy - cam.focal * v.position.y / depth;
    s.w = 1.0f / depth;
    s.colour = v.colour;
    return s;
}

// Milliseconds since `start`, added to `total`; restarts `start`.
void Lap(std::chrono::steady_clock::time_point& start, double& total)
{
    auto now = std::chrono::steady_clock::now();
    total += std::chrono::duration<double, std::milli>(now - start).count();
    start = now;
}

// Vertices [first, end) of the node, made ready for its triangles.
void PrepareVertices(const SceneNode& node, const Mat34& world, const Mat34& normalMatrix, const CameraFrame& cam,
                     const Lighting& lighting, size_t first, size_t end, RenderWorkers::NodeVertices& out)
{
    const Mesh& mesh = *node.mesh;
    const ObjectDef& def = *node.def;
    for (size_t i = first; i < end; ++i) {
        out.world[i] = world.Apply(mesh.positions[i]);
        out.camera[i] = cam.ToCamera(out.world[i]);
        if (def.smooth) {
            Vec3 n = i < mesh.normals.size() ? Normalize(normalMatrix.ApplyLinear(mesh.normals[i])) : Vec3();
            out.colour[i] = lighting.Shade(out.world[i], n, def);
        }
        // Vertices in front of the near plane are projected once, for all the triangles they belong to.
        if (out.camera[i].z <= -kNear)
            out.screen[i] = Project(cam, {out.camera[i], def.smooth ? out.colour[i] : Vec3()});
    }
}

// The node's triangles [first, end) that face the camera, lit, cut at the near plane, projected
// and set up for drawing into the frame. The work of a triangle that leaves nothing to draw
// counts with the next one.
void PrepareTriangles(const SceneNode& node, int id, const Lighting& lighting, const CameraFrame& cam,
                      const RenderWorkers::NodeVertices& vertices, size_t first, size_t end, const FrameBuffer& frame,
                      std::vector<RasterTriangle>& out)
{
    const Mesh& mesh = *node.mesh;
    const ObjectDef& def = *node.def;
    const std::vector<Vec3>& camPos = vertices.camera;
    size_t unbooked = 0;
    auto setUp = [&](const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
        const size_t before = out.size();
        unbooked += SetUpTriangle(frame.Width(), frame.Height(), a, b, c, id, out);
        if (out.size() > before) {
            out[before].work = unbooked;
            unbooked = 0;
        }
    };
    for (size_t t = first; t < end; ++t) {
        const auto& tri = mesh.triangles[t];
        const Vec3 &p0 = camPos[tri[0]], &p1 = camPos[tri[1]], &p2 = camPos[tri[2]];
        // The camera sits at the origin of camera space: a face turned away from it is hidden.
        if (Dot(Cross(p1 - p0, p2 - p0), p0) >= 0)
            continue;
        Vec3 faceColour;
        if (!def.smooth) {
            const Vec3 &w0 = vertices.world[tri[0]], &w1 = vertices.world[tri[1]], &w2 = vertices.world[tri[2]];
            faceColour = lighting.Shade((w0 + w1 + w2) * (1.0f / 3), Normalize(Cross(w1 - w0, w2 - w0)), def);
        }
        if (p0.z <= -kNear && p1.z <= -kNear && p2.z <= -kNear) {
            ScreenVertex s[3] = {vertices.screen[tri[0]], vertices.screen[tri[1]], vertices.screen[tri[2]]};
            if (!def.smooth)
                s[0].colour = s[1].colour = s[2].colour = faceColour;
            setUp(s[0], s[1], s[2]);
            continue;
        }
        ClipVertex corners[3];
        for (int k = 0; k < 3; ++k)
            corners[k] = {camPos[tri[k]], def.smooth ? vertices.colour[tri[k]] : faceColour};
        ClipVertex polygon[4];
        int n = ClipNear(corners, polygon);
        if (n < 3)
            continue;
        ScreenVertex s[4];
        for (int k = 0; k < n; ++k)
            s[k] = Project(cam, polygon[k]);
        for (int k = 2; k < n; ++k)
            setUp(s[0], s[k - 1], s[k]);
    }
}

// A share of one node's vertices or triangles, for one job.
struct NodeShare {
    size_t node;  // among the group's
    size_t first, end;
};

// The group's nodes cut into shares of at most `most` of what `count` counts, in scene order.
template <typename Count>
std::vector<NodeShare> Shares(size_t nodes, size_t most, Count count)
{
    std::vector<NodeShare> shares;
    for (size_t k = 0; k < nodes; ++k)
        for (size_t first = 0, all = count(k); first < all; first += most)
            shares.push_back({k, first, std::min(all, first + most)});
    return shares;
}

}  // namespace

bool RenderScene(const Scene& scene, const CameraDef& camera, double seconds, const ViewAngles& view,
                 FrameBuffer& frame, FrameTimes* times, RenderWorkers* workers)
{
    std::optional<RenderWorkers> alone;
    RenderWorkers& use = workers ? *workers : alone.emplace(1);
    FrameTimes spent;
    auto lap = std::chrono::steady_clock::now();
    const Background& background = scene.GetBackground();
    const bool kept = frame.KeepBackground(background.top, background.bottom);
    // The background goes in band by band, just before the band's first triangles.
    use.batch.Begin(frame, [&](int firstRow, int endRow) {
        FillBackgroundRows(frame, background.top, background.bottom, kept, firstRow, endRow);
    });
    bool whole = true;
    if (frame.Width() > 0 && frame.Height() > 0) {
        size_t workLeft = kPixelWorkBase + kPixelWorkPerPixel * static_cast<size_t>(frame.Width()) * frame.Height();
        CameraFrame cam = MakeCamera(camera, view, frame.Width(), frame.Height());
        Lighting lighting{scene.Ambient(), scene.Lights(), cam.eye};
        for (LightDef& light : lighting.lights)
            light.towards = Normalize(light.towards);
        std::vector<Mat34> world = scene.WorldTransforms(seconds);
        const auto& nodes = scene.Nodes();
        std::vector<int> drawable;
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].placed && nodes[i].mesh)
                drawable.push_back(static_cast<int>(i));
        // Nodes are prepared a group at a time, and a group is drawn before the next is prepared:
        // a scene of a million triangles needs no room for them all, and once the work runs out
        // nothing more is prepared. Big nodes are shared out among the threads in pieces, their
        // vertices first, then their triangles.
        for (size_t first = 0, end = 0; first < drawable.size() && whole; first = end) {
            size_t triangles = 0;
            for (end = first; end < drawable.size() && triangles < kGroupTriangles; ++end)
                triangles += nodes[drawable[end]].mesh->triangles.size();
            const size_t count = end - first;
            auto mesh = [&](size_t k) -> const Mesh& { return *nodes[drawable[first + k]].mesh; };
            if (use.vertices.size() < count)
                use.vertices.resize(count);
            std::vector<Mat34> normalMatrices(count);
            for (size_t k = 0; k < count; ++k) {
                RenderWorkers::NodeVertices& v = use.vertices[k];
                const size_t n = mesh(k).positions.size();
                v.world.resize(n);
                v.camera.resize(n);
                v.colour.resize(nodes[drawable[first + k]].def->smooth ? n : 0);
                v.screen.resize(n);
                normalMatrices[k] = world[drawable[first + k]].NormalMatrix();
            }
            const std::vector<NodeShare> vertexShares =
                Shares(count, kVertexShare, [&](size_t k) { return mesh(k).positions.size(); });
            use.pool.Run(static_cast<int>(vertexShares.size()), [&](int j) {
                const NodeShare& share = vertexShares[j];
                const int id = drawable[first + share.node];
                PrepareVertices(nodes[id], world[id], normalMatrices[share.node], cam, lighting, share.first,
                                share.end, use.vertices[share.node]);
            });
            const std::vector<NodeShare> triangleShares =
                Shares(count, kTriangleShare, [&](size_t k) { return mesh(k).triangles.size(); });
            if (use.prepared.size() < triangleShares.size())
                use.prepared.resize(triangleShares.size());
            use.pool.Run(static_cast<int>(triangleShares.size()), [&](int j) {
                const NodeShare& share = triangleShares[j];
                const int id = drawable[first + share.node];
                use.prepared[j].clear();
                PrepareTriangles(nodes[id], id, lighting, cam, use.vertices[share.node], share.first, share.end,
                                 frame, use.prepared[j]);
            });
            Lap(lap, spent.geometry);
            for (size_t j = 0; j < triangleShares.size() && whole; ++j)
                for (const RasterTriangle& triangle : use.prepared[j]) {
                    use.batch.Add(triangle);
                    if (triangle.work >= workLeft) {
                        whole = false;
                        break;
                    }
                    workLeft -= triangle.work;
                }
            use.batch.Draw(use.pool);
            Lap(lap, spent.rasterising);
        }
    }
    use.batch.Draw(use.pool);
    Lap(lap, spent.rasterising);
    spent.clearing = use.batch.ClearingTime();
    spent.rasterising -= spent.clearing;
    if (times)
        *times = spent;
    return whole;
}

}  // namespace orb
