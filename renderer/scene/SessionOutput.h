#pragma once

#include <string>

namespace orb {

// What a SceneSession asks of whoever drives it: fetching resources, the status line and navigation.
class SessionOutput {
public:
    // Fetch the resource called name (as written in the applet, relative to the page) and answer
    // with SceneSession::ResourceArrived or ResourceFailed under the same id (1..1023).
    virtual void RequestResource(int id, const std::string& name) = 0;
    // The file that arrived under id has been read (or could not be): whoever delivered it may
    // let it go now, not before.
    virtual void ResourceDone(int id) = 0;
    // Text for the browser's status line; empty clears it.
    virtual void ShowStatus(const std::string& text) = 0;
    // Show url in the browser window called target ("" or "_self": the applet's own page).
    virtual void Navigate(const std::string& target, const std::string& url) = 0;

protected:
    ~SessionOutput() = default;
};

}  // namespace orb
