#pragma once

#include "FrameBuffer.h"

#include <string>

namespace orb {

// Saves the frame's colours as an uncompressed 32-bit bottom-up BMP file.
bool WriteBmp(const std::string& path, const FrameBuffer& frame);

}  // namespace orb
