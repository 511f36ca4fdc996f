#include "ContainerOptions.h"

#include <cstdlib>

#include "WindowSize.h"

// Each switch named here has a row in docs/TEST-HOOKS.md.
const char kContainerUsage[] =
    "usage: orbcontainer --page FILE [options]\n"
    "  --page-url URL       the page's address as its moniker names it (default: the file's)\n"
    "  --log FILE           call log (default: standard output)\n"
    "  --no-quick-activate  never use IQuickActivate, even when the control offers it\n"
    "  --site ORDER         when SetClientSite comes: auto (as the control's misc status\n"
    "                       asks; default), first (before Load) or after-load\n"
    "  --listing-bag        the property bag also answers IPropertyBag2\n"
    "  --init-new           IPersistStreamInit::InitNew instead of a property bag\n"
    "  --close ORDER        deactivate-first (InPlaceDeactivate, then Close; default) or\n"
    "                       close-only (Close alone)\n"
    "  --navigation KIND    the service that navigates: browser (IWebBrowser2; default),\n"
    "                       hlink (IHlinkFrame) or none\n"
    "  --no-moniker         GetMoniker fails, as a container without a page address does\n"
    "  --no-bind-host       the site offers no IBindHost\n"
    "  --fit                every control fills the page area and follows its size\n"
    "  --seconds N          close the page after N seconds\n"
    "  --until TEXT         close the page once a log line contains TEXT\n"
    "  --window WxH         size of the window (default 800x600)\n"
    "  --unload-wait MS     how long DllCanUnloadNow is asked after the last control\n"
    "                       (default 10000)\n"
    "  --help               this text\n"
    "Exit code: 0 after a clean run, 1 for a bad command line or an unreadable page,\n"
    "2 when no control could be created.\n";

bool ParseContainerOptions(int argc, const char* const* argv, ContainerOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help") options.help = true;
        else if (name == "--no-quick-activate") options.quickActivate = false;
        else if (name == "--listing-bag") options.listingBag = true;
        else if (name == "--init-new") options.initNew = true;
        else if (name == "--no-moniker") options.moniker = false;
        else if (name == "--no-bind-host") options.bindHost = false;
        else if (name == "--fit") options.fit = true;
        else {
            static const char* const kValued[] = {"--page", "--page-url", "--log", "--until", "--site", "--close",
                                                  "--navigation", "--window", "--seconds", "--unload-wait"};
            bool known = false;
            for (const char* valued : kValued) known = known || name == valued;
            if (!known) {
                error = "unknown option " + name;
                return false;
            }
            if (i + 1 >= argc) {
                error = "missing value for " + name;
                return false;
            }
            const std::string value = argv[++i];
            char* end = nullptr;
            if (name == "--page") options.page = value;
            else if (name == "--page-url") options.pageUrl = value;
            else if (name == "--log") options.logPath = value;
            else if (name == "--until") options.until = value;
            else if (name == "--site" && value == "auto") options.siteOrder = SiteOrder::kAsTheControlAsks;
            else if (name == "--site" && value == "first") options.siteOrder = SiteOrder::kFirst;
            else if (name == "--site" && value == "after-load") options.siteOrder = SiteOrder::kAfterLoad;
            else if (name == "--close" && value == "deactivate-first") options.closeOrder = CloseOrder::kDeactivateFirst;
            else if (name == "--close" && value == "close-only") options.closeOrder = CloseOrder::kCloseOnly;
            else if (name == "--navigation" && value == "browser") options.navigation = NavigationService::kBrowser;
            else if (name == "--navigation" && value == "hlink") options.navigation = NavigationService::kHyperlinkFrame;
            else if (name == "--navigation" && value == "none") options.navigation = NavigationService::kNone;
            else if (name == "--window" && ParseWindowSize(value, options.windowWidth, options.windowHeight)) {
            } else if (name == "--seconds" && (options.seconds = std::strtod(value.c_str(), &end)) > 0 && *end == '\0') {
            } else if (name == "--unload-wait" && (options.unloadWaitMs = std::strtol(value.c_str(), &end, 10)) >= 0 &&
                       options.unloadWaitMs <= 600000 && *end == '\0') {
            } else {
                error = "bad option " + name + " " + value;
                return false;
            }
        }
    }
    if (!options.help && options.page.empty()) {
        error = "--page is required";
        return false;
    }
    return true;
}
