// The controls a page asks for, as a browser of controls reads it: each <embed> with its
// attributes, each <object> with its <param>s. Win32-free, so that tests reach it.
#pragma once

#include <string>
#include <vector>

#include "EmbedParser.h"

struct PageControl {
    bool isObject = false;
    std::string classId;    // "{...}" from an <object>'s classid="clsid:...", else empty
    std::string type;       // the type attribute, else empty
    std::string extension;  // of src (or an <object>'s data), lower case with its dot, else empty
    // What the property bag answers: an <embed>'s attributes, or an <object>'s <param>s
    // followed by its data attribute (as "data") unless a <param> already has that name.
    std::vector<EmbedAttribute> properties;
    int width = 300;  // a replaced element's default size when the page gives none
    int height = 150;
};

// Embeds first, then objects, each in page order.
std::vector<PageControl> ReadPageControls(const std::string& html);
