// Reads the browser's messages from the host's standard input. A pipe hands over bytes in
// whatever pieces it likes (one byte, half a header, several messages at once); the reader
// takes them as they come and gives out whole messages in order. A declared length of 0 or
// over the limit breaks the stream for good: after it nothing lines up with a header again.
// It never holds more than one message's bytes, and only as many as have arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "NativeMessageFrame.h"

class NativeMessageReader {
public:
    // Files come through the pipe in pieces, each a message well under this.
    static constexpr uint32_t kDefaultMaxMessageBytes = 8u << 20;

    enum class Status { kNeedMore, kMessage, kFailed };
    enum class Error { kNone, kEmptyMessage, kTooLong, kTruncated };

    explicit NativeMessageReader(uint32_t maxMessageBytes = kDefaultMaxMessageBytes);

    // Takes bytes from the front of `input`, up to the end of the next message at most.
    // kMessage: `message` holds it, and `input` may hold more; kNeedMore: `input` is used up
    // without completing one; kFailed: the stream is broken (error()) and nothing is taken.
    Status Read(std::string_view& input, std::string& message);
    // The stream has ended: true when it ended between messages, else error() says why.
    bool Finish();

    Error error() const { return error_; }
    // For the log: what broke the stream, with the lengths involved.
    std::string ErrorText() const;

private:
    uint32_t maxMessageBytes_;
    unsigned char header_[kNativeMessageHeaderBytes] = {};
    size_t headerBytes_ = 0;
    uint32_t length_ = 0;  // of the message under way, once its header is whole
    std::string body_;
    Error error_ = Error::kNone;
};
