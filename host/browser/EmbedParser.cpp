#include "EmbedParser.h"

#include <cstdlib>
#include <initializer_list>
#include <string_view>

#include "base/AsciiCase.h"

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Named and numeric character references; anything unknown stays as written.
std::string DecodeEntities(const std::string& raw)
{
    static const struct { const char* name; char value; } kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        size_t semicolon = raw[i] == '&' ? raw.find(';', i) : std::string::npos;
        if (semicolon == std::string::npos || semicolon - i > 10) {
            out += raw[i];
            continue;
        }
        std::string entity = raw.substr(i + 1, semicolon - i - 1);
        int code = -1;
        if (entity.size() > 1 && entity[0] == '#') {
            bool hex = entity[1] == 'x' || entity[1] == 'X';
            const char* digits = entity.c_str() + (hex ? 2 : 1);
            char* end = nullptr;
            long value = std::strtol(digits, &end, hex ? 16 : 10);
            if (*digits && end && *end == '\0' && value > 0 && value < 256) code = static_cast<int>(value);
        } else {
            for (const auto& named : kNamed) {
                if (entity == named.name) code = static_cast<unsigned char>(named.value);
            }
        }
        if (code < 0) {
            out += raw[i];
            continue;
        }
        out += static_cast<char>(code);
        i = semicolon;
    }
    return out;
}

// Reads the attributes of a tag whose name ends just before `at`; returns the position after
// the closing '>', or npos when the tag never closes.
size_t ParseAttributes(const std::string& html, size_t at, Embed& embed)
{
    size_t i = at;
    const size_t n = html.size();
    while (i < n) {
        while (i < n && (IsSpace(html[i]) || html[i] == '/')) ++i;
        if (i >= n) break;
        if (html[i] == '>') return i + 1;

        size_t nameStart = i;
        while (i < n && !IsSpace(html[i]) && html[i] != '=' && html[i] != '>' && html[i] != '/') ++i;
        EmbedAttribute attribute{html.substr(nameStart, i - nameStart), ""};
        while (i < n && IsSpace(html[i])) ++i;
        if (i < n && html[i] == '=') {
            ++i;
            while (i < n && IsSpace(html[i])) ++i;
            if (i < n && (html[i] == '"' || html[i] == '\'')) {
                size_t close = html.find(html[i], i + 1);
                if (close == std::string::npos) return std::string::npos;
                attribute.value = DecodeEntities(html.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                size_t valueStart = i;
                while (i < n && !IsSpace(html[i]) && html[i] != '>') ++i;
                attribute.value = DecodeEntities(html.substr(valueStart, i - valueStart));
            }
        }
        embed.attributes.push_back(attribute);
    }
    return std::string::npos;
}

}  // namespace

const std::string* Embed::Find(const std::string& name) const
{
    for (const EmbedAttribute& attribute : attributes) {
        if (EqualsIgnoringCase(attribute.name, name)) return &attribute.value;
    }
    return nullptr;
}

namespace {

// Calls `onTag(name, attributes)` for each tag of `names` (lower case, "/object" for an end
// tag) in page order, comments skipped; stops at a tag that never closes.
template <typename OnTag>
void ForEachTag(const std::string& html, std::initializer_list<const char*> names, OnTag onTag)
{
    size_t i = 0;
    while ((i = html.find('<', i)) != std::string::npos) {
        if (html.compare(i, 4, "<!--") == 0) {
            size_t end = html.find("-->", i + 4);
            if (end == std::string::npos) return;
            i = end + 3;
            continue;
        }
        const char* found = nullptr;
        for (const char* name : names) {
            const size_t afterName = i + 1 + std::char_traits<char>::length(name);
            if (StartsWithIgnoringCase(std::string_view(html).substr(i + 1), name) &&
                (afterName >= html.size() || IsSpace(html[afterName]) || html[afterName] == '>' ||
                 html[afterName] == '/')) {
                found = name;
            }
        }
        if (!found) {
            ++i;
            continue;
        }
        Embed tag;
        const size_t next = ParseAttributes(html, i + 1 + std::char_traits<char>::length(found), tag);
        if (next == std::string::npos) return;
        onTag(std::string(found), tag);
        i = next;
    }
}

}  // namespace

std::vector<Embed> ParseEmbeds(const std::string& html)
{
    std::vector<Embed> embeds;
    ForEachTag(html, {"embed"}, [&](const std::string&, const Embed& tag) { embeds.push_back(tag); });
    return embeds;
}

std::vector<ObjectElement> ParseObjects(const std::string& html)
{
    std::vector<ObjectElement> objects;
    bool open = false;
    ForEachTag(html, {"object", "/object", "param"}, [&](const std::string& name, const Embed& tag) {
        if (name == "object") {
            objects.push_back({tag, {}});
            open = true;
        } else if (name == "/object") {
            open = false;
        } else if (open && tag.Find("name")) {
            const std::string* value = tag.Find("value");
            objects.back().params.push_back({*tag.Find("name"), value ? *value : ""});
        }
    });
    return objects;
}
