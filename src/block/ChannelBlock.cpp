#include "block/ChannelBlock.h"

#include <cstdio>
#include <cstring>

std::string ObjectName(const std::string& namePart, const char* suffix)
{
    char name[1024];
    std::snprintf(name, 1023, "Orbolanth%s:%s", namePart.c_str(), suffix);
    return name;
}

bool RevisionMatches(const ChannelBlock& block)
{
    // Equal up to and including the terminator: a longer text differs too.
    return std::memcmp(block.revision, kRevision, sizeof kRevision) == 0;
}
