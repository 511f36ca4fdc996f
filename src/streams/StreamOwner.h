// What a stream manager tells the instance it serves: the page's location once the
// browser has said it (or once it has been worked out without the browser), that it is
// late (it may still come with the src stream), and that a fetch has ended, so the renderer
// need not wait for its next tick to hear of it.
#pragma once

#include <string>

class StreamOwner {
public:
    virtual void PageLocationArrived(const std::string& location) = 0;
    virtual void PageLocationLate() = 0;
    virtual void FetchEnded() = 0;

protected:
    ~StreamOwner() = default;
};
