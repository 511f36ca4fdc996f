// An applet's settings: name/value pairs from the parameter file, then from the page's
// embed attributes, each pair applied by ParseParameters so that later pairs win.
// Plain C++: no platform calls here.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class AppletSettings {
public:
    // Applies the pairs in index order; a count of 0 or less, or a missing array, does
    // nothing, and a null name or value in a pair is taken as empty text.
    void ParseParameters(int count, const char* const names[], const char* const values[]);
    void ApplyParameter(const char* name, const char* value);

    const std::string& WindowName() const { return windowName; }
    const std::string& GroupName() const { return groupName; }
    const std::string& CommandLine() const { return commandLine; }
    const std::string& SrcUrl() const { return srcUrl; }
    const std::string& OtherWindows() const { return otherWindows; }
    const std::string& PageLocation() const { return pageLocation; }
    int32_t SiteId() const { return siteId; }
    bool AlwaysActive() const { return alwaysActive; }
    bool HasSrc() const { return hasSrc; }
    int32_t AdsMode() const { return adsMode; }
    const std::map<std::string, std::string>& ResourceMap() const { return resourceMap; }

    void SetPageLocation(const std::string& location) { pageLocation = location; }

protected:
    std::string windowName;
    std::string groupName;
    std::string commandLine;
    std::string srcUrl;
    std::string otherWindows;
    std::string pageLocation;
    int32_t siteId = 0;
    bool alwaysActive = false;
    bool hasSrc = false;
    int32_t adsMode = 0;
    std::map<std::string, std::string> resourceMap;
};
