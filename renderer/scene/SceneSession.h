#pragma once

#include "Scene.h"
#include "SceneView.h"
#include "SessionOutput.h"
#include "RasterBatch.h"
#include "base/LeadBytes.h"

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace orb {

// One applet being shown: loads its file and the files it names through the output's requests,
// keeps the animation clock, draws frames into the views of the windows that show it, and turns
// pointer input into camera turns and link navigation. It knows nothing of windows or of how
// resources travel.
class SceneSession {
public:
    static constexpr int kMaxRequestId = 1023;
    static constexpr int kMaxResources = 64;            // files named by an applet, includes nested
    static constexpr int kMaxIncludeDepth = 8;          // the applet is depth 0
    static constexpr size_t kMaxFileBytes = 4u << 20;   // larger resources count as failed
    static_assert(kMaxResources + 1 <= kMaxRequestId, "every request needs an id of its own");

    // Names are walked by the characters of `lead`'s code page (the renderer's ANSI one).
    explicit SceneSession(SessionOutput& output, const LeadBytes& lead = LeadBytes());

    // Asks for the applet itself; everything else follows from its contents.
    void Start(const std::string& appletName);
    // A file that arrived is read later, by LoadSlice.
    void ResourceArrived(int id, const std::string& localPath);
    void ResourceFailed(int id);
    // Reads a slice of the files that have arrived (FileReader), in the order they arrived; a file
    // joins the scene once it is read to its end. False when nothing is left to read, so a driver
    // calls it once a turn and keeps its windows answering while a large scene loads.
    bool LoadSlice();
    // Moves on each time a file joins the scene, so a driver knows when the picture is out of date.
    unsigned Revision() const { return revision_; }

    void AdvanceTime(double seconds);
    double Time() const { return time_; }

    // Draws the scene at the view's frame size as it stands now, on every core.
    void RenderFrame(SceneView& view);

    // Pointer positions are in pixels of the view's last frame. A press and release within a few
    // pixels is a click (following a link under it); a drag turns the view's camera about its
    // target. Moves and the release after a press belong to the view the press was in.
    void PointerMoved(SceneView& view, int x, int y);
    void PointerPressed(SceneView& view, int x, int y);
    void PointerReleased(const SceneView& view, int x, int y);
    // The pointer is over none of the views any more, or the view it pressed in has gone.
    void PointerLeft();

    const Scene& GetScene() const { return scene_; }
    int PendingCount() const { return static_cast<int>(pending_.size()); }
    int MissingCount() const { return missing_; }
    const std::string& StatusText() const { return status_; }

private:
    enum class Kind { Applet, Include, MeshFile };
    struct Pending {
        std::string name;
        Kind kind;
        int depth;  // of the file it names: the applet 0, what it includes 1, ...
        bool arrived = false;
    };
    struct Arrival {
        int id;
        std::string path;
        std::unique_ptr<FileReader> reader;  // none until its turn comes
    };

    void Request(const std::string& name, Kind kind, int depth);
    void RequestReferences(const SceneFile& file, int depth);
    void NoteLimit(const std::string& text);
    void FinishReading(Arrival& arrival);
    void NoteErrors(const std::string& name, const std::vector<ParseError>& errors);
    void Loaded();
    void UpdateStatus();
    const ObjectDef* LinkAt(const SceneView& view, int x, int y) const;
    void ShowHover(const ObjectDef* link);

    SessionOutput& output_;
    const LeadBytes lead_;
    Scene scene_;
    double time_ = 0;
    RenderWorkers workers_;  // draw the frames of every view

    std::string appletName_;
    std::map<int, Pending> pending_;  // until read to its end
    std::deque<Arrival> arrivals_;
    std::set<std::string> requested_;  // lower-case names, each fetched once
    int nextId_ = 1;
    unsigned revision_ = 0;
    int missing_ = 0;
    bool appletFailed_ = false;
    int errorCount_ = 0;
    std::string firstError_;
    std::string limitNote_;  // the first bound the applet ran into while loading
    bool cutShort_ = false;  // a frame left part of the scene out
    MeshBudget budget_;

    bool pressed_ = false;
    bool dragging_ = false;
    int pressX_ = 0, pressY_ = 0;
    ViewAngles pressAngles_;
    std::string hoverUrl_;
    std::string status_;
};

}  // namespace orb
