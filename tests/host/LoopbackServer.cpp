#include "LoopbackServer.h"

#include <ws2tcpip.h>

LoopbackServer::LoopbackServer()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    WSACleanup();
}

std::string LoopbackServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::Serve(const std::string& path, const std::string& type, const std::string& body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path] = Resource{type, body};
}

std::vector<std::string> LoopbackServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::AcceptLoop()
{
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;  // the listener was closed
        Answer(client);
        closesocket(client);
    }
}

void LoopbackServer::Answer(SOCKET client)
{
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos) {
        int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        request.append(buffer, static_cast<size_t>(got));
    }
    size_t pathStart = request.find(' ') + 1;
    std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);

    std::string response;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(path);
        auto found = resources_.find(path);
        if (found == resources_.end()) {
            response = "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
                       "Connection: close\r\n\r\nnot found";
        } else {
            response = "HTTP/1.0 200 OK\r\nContent-Type: " + found->second.type +
                       "\r\nContent-Length: " + std::to_string(found->second.body.size()) +
                       "\r\nConnection: close\r\n\r\n" + found->second.body;
        }
    }
    size_t sent = 0;
    while (sent < response.size()) {
        int put = send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
        if (put <= 0) return;
        sent += static_cast<size_t>(put);
    }
    shutdown(client, SD_SEND);
}
