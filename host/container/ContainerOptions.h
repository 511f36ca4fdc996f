// orbcontainer's command line: which of the ways Internet Explorer and its relatives host a
// control this run plays.
#pragma once

#include <string>

enum class SiteOrder { kAsTheControlAsks, kFirst, kAfterLoad };
enum class CloseOrder { kDeactivateFirst, kCloseOnly };
enum class NavigationService { kBrowser, kHyperlinkFrame, kNone };

struct ContainerOptions {
    std::string page;     // a file path or file: URL
    std::string pageUrl;  // the URL the site's moniker names; empty: the page's own
    std::string logPath;  // empty or "-": standard output
    bool quickActivate = true;   // use IQuickActivate when the control offers it
    SiteOrder siteOrder = SiteOrder::kAsTheControlAsks;
    bool listingBag = false;     // the bag also answers IPropertyBag2
    bool initNew = false;        // IPersistStreamInit::InitNew instead of a bag
    CloseOrder closeOrder = CloseOrder::kDeactivateFirst;
    NavigationService navigation = NavigationService::kBrowser;
    bool moniker = true;         // GetMoniker names the page
    bool bindHost = true;        // the site answers IBindHost
    bool fit = false;            // every control fills the page area and follows its size
    double seconds = 0;          // > 0: close the page after this long
    std::string until;           // close the page once a log line contains this text
    int windowWidth = 800;
    int windowHeight = 600;
    int unloadWaitMs = 10000;    // how long DllCanUnloadNow is asked after the last control
    bool help = false;
};

// argv[0] is the program. False with `error` set on a malformed or missing option.
bool ParseContainerOptions(int argc, const char* const* argv, ContainerOptions& options, std::string& error);

extern const char kContainerUsage[];
