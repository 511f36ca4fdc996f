// The <embed> tags of a page, as a browser of the plug-in era read them: nothing else of
// the HTML matters to the host.
#pragma once

#include <string>
#include <vector>

struct EmbedAttribute {
    std::string name;   // as written in the page
    std::string value;  // entities decoded; empty for an attribute without a value
};

struct Embed {
    std::vector<EmbedAttribute> attributes;  // page order

    // The value of the first attribute with this name, ignoring ASCII case; null if absent.
    const std::string* Find(const std::string& name) const;
};

// Attribute values may be double-quoted, single-quoted or bare; comments are skipped and a
// tag that never closes is dropped.
std::vector<Embed> ParseEmbeds(const std::string& html);
