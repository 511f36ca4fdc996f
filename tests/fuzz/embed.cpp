// orbhost's reading of a page: every embed's attributes, and which of them the plug-in's
// types claim.
#include <string>

#include "EmbedParser.h"
#include "PluginRegistration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const PluginRegistration registration("application/x-Orbolanth-3D-Applet", "obvm, obv");
    std::vector<Embed> embeds = ParseEmbeds(std::string(reinterpret_cast<const char*>(data), size));
    for (const Embed& embed : embeds) {
        registration.TypeForEmbed(embed);
        if (const std::string* src = embed.Find("src")) registration.TypeForUrl(*src);
    }
    return 0;
}
