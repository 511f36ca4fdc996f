// The plug-in libraries a browser knows of, in the order it asks them, and its pick for a
// MIME type. Which libraries exist and what they declare is read elsewhere (PluginFinder).
#pragma once

#include <string>
#include <vector>

struct PluginCandidate {
    std::string path;
    std::string origin;  // where the browser learned of it: a registry key or a folder
    std::vector<std::string> mimeTypes;
    // The registry view the key was read in, 32 or 64 (a program reads its own width's);
    // 0 for a library found in a folder.
    int registryView = 0;
};

// The first candidate that declares `mimeType` (MIME types compare without regard to
// case), or nullptr.
const PluginCandidate* FirstHandling(const std::vector<PluginCandidate>& candidates, const std::string& mimeType);
