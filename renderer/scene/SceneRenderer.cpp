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

// The node's triangles that face the camera, lit, cut at the near plane, projected and set up
// for drawing into the frame. The work of a triangle that leaves nothing to draw counts with
// the next one.
void PrepareNode(const SceneNode& node, const Mat34& world, int id, const CameraFrame& cam, const Lighting& lighting,
                 const FrameBuffer& frame, std::vector<RasterTriangle>& out)
{
    const Mesh& mesh = *node.mesh;
    const ObjectDef& def = *node.def;
    Mat34 normalMatrix = world.NormalMatrix();
    std::vector<Vec3> worldPos(mesh.positions.size()), camPos(mesh.positions.size());
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        worldPos[i] = world.Apply(mesh.positions[i]);
        camPos[i] = cam.ToCamera(worldPos[i]);
    }
    std::vector<Vec3> vertexColour;
    if (def.smooth) {
        vertexColour.resize(mesh.positions.size());
        for (size_t i = 0; i < mesh.positions.size(); ++i) {
            Vec3 n = i < mesh.normals.size() ? Normalize(normalMatrix.ApplyLinear(mesh.normals[i])) : Vec3();
            vertexColour[i] = lighting.Shade(worldPos[i], n, def);
        }
    }
    // Vertices in front of the near plane are projected once, for all the triangles they belong to.
    std::vector<ScreenVertex> screen(mesh.positions.size());
    for (size_t i = 0; i < mesh.positions.size(); ++i)
        if (camPos[i].z <= -kNear)
            screen[i] = Project(cam, {camPos[i], def.smooth ? vertexColour[i] : Vec3()});
    size_t unbooked = 0;
    auto setUp = [&](const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
        const size_t first = out.size();
        unbooked += SetUpTriangle(frame.Width(), frame.Height(), a, b, c, id, out);
        if (out.size() > first) {
            out[first].work = unbooked;
            unbooked = 0;
        }
    };
    for (const auto& tri : mesh.triangles) {
        const Vec3 &p0 = camPos[tri[0]], &p1 = camPos[tri[1]], &p2 = camPos[tri[2]];
        // The camera sits at the origin of camera space: a face turned away from it is hidden.
        if (Dot(Cross(p1 - p0, p2 - p0), p0) >= 0)
            continue;
        Vec3 faceColour;
        if (!def.smooth) {
            const Vec3 &w0 = worldPos[tri[0]], &w1 = worldPos[tri[1]], &w2 = worldPos[tri[2]];
            faceColour = lighting.Shade((w0 + w1 + w2) * (1.0f / 3), Normalize(Cross(w1 - w0, w2 - w0)), def);
        }
        if (p0.z <= -kNear && p1.z <= -kNear && p2.z <= -kNear) {
            ScreenVertex s[3] = {screen[tri[0]], screen[tri[1]], screen[tri[2]]};
            if (!def.smooth)
                s[0].colour = s[1].colour = s[2].colour = faceColour;
            setUp(s[0], s[1], s[2]);
            continue;
        }
        ClipVertex corners[3];
        for (int k = 0; k < 3; ++k)
            corners[k] = {camPos[tri[k]], def.smooth ? vertexColour[tri[k]] : faceColour};
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
    ForEachBand(frame.Height(), use.pool, [&](int firstRow, int endRow) {
        FillBackgroundRows(frame, background.top, background.bottom, kept, firstRow, endRow);
    });
    Lap(lap, spent.clearing);
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
        use.batch.Begin(frame);
        // Nodes are prepared a group at a time, one node per job, and a group is drawn before the
        // next is prepared: a scene of a million triangles needs no room for them all, and once
        // the work runs out nothing more is prepared.
        for (size_t first = 0, end = 0; first < drawable.size() && whole; first = end) {
            size_t triangles = 0;
            for (end = first; end < drawable.size() && triangles < kGroupTriangles; ++end)
                triangles += nodes[drawable[end]].mesh->triangles.size();
            if (use.prepared.size() < end - first)
                use.prepared.resize(end - first);
            use.pool.Run(static_cast<int>(end - first), [&](int k) {
                const int id = drawable[first + k];
                use.prepared[k].clear();
                PrepareNode(nodes[id], world[id], id, cam, lighting, frame, use.prepared[k]);
            });
            Lap(lap, spent.geometry);
            for (size_t k = 0; k < end - first && whole; ++k)
                for (const RasterTriangle& triangle : use.prepared[k]) {
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
    if (times)
        *times = spent;
    return whole;
}

}  // namespace orb
