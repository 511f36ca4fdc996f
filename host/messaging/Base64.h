// Base64 as the native messages carry binary data: pictures one way, file pieces the other.
#pragma once

#include <string>
#include <string_view>

std::string EncodeBase64(std::string_view bytes);
// Standard alphabet with padding; false (out unspecified) on any other character, a bad
// length or bits left over in the last character.
bool DecodeBase64(std::string_view text, std::string& out);
