// The <embed> tags of a page, as a browser of the plug-in era read them, and the <object>
// elements with their <param>s, as a browser of controls reads them: nothing else of the
// HTML matters to the hosts.
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

// An <object> element: its own attributes and the name/value pairs of the <param> tags
// between it and its </object> (a <param> without a name is dropped).
struct ObjectElement {
    Embed tag;
    std::vector<EmbedAttribute> params;  // page order
};

// Objects do not nest here: an <object> inside another ends the first, as does the page's end.
std::vector<ObjectElement> ParseObjects(const std::string& html);
