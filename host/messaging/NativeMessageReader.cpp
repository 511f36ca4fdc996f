#include "NativeMessageReader.h"

#include <algorithm>

NativeMessageReader::NativeMessageReader(uint32_t maxMessageBytes) : maxMessageBytes_(maxMessageBytes) {}

NativeMessageReader::Status NativeMessageReader::Read(std::string_view& input, std::string& message)
{
    if (error_ != Error::kNone) return Status::kFailed;
    while (headerBytes_ < kNativeMessageHeaderBytes) {
        if (input.empty()) return Status::kNeedMore;
        header_[headerBytes_++] = static_cast<unsigned char>(input.front());
        input.remove_prefix(1);
        if (headerBytes_ < kNativeMessageHeaderBytes) continue;
        length_ = ReadMessageLength(header_);
        // Refused before a byte of the body is kept: the length is the sender's word only.
        if (length_ == 0) error_ = Error::kEmptyMessage;
        if (length_ > maxMessageBytes_) error_ = Error::kTooLong;
        if (error_ != Error::kNone) return Status::kFailed;
    }
    const size_t take = std::min<size_t>(length_ - body_.size(), input.size());
    body_.append(input.substr(0, take));
    input.remove_prefix(take);
    if (body_.size() < length_) return Status::kNeedMore;
    message.swap(body_);
    body_.clear();
    headerBytes_ = 0;
    return Status::kMessage;
}

bool NativeMessageReader::Finish()
{
    if (error_ == Error::kNone && headerBytes_ > 0) error_ = Error::kTruncated;
    return error_ == Error::kNone;
}

std::string NativeMessageReader::ErrorText() const
{
    switch (error_) {
    case Error::kNone: return {};
    case Error::kEmptyMessage: return "a message declared 0 bytes";
    case Error::kTooLong:
        return "a message declared " + std::to_string(length_) + " bytes, over the limit of " +
               std::to_string(maxMessageBytes_);
    case Error::kTruncated:
        if (headerBytes_ < kNativeMessageHeaderBytes) {
            return "the stream ended after " + std::to_string(headerBytes_) + " of a header's " +
                   std::to_string(kNativeMessageHeaderBytes) + " bytes";
        }
        return "the stream ended after " + std::to_string(body_.size()) + " of a message's " +
               std::to_string(length_) + " bytes";
    }
    return {};
}
