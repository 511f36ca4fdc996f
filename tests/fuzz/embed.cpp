// The hosts' reading of a page: every embed's attributes and which of them the plug-in's
// types claim; every object's params and what the control's container makes of both.
#include <string>

#include "EmbedParser.h"
#include "PageControls.h"
#include "PluginRegistration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const PluginRegistration registration("application/x-Orbolanth-3D-Applet", "obvm, obv");
    const std::string html(reinterpret_cast<const char*>(data), size);
    std::vector<Embed> embeds = ParseEmbeds(html);
    for (const Embed& embed : embeds) {
        registration.TypeForEmbed(embed);
        if (const std::string* src = embed.Find("src")) registration.TypeForUrl(*src);
    }
    for (const PageControl& control : ReadPageControls(html)) {
        if (control.width <= 0 || control.height <= 0) __builtin_trap();
    }
    return 0;
}
