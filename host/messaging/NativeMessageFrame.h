// The frame of a native message, both ways: a 4-byte length, then that many bytes of UTF-8
// JSON. The browser writes the length in its machine's order, which on Windows is always
// little-endian; it is taken apart and put together byte by byte here, so that no host
// machine's order leaks in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t kNativeMessageHeaderBytes = 4;
// The most a host may send in one message: the browser ends the connection over a larger one.
constexpr size_t kMaxHostMessageBytes = 1u << 20;

uint32_t ReadMessageLength(const unsigned char (&header)[kNativeMessageHeaderBytes]);

// Appends the header and the JSON to `out`; false, leaving `out` alone, when the JSON is empty
// or over kMaxHostMessageBytes.
bool FrameHostMessage(std::string_view json, std::string& out);
