#include "SceneText.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

using namespace orb;

namespace {

const char kFullScene[] = R"(orbolanth-scene 1
// comment line
background #102030 #000000   // trailing comment
camera 1 2 8 target 0 1 0 fov 50
ambient #202020
light -1 2 3 #ffeedd
light 0 -1 0
include "models/ring.obv"
mesh cube box 1 2 3
mesh ball sphere 0.5 detail 1
mesh can cylinder 1 2 segments 8
mesh donut torus 2 0.5 segments 12 6
mesh rock file "models/moon rock.obv"
mesh tri
  vertex 0 0 0
  vertex 1 0 0
  vertex 1 1 0
  vertex 0 1 0
  face 0 1 2 3
end
object planet ball
  colour #ff8000
  shading flat
  specular 0.5 shininess 10
  position 1 2 3
  rotate 0 0 1 20
  scale 1 0.5 2
  spin 0 1 0 30
  orbit 3 12 axis 0 1 1 phase 90
  bob 0.25 4
  parent sun
  link "_blank" "http://example.com/a b"
end
object pivot
end
)";

}  // namespace

TEST(SceneText, ReadsEveryStatementOfAWellFormedScene)
{
    SceneFile file = ParseSceneText(kFullScene);
    ASSERT_TRUE(file.errors.empty()) << file.errors[0].line << ": " << file.errors[0].message;

    ASSERT_TRUE(file.background && file.camera && file.ambient);
    EXPECT_NEAR(file.background->top.x, 0x10 / 255.0, 1e-6);
    EXPECT_NEAR(file.background->top.z, 0x30 / 255.0, 1e-6);
    EXPECT_FLOAT_EQ(file.camera->eye.y, 2);
    EXPECT_FLOAT_EQ(file.camera->target.y, 1);
    EXPECT_FLOAT_EQ(file.camera->fov, 50);
    ASSERT_EQ(file.lights.size(), 2u);
    EXPECT_FLOAT_EQ(file.lights[1].colour.x, 1);  // white when no colour is given

    ASSERT_EQ(file.meshes.size(), 6u);
    EXPECT_EQ(file.meshes[0].mesh->triangles.size(), 12u);
    EXPECT_EQ(file.meshes[1].mesh->triangles.size(), 80u);       // icosahedron once subdivided
    EXPECT_EQ(file.meshes[2].mesh->triangles.size(), 8u * 4);    // sides and two caps
    EXPECT_EQ(file.meshes[3].mesh->triangles.size(), 12u * 6 * 2);
    EXPECT_FALSE(file.meshes[4].mesh);
    EXPECT_EQ(file.meshes[4].file, "models/moon rock.obv");
    ASSERT_TRUE(file.meshes[5].mesh);
    EXPECT_EQ(file.meshes[5].mesh->triangles.size(), 2u);  // a quad becomes a fan of two
    EXPECT_EQ(file.meshes[5].mesh->normals.size(), 4u);
    EXPECT_NEAR(file.meshes[5].mesh->normals[0].z, 1, 1e-6);

    ASSERT_EQ(file.objects.size(), 2u);
    const ObjectDef& p = file.objects[0];
    EXPECT_EQ(p.name, "planet");
    EXPECT_EQ(p.mesh, "ball");
    EXPECT_EQ(p.line, 21);
    EXPECT_FALSE(p.smooth);
    EXPECT_FLOAT_EQ(p.specular, 0.5f);
    EXPECT_FLOAT_EQ(p.shininess, 10);
    EXPECT_FLOAT_EQ(p.position.z, 3);
    EXPECT_FLOAT_EQ(p.rotateDegrees, 20);
    // Three scale values keep their order: x, y, z.
    EXPECT_FLOAT_EQ(p.scale.x, 1);
    EXPECT_FLOAT_EQ(p.scale.y, 0.5f);
    EXPECT_FLOAT_EQ(p.scale.z, 2);
    EXPECT_FLOAT_EQ(p.motion.spinSpeed, 30);
    EXPECT_FLOAT_EQ(p.motion.orbitRadius, 3);
    EXPECT_FLOAT_EQ(p.motion.orbitPeriod, 12);
    EXPECT_FLOAT_EQ(p.motion.orbitAxis.z, 1);
    EXPECT_FLOAT_EQ(p.motion.orbitPhase, 90);
    EXPECT_FLOAT_EQ(p.motion.bobHeight, 0.25f);
    EXPECT_EQ(p.parent, "sun");
    EXPECT_TRUE(p.isLink);
    EXPECT_EQ(p.linkTarget, "_blank");
    EXPECT_EQ(p.linkUrl, "http://example.com/a b");
    EXPECT_TRUE(file.objects[1].mesh.empty());

    auto refs = file.References();
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].name, "models/ring.obv");
    EXPECT_EQ(refs[0].line, 8);
    EXPECT_EQ(refs[1].name, "models/moon rock.obv");
    EXPECT_EQ(refs[1].line, 13);
}

TEST(SceneText, ReportsEachMalformedLineAndKeepsTheRest)
{
    const struct {
        const char* line;
        const char* messagePart;
    } cases[] = {
        {"frobnicate 1 2", "unknown statement"},
        {"camera 1 2", "missing eye coordinate"},
        {"camera 0 0 0 target 0 0 0", "must differ"},
        {"camera 0 0 5 fov 400", "field of view"},
        {"background #12345", "#rrggbb"},
        {"background #gg0000", "#rrggbb"},
        {"light 0 0 0", "axis must not be zero"},
        {"include models/ring.obv", "double quotes"},
        {"include \"unterminated", "unterminated"},
        {"mesh m sphere 1 detail 9", "detail"},
        {"mesh m sphere -1", "above zero"},
        {"mesh m box 1 nan 1", "expected height"},
        {"mesh m box 1e30", "out of range"},
        {"mesh m cone 1", "unknown mesh shape"},
        {"mesh m torus 2 0.5 segments 2 2", "segments"},
        {"end", "without an open"},
        {"object", "missing object name"},
        {"light 1 1 1 #ffffff extra", "unexpected 'extra'"},
    };
    for (const auto& c : cases) {
        std::string text = std::string("orbolanth-scene 1\nmesh good box 1\n") + c.line + "\nobject o good\nend\n";
        SceneFile file = ParseSceneText(text);
        ASSERT_EQ(file.errors.size(), 1u) << c.line;
        EXPECT_EQ(file.errors[0].line, 3) << c.line;
        EXPECT_NE(file.errors[0].message.find(c.messagePart), std::string::npos)
            << c.line << " -> " << file.errors[0].message;
        EXPECT_EQ(file.meshes.size(), 1u) << c.line;
        EXPECT_EQ(file.objects.size(), 1u) << c.line;
    }
}

TEST(SceneText, ReadsViewsOfNamedWindows)
{
    SceneFile file = ParseSceneText("orbolanth-scene 1\n"
                                    "camera 0 0 9\n"
                                    "VIEW \"overview\" Camera 0 12 0.5 target 0 1 0 fov 60\n"
                                    "view \"side window\" camera -7 0 0   // from the left\n"
                                    "view \"Overview\" camera 0 0 -9\n"  // window names keep their case
                                    "view \"overview\" camera 1 1 1\n"
                                    "view \"plain\" camera 0 0 0\n"
                                    "view \"\" camera 0 0 5\n"
                                    "view \"" + std::string(256, 'w') + "\" camera 0 0 5\n"
                                    "view unquoted camera 0 0 5\n"
                                    "view \"nocam\" 0 0 5\n"
                                    "view \"far\" camera 0 0 5 fov 2\n"
                                    "view \"extra\" camera 0 0 5 spin\n");
    ASSERT_EQ(file.views.size(), 3u);
    const CameraDef& top = file.views.at("overview");
    EXPECT_FLOAT_EQ(top.eye.y, 12);
    EXPECT_FLOAT_EQ(top.eye.z, 0.5f);
    EXPECT_FLOAT_EQ(top.target.y, 1);
    EXPECT_FLOAT_EQ(top.fov, 60);
    const CameraDef& side = file.views.at("side window");
    EXPECT_FLOAT_EQ(side.eye.x, -7);
    EXPECT_FLOAT_EQ(side.target.x, 0);  // the defaults of a camera statement
    EXPECT_FLOAT_EQ(side.fov, 45);
    EXPECT_FLOAT_EQ(file.views.at("Overview").eye.z, -9);
    ASSERT_TRUE(file.camera);
    EXPECT_FLOAT_EQ(file.camera->eye.z, 9);  // views leave the main camera alone

    const struct {
        int line;
        const char* messagePart;
    } errors[] = {
        {6, "already has a view"}, {7, "must differ"},          {8, "window name must have"},
        {9, "window name must have"}, {10, "double quotes"},     {11, "expected camera"},
        {12, "field of view"},     {13, "unexpected 'spin'"},
    };
    ASSERT_EQ(file.errors.size(), std::size(errors));
    for (size_t i = 0; i < std::size(errors); ++i) {
        EXPECT_EQ(file.errors[i].line, errors[i].line);
        EXPECT_NE(file.errors[i].message.find(errors[i].messagePart), std::string::npos)
            << errors[i].line << " -> " << file.errors[i].message;
    }
}

TEST(SceneText, ChecksBlocksAndFaceIndices)
{
    SceneFile file = ParseSceneText("orbolanth-scene 1\n"
                                    "mesh m\n"
                                    "vertex 0 0 0\n"
                                    "vertex 1 0 0\n"
                                    "face 0 1 2\n"       // vertex 2 not yet defined
                                    "face 0 1\n"         // too few corners
                                    "colour #ffffff\n"   // not a mesh statement
                                    "end\n"
                                    "object a m\n"
                                    "  shading shiny\n"
                                    "  link \"_top\" \"\"\n"
                                    "end\n"
                                    "object b\n"
                                    "  colour #00ff00\n");
    ASSERT_EQ(file.errors.size(), 7u);
    EXPECT_EQ(file.errors[0].line, 5);
    EXPECT_NE(file.errors[0].message.find("only 2 are defined"), std::string::npos);
    EXPECT_EQ(file.errors[1].line, 6);
    EXPECT_EQ(file.errors[2].line, 7);
    EXPECT_EQ(file.errors[3].line, 2);  // the mesh ended with no faces
    EXPECT_EQ(file.errors[4].line, 10);
    EXPECT_EQ(file.errors[5].line, 11);
    EXPECT_EQ(file.errors[6].line, 13);  // object b never ends: reported where it began
    EXPECT_TRUE(file.meshes.empty());
    ASSERT_EQ(file.objects.size(), 2u);
    EXPECT_FALSE(file.objects[0].isLink);
    EXPECT_FLOAT_EQ(file.objects[1].colour.y, 1);
}

TEST(SceneText, RejectsFilesWithoutTheirHeaderAsAWhole)
{
    SceneFile html = ParseSceneText("<html>\n<body>404 Not Found</body>\nobject x\n");
    ASSERT_EQ(html.errors.size(), 1u);
    EXPECT_EQ(html.errors[0].line, 1);
    EXPECT_TRUE(html.objects.empty());

    SceneFile empty = ParseSceneText("\n// nothing\n");
    ASSERT_EQ(empty.errors.size(), 1u);

    SceneFile future = ParseSceneText("orbolanth-scene 2\nobject x\nend\n");
    ASSERT_EQ(future.errors.size(), 1u);
    EXPECT_TRUE(future.objects.empty());

    MeshFile sceneAsMesh = ParseMeshText("orbolanth-scene 1\nvertex 0 0 0\n");
    ASSERT_EQ(sceneAsMesh.errors.size(), 1u);
    EXPECT_TRUE(sceneAsMesh.mesh.triangles.empty());
}

TEST(SceneText, ReadsMeshFiles)
{
    MeshFile tetra = ParseMeshText("orbolanth-mesh 1\r\n"
                                   "vertex 0 0 0\r\n"
                                   "vertex 1 0 0\r\n"
                                   "vertex 0 1 0\r\n"
                                   "vertex 0 0 1\r\n"
                                   "face 0 2 1\r\n"
                                   "face 0 1 3\r\n"
                                   "face 0 3 2\r\n"
                                   "face 1 2 3\r\n"
                                   "face 1 2 9\r\n");
    ASSERT_EQ(tetra.errors.size(), 1u);
    EXPECT_EQ(tetra.errors[0].line, 10);
    EXPECT_EQ(tetra.mesh.triangles.size(), 4u);
    // The corner at the origin is shared by three faces whose normals point away from the body.
    Vec3 n = tetra.mesh.normals[0];
    EXPECT_LT(n.x, 0);
    EXPECT_LT(n.y, 0);
    EXPECT_LT(n.z, 0);

    MeshFile noFaces = ParseMeshText("orbolanth-mesh 1\nvertex 0 0 0\n");
    ASSERT_EQ(noFaces.errors.size(), 1u);
    EXPECT_TRUE(noFaces.mesh.triangles.empty());
}

TEST(SceneText, SurvivesGarbageAndDamagedFiles)
{
    std::mt19937 random(1234);
    std::string valid = kFullScene;
    const char alphabet[] = "orbject mesh end \"#0123456789.-e\n\r\t/\\nanif box face vertex \x01\xff";
    for (int round = 0; round < 300; ++round) {
        std::string text = valid;
        int edits = 1 + random() % 20;
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % (text.size() + 1);
            switch (random() % 3) {
            case 0:
                text.insert(at, 1, alphabet[random() % (sizeof(alphabet) - 1)]);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1 + random() % 8);
                break;
            default:
                if (at < text.size())
                    text[at] = static_cast<char>(random());
                break;
            }
        }
        SceneFile file = ParseSceneText(text);
        for (const ParseError& err : file.errors) {
            EXPECT_GE(err.line, 1);
            EXPECT_FALSE(err.message.empty());
        }
        for (const MeshDef& m : file.meshes) {
            if (!m.mesh)
                continue;
            for (const auto& tri : m.mesh->triangles)
                for (int i : tri)
                    ASSERT_LT(static_cast<size_t>(i), m.mesh->positions.size());
        }
        MeshFile mesh = ParseMeshText("orbolanth-mesh 1\n" + text);
        for (const auto& tri : mesh.mesh.triangles)
            for (int i : tri)
                ASSERT_LT(static_cast<size_t>(i), mesh.mesh.positions.size());
    }
}
