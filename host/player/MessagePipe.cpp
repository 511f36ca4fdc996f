#include "MessagePipe.h"

#include "NativeMessageFrame.h"
#include "NativeMessageReader.h"
#include "base/UniqueHandle.h"

// Both threads keep the shared part alive: a thread blocked on the pipe when the host leaves
// ends with the process and touches nothing that has gone.
struct MessagePipe::Shared {
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    std::function<void()> wake;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> inbox;
    size_t inboxBytes = 0;
    bool inputEnded = false;
    std::string endWhy;
    std::deque<std::string> outbox;  // framed
    size_t outboxBytes = 0;
    bool writing = false;            // a write is under way outside the lock
    bool outputBroken = false;
};

MessagePipe::MessagePipe(HANDLE input, HANDLE output) : shared_(std::make_shared<Shared>())
{
    shared_->input = input;
    shared_->output = output;
}

MessagePipe::~MessagePipe()
{
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->outputBroken = true;  // the writer stops; the reader's wakes go to a window that is gone
    shared_->changed.notify_all();
}

bool MessagePipe::Start(std::function<void()> wake)
{
    shared_->wake = std::move(wake);
    for (auto main : {&ReadMain, &WriteMain}) {
        auto* owned = new std::shared_ptr<Shared>(shared_);
        const KernelHandle thread(CreateThread(nullptr, 0, main, owned, 0, nullptr));
        if (!thread) {
            delete owned;
            return false;
        }
    }
    return true;
}

DWORD WINAPI MessagePipe::ReadMain(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    NativeMessageReader reader;
    std::string why;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(shared.input, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            if (!reader.Finish()) why = reader.ErrorText();
            break;
        }
        std::string_view input(buffer, got);
        std::string message;
        NativeMessageReader::Status status;
        while ((status = reader.Read(input, message)) == NativeMessageReader::Status::kMessage) {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait(lock, [&] { return shared.inboxBytes < kMostInboxBytes || shared.outputBroken; });
            shared.inboxBytes += message.size();
            shared.inbox.push_back(std::move(message));
            lock.unlock();
            shared.wake();
        }
        if (status == NativeMessageReader::Status::kFailed) {
            why = reader.ErrorText();
            break;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.inputEnded = true;
        shared.endWhy = why;
    }
    shared.wake();
    return 0;
}

DWORD WINAPI MessagePipe::WriteMain(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
        shared.changed.wait(lock, [&] { return !shared.outbox.empty() || shared.outputBroken; });
        if (shared.outputBroken) return 0;
        std::string frame = std::move(shared.outbox.front());
        shared.outbox.pop_front();
        shared.writing = true;
        lock.unlock();
        size_t at = 0;
        bool ok = true;
        while (ok && at < frame.size()) {
            DWORD wrote = 0;
            ok = WriteFile(shared.output, frame.data() + at, static_cast<DWORD>(frame.size() - at), &wrote, nullptr) &&
                 wrote > 0;
            at += wrote;
        }
        lock.lock();
        shared.writing = false;
        shared.outboxBytes -= frame.size();
        if (!ok) shared.outputBroken = true;
        shared.changed.notify_all();
    }
}

bool MessagePipe::Take(std::string& message)
{
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->inbox.empty()) return false;
    message = std::move(shared_->inbox.front());
    shared_->inbox.pop_front();
    shared_->inboxBytes -= message.size();
    shared_->changed.notify_all();
    return true;
}

bool MessagePipe::HasMessages() const
{
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return !shared_->inbox.empty();
}

bool MessagePipe::Ended(std::string& why)
{
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    why = shared_->endWhy;
    return shared_->inputEnded && shared_->inbox.empty();
}

bool MessagePipe::Send(const std::string& json, bool droppable)
{
    std::string frame;
    if (!FrameHostMessage(json, frame)) return false;
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->outputBroken) return false;
    if (droppable && shared_->outboxBytes + frame.size() > kMostQueuedBytes) return false;
    shared_->outboxBytes += frame.size();
    shared_->outbox.push_back(std::move(frame));
    shared_->changed.notify_all();
    return true;
}

bool MessagePipe::HasRoomFor(size_t bytes) const
{
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return !shared_->outputBroken && shared_->outboxBytes + bytes <= kMostQueuedBytes;
}

void MessagePipe::Flush(DWORD ms)
{
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return shared_->outputBroken || (shared_->outbox.empty() && !shared_->writing);
    });
}
