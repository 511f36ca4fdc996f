#include "NativeMessageFrame.h"

uint32_t ReadMessageLength(const unsigned char (&header)[kNativeMessageHeaderBytes])
{
    return static_cast<uint32_t>(header[0]) | (static_cast<uint32_t>(header[1]) << 8) |
           (static_cast<uint32_t>(header[2]) << 16) | (static_cast<uint32_t>(header[3]) << 24);
}

bool FrameHostMessage(std::string_view json, std::string& out)
{
    if (json.empty() || json.size() > kMaxHostMessageBytes) return false;
    const auto length = static_cast<uint32_t>(json.size());
    out.reserve(out.size() + kNativeMessageHeaderBytes + json.size());
    for (size_t i = 0; i < kNativeMessageHeaderBytes; ++i) out += static_cast<char>((length >> (8 * i)) & 0xFF);
    out.append(json);
    return true;
}
