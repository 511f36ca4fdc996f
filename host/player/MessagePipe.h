// The native host's standard input and output. The browser's messages are read on a thread of
// their own, which blocks on the pipe and hands whole messages to the window's thread; replies
// are written by another, so that neither a quiet browser nor a full pipe ever holds the window.
// ReadFile and WriteFile on the standard handles carry bytes as they are (binary mode: the C
// library's text translation is never in the way).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class MessagePipe {
public:
    // Replies waiting past this many bytes are too many: pictures are refused (status,
    // closed and fetch never are; they are few and small).
    static constexpr size_t kMostQueuedBytes = 8u << 20;
    // Messages read and not yet handled: the reader waits past this many bytes.
    static constexpr size_t kMostInboxBytes = 32u << 20;

    MessagePipe(HANDLE input, HANDLE output);
    ~MessagePipe();
    MessagePipe(const MessagePipe&) = delete;
    MessagePipe& operator=(const MessagePipe&) = delete;

    // Starts both threads; `wake` is run on the reader's when a message or the end has arrived.
    bool Start(std::function<void()> wake);
    // The next message read; false when none is waiting.
    bool Take(std::string& message);
    bool HasMessages() const;
    // Input has ended (or broke, `why` says how) and every message before it was taken.
    bool Ended(std::string& why);

    // Queues a JSON reply; false when it cannot be framed (over the browser's limit) or, for a
    // droppable one, when the queue has no room for it.
    bool Send(const std::string& json, bool droppable = false);
    // A droppable reply of about `bytes` would be taken now.
    bool HasRoomFor(size_t bytes) const;
    // Waits at most `ms` for what is queued to be written.
    void Flush(DWORD ms);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;

    static DWORD WINAPI ReadMain(void* parameter);
    static DWORD WINAPI WriteMain(void* parameter);
};
