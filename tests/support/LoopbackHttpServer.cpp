#include "LoopbackHttpServer.h"

#include "base/AsciiCase.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kSendSlice = 256 * 1024;
constexpr long kAcceptPollUs = 100 * 1000;

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// The path of the request line and the User-Agent header of one request head.
void ParseHead(const std::string& head, std::string& path, std::string& userAgent)
{
    size_t pathStart = head.find(' ');
    size_t pathEnd = pathStart == std::string::npos ? pathStart : head.find(' ', pathStart + 1);
    if (pathEnd != std::string::npos) path = head.substr(pathStart + 1, pathEnd - pathStart - 1);

    for (size_t line = head.find("\r\n"); line != std::string::npos; line = head.find("\r\n", line + 2)) {
        if (!StartsWithIgnoringCase(std::string_view(head).substr(line + 2), "User-Agent:")) continue;
        size_t value = head.find_first_not_of(' ', line + 2 + std::strlen("User-Agent:"));
        userAgent = head.substr(value, head.find("\r\n", value) - value);
        return;
    }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer()
{
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsockStarted_) return;

    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET
        || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(listener_, SOMAXCONN) != 0
        || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread(&LoopbackHttpServer::AcceptLoop, this);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (acceptThread_.joinable()) acceptThread_.join();
    // No new client thread starts once the accept loop has ended.
    for (std::thread& thread : clientThreads_) thread.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (winsockStarted_) WSACleanup();
}

std::string LoopbackHttpServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Serve(const std::string& path, HttpResponse response)
{
    std::lock_guard<std::mutex> guard(mutex_);
    responses_[path] = std::make_shared<const HttpResponse>(std::move(response));
}

void LoopbackHttpServer::ReleaseHeld(int count)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        releases_ += count;
    }
    changed_.notify_all();
}

int LoopbackHttpServer::Started() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return started_;
}

int LoopbackHttpServer::Finished() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return finished_;
}

int LoopbackHttpServer::Active() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return active_;
}

int LoopbackHttpServer::MaxActive() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return maxActive_;
}

std::vector<std::string> LoopbackHttpServer::UserAgents() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return userAgents_;
}

std::vector<std::string> LoopbackHttpServer::Paths() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return paths_;
}

bool LoopbackHttpServer::WaitForStarted(int count, DWORD timeoutMs) const
{
    return WaitUntil(count, started_, timeoutMs);
}

bool LoopbackHttpServer::WaitForFinished(int count, DWORD timeoutMs) const
{
    return WaitUntil(count, finished_, timeoutMs);
}

bool LoopbackHttpServer::WaitUntil(int count, const int& counter, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> guard(mutex_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return counter >= count; });
}

void LoopbackHttpServer::AcceptLoop()
{
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval poll{0, kAcceptPollUs};
        if (select(0, &readable, nullptr, nullptr, &poll) != 1) continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        std::lock_guard<std::mutex> guard(mutex_);
        clientThreads_.emplace_back(&LoopbackHttpServer::Answer, this, client);
    }
}

void LoopbackHttpServer::Answer(SOCKET client)
{
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
        int received = recv(client, buffer, sizeof buffer, 0);
        if (received <= 0) break;
        head.append(buffer, received);
    }
    std::string path;
    std::string userAgent;
    ParseHead(head, path, userAgent);

    std::shared_ptr<const HttpResponse> response;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = responses_.find(path);
        if (found != responses_.end()) response = found->second;
        userAgents_.push_back(userAgent);
        paths_.push_back(path);
        ++started_;
        maxActive_ = std::max(maxActive_, ++active_);
    }
    changed_.notify_all();
    if (!response) {
        HttpResponse missing;
        missing.status = 404;
        missing.body = "not here";
        response = std::make_shared<const HttpResponse>(missing);
    }

    if (response->answerDelayMs) {
        std::unique_lock<std::mutex> guard(mutex_);
        changed_.wait_for(guard, std::chrono::milliseconds(response->answerDelayMs), [&] { return stopping_.load(); });
    }
    std::string headers = "HTTP/1.1 " + std::to_string(response->status) + " " + ReasonPhrase(response->status) +
                          "\r\nContent-Type: " + response->contentType + "\r\n";
    if (response->sendLength) headers += "Content-Length: " + std::to_string(response->body.size()) + "\r\n";
    if (!response->location.empty()) headers += "Location: " + response->location + "\r\n";
    headers += "Connection: close\r\n\r\n";
    bool sending = SendAll(client, headers.data(), headers.size());

    if (sending && response->held) {
        std::unique_lock<std::mutex> guard(mutex_);
        changed_.wait(guard, [&] { return releases_ > 0 || stopping_; });
        if (releases_ > 0) --releases_;
    }
    const std::string& body = response->body;
    size_t piece = response->trickleBytes ? response->trickleBytes : kSendSlice;
    for (size_t sent = 0; sending && sent < body.size() && !stopping_; sent += piece) {
        if (sent > 0 && response->trickleDelayMs) {
            std::unique_lock<std::mutex> guard(mutex_);
            changed_.wait_for(guard, std::chrono::milliseconds(response->trickleDelayMs),
                              [&] { return stopping_.load(); });
        }
        sending = SendAll(client, body.data() + sent, std::min(piece, body.size() - sent));
    }
    shutdown(client, SD_SEND);
    closesocket(client);

    {
        std::lock_guard<std::mutex> guard(mutex_);
        --active_;
        ++finished_;
    }
    changed_.notify_all();
}

bool LoopbackHttpServer::SendAll(SOCKET client, const char* data, size_t size)
{
    while (size > 0) {
        int sent = send(client, data, static_cast<int>(std::min(size, kSendSlice)), 0);
        if (sent <= 0) return false;
        data += sent;
        size -= sent;
    }
    return true;
}
