// A small HTTP/1.0 server on 127.0.0.1 for pages and files that the host fetches over
// http:; unknown paths get 404.
#pragma once

#include <winsock2.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;
    void Serve(const std::string& path, const std::string& type, const std::string& body);
    std::vector<std::string> Requests() const;  // request paths in arrival order

private:
    struct Resource {
        std::string type;
        std::string body;
    };

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Resource> resources_;
    std::vector<std::string> requests_;
    std::thread thread_;

    void AcceptLoop();
    void Answer(SOCKET client);
};
