#include "HostOptions.h"

#include <cstdlib>
#include <cstring>

#include "WindowSize.h"

// What --help prints. Each switch named here has a row in docs/TEST-HOOKS.md and the other
// way round; host_tests compares the two.
const char kHostUsage[] =
    "usage: orbhost --page FILE|URL [options]\n"
    "  --plugin PATH        plug-in library (default: npOrbolanth.dll beside orbhost.exe,\n"
    "                       else the one in the build tree)\n"
    "  --find-plugin TYPE   use the library a browser finds for MIME type TYPE: the\n"
    "                       MozillaPlugins registry keys, then the plug-in folder; without\n"
    "                       --page, print its path and exit\n"
    "  --plugins-dir DIR    the plug-in folder for --find-plugin (default: Plugins beside\n"
    "                       orbhost.exe)\n"
    "  --page-url URL       the URL the page claims to have (default: where it was read)\n"
    "  --version WORD       NPAPI version word offered to the plug-in (default 0x000B)\n"
    "  --user-agent TEXT    user agent (default \"Mozilla/4.08 [en] (WinNT; I ;Nav)\")\n"
    "  --log FILE           call log (default: standard output)\n"
    "  --seconds N          close the page after N seconds and exit\n"
    "  --until TEXT         close the page once a log line contains TEXT\n"
    "  --until-idle         close the page once no stream work is left\n"
    "  --settle MS          quiet time that counts as idle (default 500)\n"
    "  --window WxH         size of the browser window (default 800x600)\n"
    "  --chunk BYTES        largest NPP_Write (default 8192)\n"
    "  --trickle MS         pause between two NPP_Write calls of a stream (default 0)\n"
    "  --stream-limit BYTES largest body of one stream (1 to 2^30; default 64 MiB); a\n"
    "                       larger one ends its stream with a network error\n"
    "  --withhold TEXT      accept requests for URLs containing TEXT but never answer them\n"
    "  --late-src MS        start each src stream only MS after the page-location request\n"
    "                       has had its answer (its stream ended, refused, or, with\n"
    "                       --location never, withheld) instead of right after NPP_New\n"
    "  --modal-loop CALL:MS[:TEXT]  run a modal loop of MS inside the first NPN_GetURL,\n"
    "                       NPN_GetURLNotify or NPN_Status call (CALL: geturl, geturlnotify,\n"
    "                       status) that is not the page-location request and whose URL holds\n"
    "                       TEXT, as a browser showing a dialog does\n"
    "  --in-loop ACTION     inside that loop: kill-renderer (end the host's child processes)\n"
    "                       or close-page (destroy every instance, then close)\n"
    "  --subclass-areas     subclass each plug-in area after NPP_SetWindow, as a browser\n"
    "                       add-on would, and report whether the chain survives the plug-in\n"
    "  --destroy-areas-first  on closing, destroy the areas while the plug-in still holds them\n"
    "  --answer-at-once     run each stream to its end (NPP_URLNotify included) inside the\n"
    "                       NPN_GetURL/NPN_GetURLNotify call that asked for it\n"
    "  --delete-files       delete a stream's file as soon as NPP_DestroyStream returns\n"
    "  --location MODE      answer the page-location request otherwise: refuse (an error\n"
    "                       code), empty (an empty stream), fail (part of it, then a\n"
    "                       network error), split (a few bytes per NPP_Write) or never\n"
    "  --late-ends          at close, NPP_Destroy first; open streams end after it with\n"
    "                       NPRES_USER_BREAK, and notifications never come\n"
    "  --long-paths         hand over files whose paths are longer than 260 characters\n"
    "  --table-size BYTES   size of the NPNetscapeFuncs table offered (default: 0.11's 88;\n"
    "                       later entries are empty)\n"
    "  --help               this text\n"
    "Exit code: 0 after a clean run, 1 for a bad command line or an unreadable page,\n"
    "2 when the plug-in cannot be found, loaded or initialized.\n";

namespace {

bool ParseInt(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return *text && end && *end == '\0' && value >= low && value <= high;
}

}  // namespace

bool ParseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error)
{
    // The tests' servers are reached straight, whatever proxy the prefix names.
    options.browser.systemProxy = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--until-idle") {
            options.untilIdle = true;
            continue;
        }
        if (name == "--help") {
            options.help = true;
            continue;
        }
        bool* flag = name == "--answer-at-once"      ? &options.browser.delivery.atOnce
                   : name == "--delete-files"        ? &options.browser.delivery.deleteFiles
                   : name == "--late-ends"           ? &options.browser.lateEnds
                   : name == "--long-paths"          ? &options.browser.delivery.longPaths
                   : name == "--subclass-areas"      ? &options.subclassAreas
                   : name == "--destroy-areas-first" ? &options.browser.destroyAreasFirst
                                                     : nullptr;
        if (flag) {
            *flag = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = name.compare(0, 2, "--") == 0 ? "missing value for " + name : "unknown argument " + name;
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        bool ok = true;
        if (name == "--plugin") {
            options.pluginPath = value;
        } else if (name == "--find-plugin") {
            options.findPlugin = value;
            ok = *value != '\0';
        } else if (name == "--plugins-dir") {
            options.pluginsDir = value;
            ok = *value != '\0';
        } else if (name == "--page") {
            options.page = value;
        } else if (name == "--page-url") {
            options.pageUrl = value;
        } else if (name == "--version") {
            ok = ParseInt(value, 0, 0xFFFF, number);
            options.browser.version = static_cast<uint16_t>(number);
        } else if (name == "--user-agent") {
            options.browser.userAgent = value;
        } else if (name == "--log") {
            options.logPath = value;
        } else if (name == "--seconds") {
            char* end = nullptr;
            options.seconds = std::strtod(value, &end);
            ok = *value && *end == '\0' && options.seconds > 0;
        } else if (name == "--until") {
            options.until = value;
            ok = *value != '\0';
        } else if (name == "--settle") {
            ok = ParseInt(value, 0, 600000, number);
            options.settleMs = static_cast<int>(number);
        } else if (name == "--window") {
            ok = ParseWindowSize(value, options.windowWidth, options.windowHeight);
        } else if (name == "--chunk") {
            ok = ParseInt(value, 1, 1 << 24, number);
            options.browser.delivery.chunkBytes = static_cast<int>(number);
        } else if (name == "--stream-limit") {
            ok = ParseInt(value, 1, 1L << 30, number);
            options.browser.delivery.streamLimitBytes = static_cast<uint64_t>(number);
        } else if (name == "--trickle") {
            ok = ParseInt(value, 0, 60000, number);
            options.browser.delivery.trickleMs = static_cast<int>(number);
        } else if (name == "--late-src") {
            ok = ParseInt(value, 0, 600000, number);
            options.browser.lateSrcMs = static_cast<int>(number);
        } else if (name == "--location") {
            options.browser.location = value;
            ok = options.browser.location == "refuse" || options.browser.location == "empty" || options.browser.location == "fail" ||
                 options.browser.location == "split" || options.browser.location == "never";
        } else if (name == "--table-size") {
            ok = ParseInt(value, kSmallestTable, kLargestTable, number);
            options.browser.tableSize = static_cast<int>(number);
        } else if (name == "--withhold") {
            options.browser.withhold = value;
            ok = *value != '\0';
        } else if (name == "--modal-loop") {
            const char* colon = std::strchr(value, ':');
            const char* second = colon ? std::strchr(colon + 1, ':') : nullptr;
            options.modalCall = colon ? std::string(value, colon) : "";
            options.modalUrl = second ? second + 1 : "";
            const std::string ms = colon ? std::string(colon + 1, second ? second : colon + std::strlen(colon)) : "";
            ok = colon && ParseInt(ms.c_str(), 1, 600000, number) &&
                 (options.modalCall == "geturl" || options.modalCall == "geturlnotify" ||
                  options.modalCall == "status");
            options.modalMs = static_cast<int>(number);
        } else if (name == "--in-loop") {
            options.inLoop = value;
            ok = options.inLoop == "kill-renderer" || options.inLoop == "close-page";
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    if (options.page.empty() && !options.help && options.findPlugin.empty()) {
        error = "--page is required";
        return false;
    }
    return true;
}
