#include "JsonWriter.h"

#include <charconv>
#include <cmath>

#include "Utf8.h"

namespace {

bool WriteString(const std::string& text, std::string& out)
{
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const size_t length = Utf8SequenceLength(text, at);
            if (length == 0) return false;
            out.append(text, at, length);
            at += length;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++at;
    }
    out += '"';
    return true;
}

bool WriteNumber(double number, std::string& out)
{
    if (!std::isfinite(number)) return false;
    // The shortest text that reads back as the same double, in the C locale's form whatever
    // the process's locale.
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, number);
    if (result.ec != std::errc()) return false;
    out.append(text, result.ptr);
    return true;
}

bool WriteValue(const JsonValue& value, std::string& out)
{
    switch (value.type()) {
    case JsonValue::Type::kNull: out += "null"; return true;
    case JsonValue::Type::kBool: {
        bool flag = false;
        value.AsBool(flag);
        out += flag ? "true" : "false";
        return true;
    }
    case JsonValue::Type::kNumber: {
        double number = 0;
        value.AsNumber(number);
        return WriteNumber(number, out);
    }
    case JsonValue::Type::kString: return WriteString(value.text(), out);
    case JsonValue::Type::kArray: {
        out += '[';
        bool first = true;
        for (const JsonValue& item : value.items()) {
            if (!first) out += ',';
            first = false;
            if (!WriteValue(item, out)) return false;
        }
        out += ']';
        return true;
    }
    case JsonValue::Type::kObject: {
        out += '{';
        bool first = true;
        for (const JsonValue::Member& member : value.members()) {
            if (!first) out += ',';
            first = false;
            if (!WriteString(member.first, out)) return false;
            out += ':';
            if (!WriteValue(member.second, out)) return false;
        }
        out += '}';
        return true;
    }
    }
    return false;
}

}  // namespace

bool WriteJson(const JsonValue& value, std::string& json)
{
    json.clear();
    return WriteValue(value, json);
}
