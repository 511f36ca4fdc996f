// Stream bodies the browser extension fetches for the native host: each one is a `fetch` to
// the page's side, its `fileData` pieces are written to the stream's file as they come, and its
// `fileEnd` hands the stream on. A body given up before its end (the instance went) sends
// `cancel`. Only http and https URLs are ever asked for; anything else fails at once.
// Everything here runs on the window's thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "StreamBody.h"

class ExtensionFetches {
public:
    // Sends a message to the page (JSON text).
    using Send = std::function<void(const std::string& json)>;

    explicit ExtensionFetches(Send send);
    ExtensionFetches(const ExtensionFetches&) = delete;
    ExtensionFetches& operator=(const ExtensionFetches&) = delete;

    // The source to give the browser (Browser::SetBodySource); its bodies must not outlive this.
    StreamBodySource Source();

    // A piece or the end of a request. False when the request was never made; a request that
    // was given up or has ended takes them without a word (they crossed on the way).
    bool Piece(int request, const std::string& bytes);
    bool End(int request, bool ok, const std::string& url, const std::string& mimeType, const std::string& error);

private:
    class Body;
    Send send_;
    int nextRequest_ = 1;
    std::map<int, Body*> open_;

    std::unique_ptr<StreamBody> Start(const StreamBody::Request& request, std::function<void()> wake);
};
