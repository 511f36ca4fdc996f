#pragma once

#include "FrameBuffer.h"
#include "Scene.h"
#include "SceneRenderer.h"
#include "SessionOutput.h"

#include <map>
#include <set>
#include <string>

namespace orb {

// One applet being shown: loads its file and the files it names through the output's requests,
// keeps the animation clock, draws frames, and turns pointer input into camera turns and link
// navigation. It knows nothing of windows or of how resources travel.
class SceneSession {
public:
    static constexpr int kMaxRequestId = 1023;
    static constexpr int kMaxResources = 64;            // files named by an applet, includes nested
    static constexpr size_t kMaxFileBytes = 4u << 20;   // larger resources count as failed
    static_assert(kMaxResources + 1 <= kMaxRequestId, "every request needs an id of its own");

    explicit SceneSession(SessionOutput& output);

    // Asks for the applet itself; everything else follows from its contents.
    void Start(const std::string& appletName);
    void ResourceArrived(int id, const std::string& localPath);
    void ResourceFailed(int id);

    void AdvanceTime(double seconds);
    double Time() const { return time_; }

    void Resize(int width, int height);
    void RenderFrame();
    const FrameBuffer& Frame() const { return frame_; }

    // Pointer positions are in frame pixels. A press and release within a few pixels is a click
    // (following a link under it); a drag turns the camera about its target.
    void PointerMoved(int x, int y);
    void PointerPressed(int x, int y);
    void PointerReleased(int x, int y);

    const Scene& GetScene() const { return scene_; }
    const ViewAngles& View() const { return view_; }
    int PendingCount() const { return static_cast<int>(pending_.size()); }
    int MissingCount() const { return missing_; }
    const std::string& StatusText() const { return status_; }

private:
    enum class Kind { Applet, Include, MeshFile };
    struct Pending {
        std::string name;
        Kind kind;
    };

    void Request(const std::string& name, Kind kind);
    void RequestReferences(const SceneFile& file);
    void NoteErrors(const std::string& name, const std::vector<ParseError>& errors);
    void Loaded();
    void UpdateStatus();
    const ObjectDef* LinkAt(int x, int y) const;

    SessionOutput& output_;
    Scene scene_;
    FrameBuffer frame_;
    double time_ = 0;
    ViewAngles view_;

    std::string appletName_;
    std::map<int, Pending> pending_;
    std::set<std::string> requested_;  // lower-case names, each fetched once
    int nextId_ = 1;
    int missing_ = 0;
    bool appletFailed_ = false;
    int errorCount_ = 0;
    std::string firstError_;

    bool pressed_ = false;
    bool dragging_ = false;
    int pressX_ = 0, pressY_ = 0;
    ViewAngles pressView_;
    std::string hoverUrl_;
    std::string status_;
};

}  // namespace orb
