#include "Motion.h"
#include "RasterBatch.h"
#include "Scene.h"
#include "SceneRenderer.h"

#include <gtest/gtest.h>

#include <set>

using namespace orb;

namespace {

Scene MakeScene(const std::string& body)
{
    Scene scene;
    SceneFile file = ParseSceneText("orbolanth-scene 1\n" + body);
    EXPECT_TRUE(file.errors.empty()) << file.errors[0].line << ": " << file.errors[0].message;
    scene.SetApplet(std::move(file));
    scene.Resolve();
    return scene;
}

void ExpectNear(const Vec3& actual, const Vec3& expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-4);
    EXPECT_NEAR(actual.y, expected.y, 1e-4);
    EXPECT_NEAR(actual.z, expected.z, 1e-4);
}

int NodeIndex(const Scene& scene, const std::string& name)
{
    for (size_t i = 0; i < scene.Nodes().size(); ++i)
        if (scene.Nodes()[i].def->name == name)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST(Motion, SpinOrbitAndBobFollowTheClock)
{
    ObjectDef spin;
    spin.motion.spinSpeed = 90;
    ExpectNear(LocalTransform(spin, 0).Apply({1, 0, 0}), {1, 0, 0});
    ExpectNear(LocalTransform(spin, 1).Apply({1, 0, 0}), {0, 0, -1});  // right-handed about +Y
    ExpectNear(LocalTransform(spin, 4).Apply({1, 0, 0}), {1, 0, 0});
    ExpectNear(LocalTransform(spin, 4000001).Apply({1, 0, 0}), {0, 0, -1});  // long runs stay exact

    ObjectDef orbit;
    orbit.position = {0, 1, 0};
    orbit.motion.orbitRadius = 2;
    orbit.motion.orbitPeriod = 4;
    ExpectNear(LocalTransform(orbit, 0).Apply({}), {2, 1, 0});
    ExpectNear(LocalTransform(orbit, 1).Apply({}), {0, 1, -2});
    ExpectNear(LocalTransform(orbit, 2).Apply({}), {-2, 1, 0});
    orbit.motion.orbitPhase = 90;
    ExpectNear(LocalTransform(orbit, 0).Apply({}), {0, 1, -2});

    ObjectDef bob;
    bob.motion.bobHeight = 0.5f;
    bob.motion.bobPeriod = 2;
    ExpectNear(LocalTransform(bob, 0.5).Apply({}), {0, 0.5f, 0});
    ExpectNear(LocalTransform(bob, 1.5).Apply({}), {0, -0.5f, 0});

    ObjectDef still;
    still.motion.orbitRadius = 1;  // period 0: no movement
    ExpectNear(LocalTransform(still, 0).Apply({}), LocalTransform(still, 3).Apply({}));
}

TEST(Motion, ChildrenFollowTheirParentsTransform)
{
    Scene scene = MakeScene("object hub\n spin 0 1 0 90\n position 0 0 -1\nend\n"
                            "object arm\n parent hub\n position 2 0 0\n scale 2\nend\n");
    auto world = scene.WorldTransforms(1);
    int arm = NodeIndex(scene, "arm");
    ExpectNear(world[arm].Apply({}), {0, 0, -3});
    ExpectNear(world[arm].Apply({1, 0, 0}), {0, 0, -5});  // scaled, then turned with the hub
}

TEST(Motion, UnknownParentsAndCyclesLeaveObjectsOut)
{
    Scene scene = MakeScene("mesh b box 1\n"
                            "object lost b\n parent nowhere\nend\n"
                            "object child b\n parent lost\nend\n"
                            "object a b\n parent c\nend\n"
                            "object c b\n parent a\nend\n"
                            "object self b\n parent self\nend\n"
                            "object fine b\nend\n");
    EXPECT_EQ(scene.DrawableCount(), 1);
    for (const SceneNode& node : scene.Nodes())
        EXPECT_EQ(node.placed, node.def->name == "fine") << node.def->name;
    FrameBuffer frame;
    frame.Resize(64, 48);
    RenderScene(scene, scene.Camera(), 0, {}, frame);  // must not hang or touch the unplaced nodes
}

TEST(Picking, ReportsTheObjectUnderAPixelAndItsLink)
{
    Scene scene = MakeScene("camera 0 0 10 fov 40\n"
                            "mesh cube box 1.5\n"
                            "object left cube\n position -2.5 0 0\nend\n"
                            "object sign\n link \"_blank\" \"http://example.com/\"\nend\n"
                            "object right cube\n parent sign\n position 2.5 0 0\nend\n"
                            "object hidden cube\n position -2.5 0 -3\nend\n");
    FrameBuffer frame;
    frame.Resize(200, 150);
    RenderScene(scene, scene.Camera(), 0, {}, frame);
    // x = +-2.5 at distance 10 with a 40 degree view: 75 / tan(20) * 0.25 = 51.5 px off centre.
    int left = frame.IdAt(100 - 51, 75), right = frame.IdAt(100 + 51, 75);
    EXPECT_EQ(left, NodeIndex(scene, "left"));  // in front of "hidden", whatever the order
    EXPECT_EQ(right, NodeIndex(scene, "right"));
    EXPECT_EQ(frame.IdAt(100, 75), -1);
    EXPECT_EQ(frame.IdAt(100, 5), -1);
    EXPECT_EQ(scene.LinkOf(left), nullptr);
    ASSERT_NE(scene.LinkOf(right), nullptr);
    EXPECT_EQ(scene.LinkOf(right)->linkUrl, "http://example.com/");
    EXPECT_EQ(scene.LinkOf(-1), nullptr);
    // Background pixels keep the gradient; drawn pixels do not.
    EXPECT_NE(frame.PixelAt(100 - 51, 75), frame.PixelAt(100, 75));
}

TEST(Picking, FollowsMovingObjects)
{
    Scene scene = MakeScene("camera 0 0 10 fov 40\nmesh ball sphere 0.6\n"
                            "object moon ball\n orbit 2.5 4\nend\n");
    FrameBuffer frame;
    frame.Resize(200, 150);
    RenderScene(scene, scene.Camera(), 0, {}, frame);
    EXPECT_EQ(frame.IdAt(151, 75), 0);
    EXPECT_EQ(frame.IdAt(49, 75), -1);
    RenderScene(scene, scene.Camera(), 2, {}, frame);  // half a turn later it is on the other side
    EXPECT_EQ(frame.IdAt(151, 75), -1);
    EXPECT_EQ(frame.IdAt(49, 75), 0);
}

TEST(SceneRendering, FlatShadingShowsFacetsAndSmoothShadingBlends)
{
    auto coloursOf = [](const char* shading) {
        Scene scene = MakeScene(std::string("camera 0 0 5\nmesh ball sphere 1.5 detail 1\n"
                                            "object ball ball\n specular 0\n shading ") +
                                shading + "\nend\n");
        FrameBuffer frame;
        frame.Resize(160, 120);
        RenderScene(scene, scene.Camera(), 0, {}, frame);
        std::set<uint32_t> colours;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                if (frame.IdAt(x, y) == 0)
                    colours.insert(frame.PixelAt(x, y));
        return colours.size();
    };
    size_t flat = coloursOf("flat"), smooth = coloursOf("smooth");
    EXPECT_LE(flat, 80u);  // at most one colour per face
    EXPECT_GT(flat, 10u);
    EXPECT_GT(smooth, 4 * flat);
}

TEST(SceneRendering, ObjectsAcrossTheNearPlaneAreClippedNotLost)
{
    // A long slab passes under the camera and on behind it: the part in view is still drawn.
    Scene scene = MakeScene("camera 0 0 2\nmesh slab box 1 1 20\nobject slab slab\n position 0 -1 0\nend\n");
    FrameBuffer frame;
    frame.Resize(80, 60);
    RenderScene(scene, scene.Camera(), 0, {}, frame);
    EXPECT_EQ(frame.IdAt(40, 59), 0);
    EXPECT_EQ(frame.IdAt(40, 5), -1);
}

TEST(SceneRendering, AFaceProjectedFarOutsideTheViewIsSkipped)
{
    // Legal coordinates through the narrowest camera from close by land some 1e10 pixels away.
    Scene scene = MakeScene("camera 0 0 1 fov 5\n"
                            "mesh sliver\n"
                            " vertex 999999 -1 0.9\n vertex 1000000 -1 0.9\n vertex 999999 1 0.9\n"
                            " face 0 1 2\n"
                            "end\n"
                            "mesh near box 0.01\n"
                            "object sliver sliver\nend\n"
                            "object near near\n position 0 0 0.5\nend\n");
    FrameBuffer frame;
    frame.Resize(64, 48);
    RenderScene(scene, scene.Camera(), 0, {}, frame);
    std::set<int> ids;
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            ids.insert(frame.IdAt(x, y));
    EXPECT_EQ(ids, (std::set<int>{-1, NodeIndex(scene, "near")}));
}

TEST(SceneRendering, LightingDependsOnTheSideFacingTheLight)
{
    Scene scene = MakeScene("camera 0 0 6\nambient #000000\nlight 1 0 0.3 #ffffff\n"
                            "mesh ball sphere 1.5 detail 3\nobject ball ball\n colour #ffffff\n specular 0\nend\n");
    FrameBuffer frame;
    frame.Resize(120, 120);
    RenderScene(scene, scene.Camera(), 0, {}, frame);
    Vec3 litSide = UnpackColour(frame.PixelAt(85, 60)), darkSide = UnpackColour(frame.PixelAt(35, 60));
    EXPECT_GT(litSide.x, 0.5f);
    EXPECT_LT(darkSide.x, 0.05f);
    EXPECT_EQ(frame.IdAt(35, 60), 0);
}

TEST(SceneRendering, ThreadsDrawTheSamePictureAsOne)
{
    // Smooth and flat objects overlapping in depth, one crossing the near plane, and a torus of
    // more triangles than a batch holds, so that several batches go through the bands.
    Scene scene = MakeScene("camera 0 1 6 fov 50\nlight 1 1 1 #ffffff\n"
                            "mesh ring torus 2 0.4 segments 160 40\nmesh ball sphere 1 detail 3\n"
                            "mesh slab box 1 1 20\n"
                            "object ring ring\n spin 1 1 0 30\nend\n"
                            "object ball ball\n shading smooth\n orbit 1.5 3\nend\n"
                            "object cube slab\n shading flat\n position 0 -1 0\nend\n");
    for (auto size : {std::make_pair(173, 101), std::make_pair(640, 360)}) {
        for (double seconds : {0.0, 1.3}) {
            FrameBuffer alone, shared;
            alone.Resize(size.first, size.second);
            shared.Resize(size.first, size.second);
            RenderWorkers workers(3);
            RenderScene(scene, scene.Camera(), seconds, {}, alone);
            // Twice on the same frame: the second puts the background back only where the first drew.
            RenderScene(scene, scene.Camera(), seconds + 0.4, {}, shared, nullptr, &workers);
            RenderScene(scene, scene.Camera(), seconds, {}, shared, nullptr, &workers);
            int differing = 0;
            for (int y = 0; y < size.second; ++y)
                for (int x = 0; x < size.first; ++x)
                    differing += alone.PixelAt(x, y) != shared.PixelAt(x, y) ||
                                 alone.IdAt(x, y) != shared.IdAt(x, y) || alone.DepthAt(x, y) != shared.DepthAt(x, y);
            EXPECT_EQ(differing, 0) << size.first << "x" << size.second << " at " << seconds;
            EXPECT_NE(alone.IdAt(size.first / 2, size.second / 2), -1);
        }
    }
}
