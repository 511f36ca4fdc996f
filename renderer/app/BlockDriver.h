#pragma once

#include "SessionOutput.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "RequestWatch.h"
#include "block/RendererClient.h"

namespace orb {

// Normal mode: the plug-in's shared block drives the session. Requests, navigations and
// the status line go into the block; deliveries and failures come out of it. The mutex is
// held only to copy things in and out, never while a file is parsed or a frame drawn.
class BlockDriver : public SessionOutput {
public:
    // namePart: the last argument of the command line the plug-in started us with.
    int Run(const std::string& namePart);

    void RequestResource(int id, const std::string& name) override;
    void ResourceDone(int id) override;
    void ShowStatus(const std::string& text) override;
    void Navigate(const std::string& target, const std::string& url) override;

private:
    struct Turn {
        bool quit = false;
        bool active = false;
        std::deque<std::pair<int, std::string>> arrived;
        std::deque<int> failed;
        std::vector<WindowEntry> windows;
    };

    void Queue(int id, std::string text);
    bool ReadLaunch(LaunchFields& fields);
    // Everything that needs the block, under one hold of its mutex. False when the wait failed.
    bool Exchange(Turn& turn);

    RendererClient client_;
    std::deque<std::pair<int, std::string>> outbox_;  // id -2 for navigations
    RequestWatch requests_;
    std::deque<int> done_;  // delivered ids whose files have been read, to release
    std::string status_;
    bool statusChanged_ = false;
};

}  // namespace orb
