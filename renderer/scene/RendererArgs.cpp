#include "RendererArgs.h"

#include "FrameBuffer.h"

#include <cstdlib>
#include <sstream>

namespace orb {

WindowSize ParseWindowSize(const std::string& args)
{
    WindowSize size;
    std::istringstream words(args);
    std::string word, value;
    while (words >> word) {
        int* side = word == "-width" ? &size.width : word == "-height" ? &size.height : nullptr;
        if (!side || !(words >> value))
            continue;
        char* end = nullptr;
        long n = std::strtol(value.c_str(), &end, 10);
        *side = (*end == 0 && n > 0 && n <= FrameBuffer::kMaxSide) ? static_cast<int>(n) : 0;
    }
    return size;
}

}  // namespace orb
