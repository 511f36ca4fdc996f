// What a plug-in library says it handles, read from its version resource before it is
// loaded: which embeds it gets and which MIME type a fetched file is announced with.
#pragma once

#include <string>
#include <vector>

#include "EmbedParser.h"

class PluginRegistration {
public:
    // mimeTypes: "MIMEType" ("a|b"); fileExtents: "FileExtents", one entry per type, each
    // a comma list ("obvm, obv|x").
    PluginRegistration(const std::string& mimeTypes, const std::string& fileExtents);

    const std::vector<std::string>& MimeTypes() const { return mimeTypes_; }

    // The MIME type an embed is handed to the plug-in with, or empty when the embed is not
    // the plug-in's: a type attribute decides; without one, the extension of src does.
    std::string TypeForEmbed(const Embed& embed) const;

    // The type announced for a stream whose server gave none.
    std::string TypeForUrl(const std::string& url) const;

private:
    std::vector<std::string> mimeTypes_;
    std::vector<std::vector<std::string>> extensions_;  // per MIME type, lower case

    std::string TypeForExtension(const std::string& url) const;
};
