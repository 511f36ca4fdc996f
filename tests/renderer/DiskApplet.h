// A sample applet played from disk: the session asks for files by name and each is answered from
// the applet's folder, as the standalone driver answers them, until everything is read.
#pragma once

#include "SceneSession.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

class DiskApplet : private orb::SessionOutput {
public:
    // folder ends with a separator; applet is a name in it.
    DiskApplet(std::string folder, const std::string& applet);

    orb::SceneSession& Session() { return session_; }
    const orb::Scene& GetScene() const { return session_.GetScene(); }
    // The longest single LoadSlice call while loading: how long a window went unanswered.
    double LongestSliceMs() const { return longestSliceMs_; }
    const std::string& Status() const { return status_; }
    // "target|url" of each link followed, oldest first.
    const std::vector<std::string>& Navigations() const { return navigations_; }

    // The name of the object drawn at a pixel of the view's last frame, "" for the background.
    std::string ObjectAt(const orb::SceneView& view, int x, int y) const;

private:
    void RequestResource(int id, const std::string& name) override { queue_.emplace_back(id, folder_ + name); }
    void ResourceDone(int) override {}
    void ShowStatus(const std::string& text) override { status_ = text; }
    void Navigate(const std::string& target, const std::string& url) override
    {
        navigations_.push_back(target + "|" + url);
    }

    std::string folder_;
    std::deque<std::pair<int, std::string>> queue_;
    std::string status_;
    std::vector<std::string> navigations_;
    double longestSliceMs_ = 0;
    orb::SceneSession session_{*this};
};
