// A stream's body on its way into a file, on the window's thread's terms: the browser's own
// fetch (BackgroundFetch), or one the program around the browser gets from elsewhere (the
// native host's bodies come from the browser extension). The stream waits until Done, then
// takes the result and the file.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "FetchProgress.h"
#include "UrlFetcher.h"

class StreamBody {
public:
    struct Request {
        std::string url;
        std::string file;    // where the body goes
        uint64_t limit = 0;  // largest body; 0: none
    };

    virtual ~StreamBody() = default;
    virtual bool Done() const = 0;
    // Once Done.
    virtual const FetchResult& Result() const = 0;
    virtual FetchProgress Progress() const = 0;
    virtual const std::string& File() const = 0;
    // Given up: the body will not be used.
    virtual void Cancel() = 0;
};

// Bodies from elsewhere: a body for the request, whose end is told by `wake` (which the window
// runs later; it may be called from any thread).
using StreamBodySource =
    std::function<std::unique_ptr<StreamBody>(const StreamBody::Request& request, std::function<void()> wake)>;
