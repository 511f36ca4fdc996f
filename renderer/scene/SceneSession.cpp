#include "SceneSession.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "base/AsciiCase.h"

namespace orb {

namespace {

constexpr int kClickSlop = 4;          // pixels a press may move and still count as a click
constexpr float kTurnPerPixel = 0.01f;  // radians

bool ReadWholeFile(const std::string& path, size_t limit, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<unsigned long long>(size) > limit)
        return false;
    in.seekg(0, std::ios::beg);
    out.resize(static_cast<size_t>(size));
    return static_cast<bool>(in.read(&out[0], size)) || size == 0;
}

// The last part of a name or URL, for messages.
std::string DisplayName(const std::string& name, const LeadBytes& lead)
{
    std::string s = name.substr(0, name.find_first_of("?#"));
    size_t slash = lead.LastSeparator(s);
    s = slash == std::string::npos ? s : s.substr(slash + 1);
    return s.empty() ? name : s;
}

std::string Plural(int n, const char* word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

SceneSession::SceneSession(SessionOutput& output, const LeadBytes& lead) : output_(output), lead_(lead) {}

void SceneSession::Start(const std::string& appletName)
{
    appletName_ = appletName;
    Request(appletName, Kind::Applet, 0);
    UpdateStatus();
}

void SceneSession::Request(const std::string& name, Kind kind, int depth)
{
    std::string key = AsciiLowerCase(name);
    if (requested_.count(key))
        return;
    if (kind == Kind::Include && depth > kMaxIncludeDepth) {
        NoteLimit("includes nest deeper than " + std::to_string(kMaxIncludeDepth) + " at " + DisplayName(name, lead_));
        ++missing_;
        return;
    }
    requested_.insert(key);
    if (kind != Kind::Applet && static_cast<int>(requested_.size()) > kMaxResources + 1) {
        NoteLimit("an applet may name " + std::to_string(kMaxResources) + " files");
        ++missing_;
        return;
    }
    // A session never asks for more than kMaxResources + 1 files, so ids need no reuse.
    int id = nextId_++;
    pending_[id] = {name, kind, depth};
    output_.RequestResource(id, name);
}

void SceneSession::RequestReferences(const SceneFile& file, int depth)
{
    for (const FileReference& ref : file.includes)
        Request(ref.name, Kind::Include, depth + 1);
    for (const MeshDef& mesh : file.meshes)
        if (!mesh.file.empty())
            Request(mesh.file, Kind::MeshFile, depth + 1);
}

void SceneSession::NoteLimit(const std::string& text)
{
    if (limitNote_.empty())
        limitNote_ = text;
}

void SceneSession::NoteErrors(const std::string& name, const std::vector<ParseError>& errors)
{
    for (const ParseError& error : errors) {
        std::string text = DisplayName(name, lead_) + " line " + std::to_string(error.line) + ": " + error.message;
        if (error.limit) {
            NoteLimit(text);
            continue;
        }
        if (errorCount_++ == 0)
            firstError_ = text;
    }
}

void SceneSession::ResourceArrived(int id, const std::string& localPath)
{
    auto it = pending_.find(id);
    if (it == pending_.end()) {
        output_.ResourceDone(id);
        return;
    }
    // A second arrival under the same id: the first one's file is still to be read.
    if (it->second.arrived)
        return;
    it->second.arrived = true;
    arrivals_.push_back({id, localPath, nullptr});
}

void SceneSession::ResourceFailed(int id)
{
    auto it = pending_.find(id);
    if (it == pending_.end() || it->second.arrived)
        return;
    appletFailed_ = appletFailed_ || it->second.kind == Kind::Applet;
    pending_.erase(it);
    ++missing_;
    UpdateStatus();
}

bool SceneSession::LoadSlice()
{
    if (arrivals_.empty())
        return false;
    Arrival& arrival = arrivals_.front();
    const Pending& request = pending_.at(arrival.id);
    if (!arrival.reader) {
        // Read only now, so that files waiting their turn take no memory.
        std::string text;
        const bool read = ReadWholeFile(arrival.path, kMaxFileBytes, text);
        output_.ResourceDone(arrival.id);
        if (!read) {
            ++missing_;
            appletFailed_ = appletFailed_ || request.kind == Kind::Applet;
            pending_.erase(arrival.id);
            arrivals_.pop_front();
            UpdateStatus();
            return !arrivals_.empty();
        }
        FileReader::Kind kind = request.kind == Kind::MeshFile ? FileReader::Kind::Mesh : FileReader::Kind::Scene;
        arrival.reader = std::make_unique<FileReader>(kind, std::move(text), budget_);
    }
    if (!arrival.reader->ReadSlice()) {
        FinishReading(arrival);
        arrivals_.pop_front();
    }
    return !arrivals_.empty();
}

void SceneSession::FinishReading(Arrival& arrival)
{
    Pending request = pending_.at(arrival.id);
    pending_.erase(arrival.id);
    if (request.kind == Kind::MeshFile) {
        MeshFile parsed = arrival.reader->TakeMesh();
        NoteErrors(request.name, parsed.errors);
        if (parsed.mesh.triangles.empty())
            ++missing_;
        else
            scene_.AddMeshFile(request.name, std::make_shared<Mesh>(std::move(parsed.mesh)));
    } else {
        SceneFile parsed = arrival.reader->TakeScene();
        NoteErrors(request.name, parsed.errors);
        RequestReferences(parsed, request.depth);
        if (request.kind == Kind::Applet)
            scene_.SetApplet(std::move(parsed));
        else
            scene_.AddInclude(request.name, std::move(parsed));
    }
    Loaded();
}

void SceneSession::Loaded()
{
    scene_.Resolve();
    ++revision_;
    UpdateStatus();
}

void SceneSession::AdvanceTime(double seconds)
{
    if (seconds > 0)
        time_ += seconds;
}

void SceneSession::RenderFrame(SceneView& view)
{
    if (!RenderScene(scene_, scene_.CameraFor(view.windowName), time_, view.angles, view.frame, &view.times, &workers_) && !cutShort_) {
        cutShort_ = true;
        UpdateStatus();
    }
}

const ObjectDef* SceneSession::LinkAt(const SceneView& view, int x, int y) const
{
    return scene_.LinkOf(view.frame.IdAt(x, y));
}

void SceneSession::ShowHover(const ObjectDef* link)
{
    std::string url = link ? link->linkUrl : std::string();
    if (url != hoverUrl_) {
        hoverUrl_ = url;
        UpdateStatus();
    }
}

void SceneSession::PointerMoved(SceneView& view, int x, int y)
{
    if (pressed_) {
        if (std::abs(x - pressX_) > kClickSlop || std::abs(y - pressY_) > kClickSlop)
            dragging_ = true;
        if (dragging_) {
            view.angles.yaw = pressAngles_.yaw - (x - pressX_) * kTurnPerPixel;
            view.angles.pitch = std::clamp(pressAngles_.pitch + (y - pressY_) * kTurnPerPixel, -1.4f, 1.4f);
        }
        return;
    }
    ShowHover(LinkAt(view, x, y));
}

void SceneSession::PointerPressed(SceneView& view, int x, int y)
{
    pressed_ = true;
    dragging_ = false;
    pressX_ = x;
    pressY_ = y;
    pressAngles_ = view.angles;
}

void SceneSession::PointerReleased(const SceneView& view, int x, int y)
{
    if (!pressed_)
        return;
    pressed_ = false;
    if (dragging_)
        return;
    if (const ObjectDef* link = LinkAt(view, x, y))
        output_.Navigate(link->linkTarget, link->linkUrl);
}

void SceneSession::PointerLeft()
{
    pressed_ = false;
    ShowHover(nullptr);
}

void SceneSession::UpdateStatus()
{
    std::string name = DisplayName(appletName_, lead_);
    std::string text;
    if (!hoverUrl_.empty()) {
        text = hoverUrl_;
    } else if (appletFailed_) {
        text = "Orbolanth: could not load " + name;
    } else if (!scene_.HasApplet()) {
        text = "Orbolanth: loading " + name + "...";
    } else {
        text = "Orbolanth: " + name + " - " + Plural(scene_.DrawableCount(), "object");
        if (!pending_.empty())
            text += ", loading " + Plural(static_cast<int>(pending_.size()), "file");
        if (missing_ > 0)
            text += ", " + Plural(missing_, "file") + " missing";
        if (errorCount_ > 0)
            text += ", " + Plural(errorCount_, "error") + " (" + firstError_ + ")";
        const std::string& limit = limitNote_.empty() ? scene_.LimitNote() : limitNote_;
        if (!limit.empty())
            text += ", too large: " + limit;
        else if (cutShort_)
            text += ", too large: frames leave part of the scene out";
    }
    if (text != status_) {
        status_ = text;
        output_.ShowStatus(status_);
    }
}

}  // namespace orb
