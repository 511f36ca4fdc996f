#include "BmpFile.h"

#include <cstdio>
#include <vector>

namespace orb {

namespace {

void Put16(std::vector<unsigned char>& out, unsigned v)
{
    out.push_back(v & 255);
    out.push_back((v >> 8) & 255);
}

void Put32(std::vector<unsigned char>& out, unsigned long v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, (v >> 16) & 0xFFFF);
}

}  // namespace

bool WriteBmp(const std::string& path, const FrameBuffer& frame)
{
    unsigned long w = frame.Width(), h = frame.Height();
    unsigned long pixelBytes = w * h * 4;
    std::vector<unsigned char> out;
    out.reserve(54 + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + pixelBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);  // BITMAPINFOHEADER
    Put32(out, w);
    Put32(out, h);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);  // BI_RGB
    Put32(out, pixelBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (long y = static_cast<long>(h) - 1; y >= 0; --y)
        for (unsigned long x = 0; x < w; ++x)
            Put32(out, frame.PixelAt(static_cast<int>(x), static_cast<int>(y)));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace orb
