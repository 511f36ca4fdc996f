// One queued download: whom to tell, and a private copy of what to fetch.
#pragma once

#include <string>

class DownloadListener;

struct DownloadRequest {
    DownloadListener* listener;  // the request holds one reference
    std::string url;
};
