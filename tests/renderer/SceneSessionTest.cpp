#include "SceneSession.h"
#include "RequestWatch.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using namespace orb;

namespace {

class RecordingOutput : public SessionOutput {
public:
    void RequestResource(int id, const std::string& name) override
    {
        requests.push_back({id, name});
        idOf[name] = id;
    }
    void ResourceDone(int id) override { done.push_back(id); }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void Navigate(const std::string& target, const std::string& url) override
    {
        navigations.push_back(target + "|" + url);
    }

    std::vector<int> done;

    std::vector<std::pair<int, std::string>> requests;
    std::map<std::string, int> idOf;
    std::vector<std::string> statuses;
    std::vector<std::string> navigations;
};

const char kApplet[] = "orbolanth-scene 1\n"
                       "camera 0 0 10 fov 40\n"
                       "include \"parts/extra.obv\"\n"
                       "mesh cube box 1.5\n"
                       "mesh rock file \"parts/big rock.obv\"\n"
                       "object left cube\n position -2.5 0 0\nend\n"
                       "object boulder rock\n position 0 2 0\nend\n";
const char kExtra[] = "orbolanth-scene 1\n"
                      "include \"applet.obvm\"\n"  // a cycle back to the applet is fetched no more
                      "include \"parts/extra.obv\"\n"
                      "object right cube\n position 2.5 0 0\n link \"_blank\" \"http://example.com/x\"\nend\n";
const char kRock[] = "orbolanth-mesh 1\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nface 0 1 2\n";

class SceneSessionTest : public ::testing::Test {
protected:
    void Deliver(const std::string& name, const std::string& contents)
    {
        ASSERT_TRUE(out.idOf.count(name)) << name;
        session.ResourceArrived(out.idOf[name], files.Write("file" + std::to_string(++written), contents));
        ReadAll();
    }

    void ReadAll()
    {
        while (session.LoadSlice()) {
        }
    }

    TempFolder files;
    RecordingOutput out;
    SceneSession session{out};
    int written = 0;
};

}  // namespace

TEST_F(SceneSessionTest, LoadsTheAppletAndFetchesWhatItNamesByTheWrittenName)
{
    session.Start("applet.obvm");
    ASSERT_EQ(out.requests.size(), 1u);
    EXPECT_EQ(out.requests[0].first, 1);
    EXPECT_EQ(out.statuses.back(), "Orbolanth: loading applet.obvm...");

    Deliver("applet.obvm", kApplet);
    ASSERT_EQ(out.requests.size(), 3u);
    EXPECT_EQ(out.requests[1].second, "parts/extra.obv");
    EXPECT_EQ(out.requests[2].second, "parts/big rock.obv");
    EXPECT_EQ(session.GetScene().DrawableCount(), 1);  // drawn before the files arrive
    EXPECT_EQ(out.statuses.back(), "Orbolanth: applet.obvm - 1 object, loading 2 files");
    SceneView view;
    view.frame.Resize(200, 150);
    session.RenderFrame(view);
    EXPECT_EQ(view.frame.IdAt(49, 75), 0);

    Deliver("parts/extra.obv", kExtra);
    EXPECT_EQ(out.requests.size(), 3u);  // neither the applet nor the include is asked for again
    EXPECT_EQ(session.GetScene().DrawableCount(), 2);
    Deliver("parts/big rock.obv", kRock);
    EXPECT_EQ(session.GetScene().DrawableCount(), 3);
    EXPECT_EQ(session.PendingCount(), 0);
    EXPECT_EQ(out.statuses.back(), "Orbolanth: applet.obvm - 3 objects");
}

// The deliverer may delete a file once it hears it is done with, so that must come only
// after the file was read, whatever became of the read.
TEST_F(SceneSessionTest, AFileIsDoneWithOnlyOnceRead)
{
    session.Start("applet.obvm");
    const int applet = out.idOf["applet.obvm"];
    session.ResourceArrived(applet, files.Write("applet", kApplet));
    EXPECT_TRUE(out.done.empty());
    ReadAll();
    EXPECT_EQ(out.done, std::vector<int>{applet});

    const int extra = out.idOf["parts/extra.obv"], rock = out.idOf["parts/big rock.obv"];
    session.ResourceArrived(rock, files.Path() + "\\no such file");
    session.ResourceArrived(extra, files.Write("extra", kExtra));
    session.ResourceArrived(extra, files.Write("again", kExtra));  // its first file is still to read
    session.ResourceArrived(999, files.Write("stray", kRock));      // nobody asked: done at once
    EXPECT_EQ(out.done, (std::vector<int>{applet, 999}));
    ReadAll();
    EXPECT_EQ(out.done, (std::vector<int>{applet, 999, rock, extra}));
}

TEST_F(SceneSessionTest, MissingFilesAndErrorsShowInTheStatusAndTheRestStillRenders)
{
    session.Start("http://host/applets/applet.obvm?x=1");
    Deliver("http://host/applets/applet.obvm?x=1",
            std::string(kApplet) + "object broken cube\n colour red\nend\n");
    session.ResourceFailed(out.idOf["parts/extra.obv"]);
    session.ResourceArrived(out.idOf["parts/big rock.obv"], files.Path() + "\\no such file");
    ReadAll();
    EXPECT_EQ(session.MissingCount(), 2);
    EXPECT_EQ(session.GetScene().DrawableCount(), 2);  // left and broken; the rock never came
    EXPECT_EQ(out.statuses.back(),
              "Orbolanth: applet.obvm - 2 objects, 2 files missing, 1 error (applet.obvm line 13: "
              "expected colour #rrggbb, found 'red')");
    // Answers for ids that nobody waits for change nothing.
    const unsigned revision = session.Revision();
    session.ResourceFailed(out.idOf["parts/extra.obv"]);
    session.ResourceArrived(999, files.Write("stray", kExtra));
    ReadAll();
    EXPECT_EQ(session.MissingCount(), 2);
    EXPECT_EQ(session.GetScene().DrawableCount(), 2);
    EXPECT_EQ(session.Revision(), revision);
}

TEST_F(SceneSessionTest, AnAppletThatCannotBeLoadedSaysSo)
{
    session.Start("applet.obvm");
    session.ResourceFailed(1);
    EXPECT_EQ(out.statuses.back(), "Orbolanth: could not load applet.obvm");
    SceneView view;
    view.frame.Resize(40, 30);
    session.RenderFrame(view);
    EXPECT_EQ(view.frame.IdAt(20, 15), -1);
}

TEST(SceneSessionNames, AreCutAtTheirLastSeparatorByCharacter)
{
    // Code page 932: the second byte of U+8868 is a backslash.
    LeadBytes lead;
    lead.AddRange(0x81, 0x9F);
    lead.AddRange(0xE0, 0xFC);
    RecordingOutput out;
    SceneSession session(out, lead);
    session.Start("dir\\\x95\x5C.obvm");
    session.ResourceFailed(1);
    EXPECT_EQ(out.statuses.back(), "Orbolanth: could not load \x95\x5C.obvm");
}

TEST_F(SceneSessionTest, RequestIdsStayWithinRangeAndAreNotReusedWhileWaiting)
{
    std::string applet = "orbolanth-scene 1\n";
    for (int i = 0; i < 100; ++i)
        applet += "include \"part" + std::to_string(i) + ".obv\"\n";
    session.Start("applet.obvm");
    Deliver("applet.obvm", applet);
    // The applet and at most kMaxResources more; the rest count as missing.
    ASSERT_EQ(out.requests.size(), 1u + SceneSession::kMaxResources);
    EXPECT_EQ(session.MissingCount(), 100 - SceneSession::kMaxResources);
    std::set<int> waiting;
    for (size_t i = 1; i < out.requests.size(); ++i) {
        int id = out.requests[i].first;
        EXPECT_GE(id, 1);
        EXPECT_LE(id, SceneSession::kMaxRequestId);
        EXPECT_TRUE(waiting.insert(id).second) << id;
    }
}

TEST_F(SceneSessionTest, ClicksFollowLinksAndDragsTurnTheView)
{
    session.Start("applet.obvm");
    Deliver("applet.obvm", kApplet);
    Deliver("parts/extra.obv", kExtra);
    SceneView view;
    view.frame.Resize(200, 150);
    session.RenderFrame(view);

    session.PointerMoved(view, 151, 75);
    EXPECT_EQ(out.statuses.back(), "http://example.com/x");
    session.PointerMoved(view, 100, 140);
    EXPECT_EQ(out.statuses.back().rfind("Orbolanth: applet.obvm", 0), 0u);

    session.PointerPressed(view, 49, 75);  // not a link
    session.PointerReleased(view, 49, 75);
    EXPECT_TRUE(out.navigations.empty());
    session.PointerPressed(view, 151, 75);
    session.PointerMoved(view, 153, 76);  // a small wobble is still a click
    session.PointerReleased(view, 153, 76);
    ASSERT_EQ(out.navigations.size(), 1u);
    EXPECT_EQ(out.navigations[0], "_blank|http://example.com/x");

    std::vector<int> before;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            before.push_back(view.frame.IdAt(x, y));
    session.PointerPressed(view, 151, 75);
    session.PointerMoved(view, 121, 75);
    session.PointerReleased(view, 121, 75);
    EXPECT_EQ(out.navigations.size(), 1u);  // a drag is not a click
    EXPECT_NEAR(view.angles.yaw, 0.3f, 1e-5);
    session.RenderFrame(view);
    int changed = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            changed += view.frame.IdAt(x, y) != before[y * 200 + x];
    EXPECT_GT(changed, 200);  // the cubes moved across the frame as the view turned
}

TEST_F(SceneSessionTest, EachWindowHasItsOwnViewCameraAndPointer)
{
    // "behind" looks from the other side, so left and right swap places; a view given in an
    // included file does not count, and window names compare exactly.
    session.Start("applet.obvm");
    Deliver("applet.obvm", std::string(kApplet) + "view \"behind\" camera 0 0 -10 fov 40\n");
    Deliver("parts/extra.obv", std::string(kExtra) + "view \"other\" camera 0 0 -10 fov 40\n");
    const int left = 0, right = 2;  // node numbers: the applet's objects first
    SceneView main, behind, other, wrongCase;
    behind.windowName = "behind";
    other.windowName = "other";
    wrongCase.windowName = "Behind";
    for (SceneView* view : {&main, &behind, &other, &wrongCase}) {
        view->frame.Resize(200, 150);
        session.RenderFrame(*view);
    }
    EXPECT_EQ(main.frame.IdAt(49, 75), left);
    EXPECT_EQ(main.frame.IdAt(151, 75), right);
    EXPECT_EQ(behind.frame.IdAt(49, 75), right);
    EXPECT_EQ(behind.frame.IdAt(151, 75), left);
    for (const SceneView* view : {&other, &wrongCase})
        for (int x : {49, 151})
            EXPECT_EQ(view->frame.IdAt(x, 75), main.frame.IdAt(x, 75)) << view->windowName << " " << x;

    // Hovering and clicking pick from the frame of the window the pointer is in.
    session.PointerMoved(behind, 49, 75);
    EXPECT_EQ(out.statuses.back(), "http://example.com/x");
    session.PointerLeft();
    EXPECT_EQ(out.statuses.back().rfind("Orbolanth: applet.obvm", 0), 0u);
    session.PointerPressed(behind, 49, 75);
    session.PointerReleased(behind, 49, 75);
    ASSERT_EQ(out.navigations.size(), 1u);
    session.PointerPressed(main, 49, 75);
    session.PointerReleased(main, 49, 75);
    EXPECT_EQ(out.navigations.size(), 1u);

    // A drag turns only the camera of its own window; a press cut short by PointerLeft is no click.
    session.PointerPressed(behind, 100, 75);
    session.PointerMoved(behind, 60, 75);
    session.PointerReleased(behind, 60, 75);
    EXPECT_NEAR(behind.angles.yaw, 0.4f, 1e-5);
    EXPECT_EQ(main.angles.yaw, 0);
    session.PointerPressed(behind, 49, 75);
    session.PointerLeft();
    session.PointerReleased(behind, 49, 75);
    EXPECT_EQ(out.navigations.size(), 1u);
}

TEST_F(SceneSessionTest, TheClockOnlyMovesForward)
{
    session.AdvanceTime(0.5);
    session.AdvanceTime(-3);
    session.AdvanceTime(0.25);
    EXPECT_DOUBLE_EQ(session.Time(), 0.75);
}

TEST_F(SceneSessionTest, MeshesOfAllFilesShareOneBudgetAndTheRestOfTheSceneStays)
{
    // 4 KB of legal statements: 113 tori of the largest size would hold some 180 MB.
    std::string applet = "orbolanth-scene 1\nmesh cube box 1\nobject cube cube\nend\n";
    for (int i = 0; i < 113; ++i)
        applet += "mesh t" + std::to_string(i) + " torus 3 1 segments 256 128\n";
    applet += "object ring t0\nend\nobject late t20\nend\ninclude \"more.obv\"\n";
    session.Start("applet.obvm");
    Deliver("applet.obvm", applet);
    Deliver("more.obv", "orbolanth-scene 1\nmesh small sphere 1 detail 0\nobject small small\nend\n");

    // Fifteen tori fit beside the cube; the sixteenth (line 20) is the first left out, and so is
    // every torus after it, while the small sphere of the include still fits.
    EXPECT_EQ(session.GetScene().DrawableCount(), 3);
    EXPECT_LT(session.GetScene().MeshBytes(), size_t{32} << 20);
    EXPECT_EQ(out.statuses.back(),
              "Orbolanth: applet.obvm - 3 objects, too large: applet.obvm line 20: mesh 't15' left out: the "
              "applet's meshes may hold 1048576 triangles and 524288 vertices in all");
    SceneView view;
    view.frame.Resize(80, 60);
    session.RenderFrame(view);
    EXPECT_EQ(view.frame.IdAt(40, 30), 1);  // the near side of the ring, in front of the cube
}

TEST_F(SceneSessionTest, ObjectsPastTheDrawingBoundAreLeftOut)
{
    // One mesh of 65536 triangles drawn by forty objects: the first two are drawn.
    std::string applet = "orbolanth-scene 1\nmesh t torus 3 1 segments 256 128\n";
    for (int i = 0; i < 40; ++i)
        applet += "object o" + std::to_string(i) + " t\nend\n";
    session.Start("applet.obvm");
    Deliver("applet.obvm", applet);
    EXPECT_EQ(session.GetScene().DrawableCount(), int{Scene::kMaxDrawnTriangles / 65536});
    EXPECT_EQ(out.statuses.back(),
              "Orbolanth: applet.obvm - 2 objects, too large: objects past 131072 triangles in all are left out");
}

TEST_F(SceneSessionTest, FramesStopWhenTheirPixelWorkRunsOut)
{
    // A thousand boxes filling the view: far more pixels than a frame may examine.
    std::string applet = "orbolanth-scene 1\ncamera 0 0 3 fov 90\nmesh b box 2\n";
    for (int i = 0; i < 1000; ++i)
        applet += "object o" + std::to_string(i) + " b\nend\n";
    session.Start("applet.obvm");
    Deliver("applet.obvm", applet);
    EXPECT_EQ(out.statuses.back(), "Orbolanth: applet.obvm - 1000 objects");
    SceneView view;
    view.frame.Resize(200, 150);
    session.RenderFrame(view);
    EXPECT_EQ(view.frame.IdAt(100, 75), 0);  // the first box is there
    EXPECT_EQ(out.statuses.back(),
              "Orbolanth: applet.obvm - 1000 objects, too large: frames leave part of the scene out");
}

TEST_F(SceneSessionTest, IncludesEndAtTheirDepthAndCyclesAreFetchedOnce)
{
    session.Start("applet.obvm");
    Deliver("applet.obvm", "orbolanth-scene 1\nmesh b box 1\ninclude \"i1.obv\"\nobject a b\nend\n");
    for (int depth = 1; depth <= SceneSession::kMaxIncludeDepth; ++depth) {
        std::string name = "i" + std::to_string(depth) + ".obv";
        Deliver(name, "orbolanth-scene 1\ninclude \"applet.obvm\"\ninclude \"" + name + "\"\ninclude \"i" +
                          std::to_string(depth + 1) + ".obv\"\nobject o" + name + " b\nend\n");
    }
    EXPECT_EQ(out.requests.size(), 1u + SceneSession::kMaxIncludeDepth);
    EXPECT_EQ(session.PendingCount(), 0);
    EXPECT_EQ(session.GetScene().DrawableCount(), 1 + SceneSession::kMaxIncludeDepth);
    EXPECT_EQ(out.statuses.back(),
              "Orbolanth: applet.obvm - 9 objects, 1 file missing, too large: includes nest deeper than 8 at i9.obv");
}

TEST_F(SceneSessionTest, ALongFileIsReadASliceAtATimeAndJoinsTheSceneWhenRead)
{
    std::string applet = "orbolanth-scene 1\nmesh b box 1\nobject a b\n";
    for (size_t i = 0; i < 3 * FileReader::kSliceLines; ++i)
        applet += " position 0 0 0\n";
    applet += "end\n";
    session.Start("applet.obvm");
    session.ResourceArrived(1, files.Write("applet", applet));
    session.ResourceArrived(1, files.Write("again", "orbolanth-scene 1\n"));  // a second answer is ignored
    const unsigned before = session.Revision();
    int slices = 1;
    while (session.LoadSlice()) {
        EXPECT_FALSE(session.GetScene().HasApplet());
        EXPECT_EQ(out.statuses.back(), "Orbolanth: loading applet.obvm...");
        EXPECT_EQ(session.Revision(), before);
        ++slices;
    }
    EXPECT_EQ(slices, 5);  // the box's mesh ends the first slice
    EXPECT_EQ(session.Revision(), before + 1);  // the picture changes once, when the file joins
    EXPECT_EQ(session.GetScene().DrawableCount(), 1);
    EXPECT_EQ(out.statuses.back(), "Orbolanth: applet.obvm - 1 object");
    EXPECT_FALSE(session.LoadSlice());
}

// The block driver's loading poll, turn by turn every 2 ms: a file: name stays requested (2)
// for ever and a delivery may never come, so the poll ends a few seconds after the last
// thing that moved and starts again with the next.
TEST(RequestWatch, TheLoadingPollLastsOnlyWhileRequestsMove)
{
    RequestWatch watch;
    EXPECT_FALSE(watch.Loading(0, false));
    watch.Queued(0);
    EXPECT_TRUE(watch.Loading(0, true)) << "a request waiting for a slot is on its way too";

    watch.Posted(3, 1000);
    uint32_t lastFast = 0;
    for (uint32_t now = 1000; now < 1000 + 600000; now += 2) {
        watch.Saw(3, now < 1010 ? 0 : 2, now);  // the plug-in took it at 1010
        if (watch.Loading(now, false)) lastFast = now;
    }
    EXPECT_GE(lastFast, 1010 + ProgressWatch::kStallMs - 2);
    EXPECT_LT(lastFast, 1010 + ProgressWatch::kStallMs);

    watch.Saw(3, 2, 700000);
    EXPECT_FALSE(watch.Loading(700000, false)) << "a word that stays as it was is no progress";
    watch.Saw(3, 3, 700002);
    EXPECT_TRUE(watch.Loading(700002, false));
    EXPECT_FALSE(watch.Loading(700002 + ProgressWatch::kStallMs, false));
    watch.Posted(4, 800000);
    EXPECT_TRUE(watch.Loading(800000, false));

    EXPECT_TRUE(watch.End(3, 800010));
    EXPECT_FALSE(watch.End(3, 800010));
    EXPECT_TRUE(watch.End(4, 800012));
    EXPECT_FALSE(watch.Loading(800014, false)) << "nothing left on its way";
}
