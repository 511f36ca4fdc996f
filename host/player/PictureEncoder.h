// Makes a window's picture into JPEG or PNG bytes with the Windows Imaging Component; owns the
// component's factory. The thread must have initialised COM.
#pragma once

#include <wincodec.h>

#include <cstdint>
#include <string>

#include "control/ComRef.h"

class PictureEncoder {
public:
    PictureEncoder();
    PictureEncoder(const PictureEncoder&) = delete;
    PictureEncoder& operator=(const PictureEncoder&) = delete;

    bool Ready() const { return static_cast<bool>(factory_); }
    // `pixels`: BGRX words, top row first. `quality` (0..1) is JPEG's. False when encoding failed.
    bool Encode(const uint8_t* pixels, int width, int height, bool png, float quality, std::string& bytes);

private:
    ComRef<IWICImagingFactory> factory_;
};
