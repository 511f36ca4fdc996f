#pragma once

#include "SessionOutput.h"

#include "block/RendererClient.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

namespace orb {

class SceneSession;

// Shows an applet from disk, without a browser: resources are files next to the applet, status
// and navigation go to standard output. For development and tests.
class StandaloneDriver : public SessionOutput {
public:
    struct Options {
        std::string applet;                        // path of the applet file
        HWND window = nullptr;                     // none: open a window of our own
        std::vector<WindowEntry> windows;          // further windows that show the scene, by name
        std::string args = " -width 400 -height 300";
        int frames = 0;                            // stop after this many frames; 0 runs on
        std::string screenshot;                    // BMP of the last frame, written at the end
        int pauseMs = 0;                           // then stay paused this long
        bool stats = false;                        // print frame rate and processor time
    };

    // Parses "--standalone FILE [--window HEX] [--window NAME=HEX]... [--args TEXT] [--frames N]
    // [--screenshot FILE] [--pause MS] [--stats]"; argv[0] is the program. False with a message on
    // bad input.
    static bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

    int Run(const Options& options);

    void RequestResource(int id, const std::string& name) override;
    // The files are the page's own; nothing to let go.
    void ResourceDone(int) override {}
    void ShowStatus(const std::string& text) override;
    void Navigate(const std::string& target, const std::string& url) override;

private:
    std::string LocalPath(const std::string& name) const;
    void DeliverQueued(SceneSession& session);

    std::string applet_;
    HWND ownWindow_ = nullptr;
    std::deque<std::pair<int, std::string>> queued_;
};

}  // namespace orb
