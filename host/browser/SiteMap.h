// Saved copies of sites: every URL under a mapped prefix is answered from a local folder,
// so a site saved with its original absolute URLs plays with no network. The URLs come from
// applets and are untrusted: no name of one leaves its folder.
#pragma once

#include <string>
#include <vector>

class SiteMap {
public:
    // "URL=FOLDER" (split at the first '='); false with `error` set when either side is
    // empty or the URL is not http: or https:.
    bool Add(const std::string& mapping, std::string& error);
    bool Empty() const { return sites_.empty(); }

    // Whether `url` lies under a mapped prefix (the longest wins).
    bool Covers(const std::string& url) const;
    // The file that answers `url`: its folder joined with the decoded path below the prefix.
    // Empty when the URL is covered but names nothing the folder may give: a segment that is
    // "." or ".." or ends in a dot or a blank (Windows drops those), or holds a slash, a
    // backslash, a colon or a control character once decoded, or a device name; a folder
    // itself.
    std::string LocalPath(const std::string& url) const;

private:
    struct Site {
        std::string prefix;  // scheme and host in lower case, ending in '/'
        std::string folder;  // without a trailing separator
    };
    std::vector<Site> sites_;

    const Site* Find(const std::string& normalizedUrl) const;
};
