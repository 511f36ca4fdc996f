// What the control's fetcher asks of the page the control sits on, on the container's thread.
#pragma once

#include <string>

class PageServices {
public:
    // The URL a name the renderer asked for stands for on this page.
    virtual std::string ResolveUrl(const std::string& name) = 0;
    // Opens url in the target frame or window, through the container.
    virtual void Navigate(const std::string& url, const std::string& target) = 0;

protected:
    ~PageServices() = default;
};
