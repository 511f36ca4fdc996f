#include "PluginCandidates.h"

#include "base/AsciiCase.h"

const PluginCandidate* FirstHandling(const std::vector<PluginCandidate>& candidates, const std::string& mimeType)
{
    for (const PluginCandidate& candidate : candidates) {
        for (const std::string& declared : candidate.mimeTypes) {
            if (EqualsIgnoringCase(declared, mimeType)) return &candidate;
        }
    }
    return nullptr;
}
