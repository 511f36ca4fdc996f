#include "JsonParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_set>

#include "Utf8.h"

std::string JsonError::Text() const
{
    return what + " at byte " + std::to_string(offset);
}

JsonParser::JsonParser(const JsonLimits& limits) : limits_(limits)
{
    limits_.maxDepth = std::min(limits_.maxDepth, JsonLimits::kDeepestNesting);
}

bool JsonParser::Parse(std::string_view text, JsonValue& value, JsonError& error)
{
    text_ = text;
    at_ = 0;
    values_ = 0;
    JsonValue parsed;
    bool ok = ParseValue(0, parsed);
    if (ok) {
        SkipSpace();
        if (at_ != text_.size()) ok = Fail(at_, "text after the value");
    }
    text_ = {};
    if (!ok) {
        error = error_;
        return false;
    }
    value = std::move(parsed);
    return true;
}

bool JsonParser::Fail(size_t offset, std::string what)
{
    error_.what = std::move(what);
    error_.offset = offset;
    return false;
}

void JsonParser::SkipSpace()
{
    while (At(' ') || At('\t') || At('\n') || At('\r')) ++at_;
}

bool JsonParser::ParseValue(size_t depth, JsonValue& out)
{
    SkipSpace();
    if (at_ >= text_.size()) return Fail(at_, "expected a value");
    if (++values_ > limits_.maxValues) {
        return Fail(at_, "more values than the limit of " + std::to_string(limits_.maxValues));
    }
    switch (text_[at_]) {
    case '[': return ParseArray(depth + 1, out);
    case '{': return ParseObject(depth + 1, out);
    case '"': {
        std::string text;
        if (!ParseString(text)) return false;
        out = JsonValue::String(std::move(text));
        return true;
    }
    case 't': return ParseWord("true", JsonValue::Bool(true), out);
    case 'f': return ParseWord("false", JsonValue::Bool(false), out);
    case 'n': return ParseWord("null", JsonValue(), out);
    default:
        if (At('-') || AtDigit()) return ParseNumber(out);
        return Fail(at_, "expected a value");
    }
}

bool JsonParser::ParseArray(size_t depth, JsonValue& out)
{
    if (depth > limits_.maxDepth) {
        return Fail(at_, "nested deeper than the limit of " + std::to_string(limits_.maxDepth));
    }
    ++at_;
    out = JsonValue::Array();
    SkipSpace();
    if (At(']')) {
        ++at_;
        return true;
    }
    for (;;) {
        JsonValue item;
        if (!ParseValue(depth, item)) return false;
        out.items_.push_back(std::move(item));
        SkipSpace();
        if (At(']')) {
            ++at_;
            return true;
        }
        if (!At(',')) return Fail(at_, "expected ',' or ']'");
        ++at_;
    }
}

bool JsonParser::ParseObject(size_t depth, JsonValue& out)
{
    if (depth > limits_.maxDepth) {
        return Fail(at_, "nested deeper than the limit of " + std::to_string(limits_.maxDepth));
    }
    ++at_;
    out = JsonValue::Object();
    SkipSpace();
    if (At('}')) {
        ++at_;
        return true;
    }
    std::unordered_set<std::string> keys;
    for (;;) {
        SkipSpace();
        if (!At('"')) return Fail(at_, "expected a member name");
        const size_t keyAt = at_;
        std::string key;
        if (!ParseString(key)) return false;
        if (!keys.insert(key).second) return Fail(keyAt, "duplicate key");
        SkipSpace();
        if (!At(':')) return Fail(at_, "expected ':'");
        ++at_;
        JsonValue value;
        if (!ParseValue(depth, value)) return false;
        out.members_.emplace_back(std::move(key), std::move(value));
        SkipSpace();
        if (At('}')) {
            ++at_;
            return true;
        }
        if (!At(',')) return Fail(at_, "expected ',' or '}'");
        ++at_;
    }
}

bool JsonParser::ParseString(std::string& out)
{
    const size_t start = at_++;
    for (;;) {
        if (at_ >= text_.size()) return Fail(start, "unterminated string");
        const auto c = static_cast<unsigned char>(text_[at_]);
        if (c == '"') {
            ++at_;
            return true;
        }
        if (c < 0x20) return Fail(at_, "control character in a string");
        if (c == '\\') {
            if (!ParseEscape(out)) return false;
        } else {
            const size_t length = Utf8SequenceLength(text_, at_);
            if (length == 0) return Fail(at_, "invalid UTF-8");
            out.append(text_.substr(at_, length));
            at_ += length;
        }
        if (out.size() > limits_.maxStringBytes) {
            return Fail(start, "string longer than the limit of " + std::to_string(limits_.maxStringBytes) + " bytes");
        }
    }
}

bool JsonParser::ParseEscape(std::string& out)
{
    const size_t escapeAt = at_++;
    const char kind = at_ < text_.size() ? text_[at_++] : '\0';
    switch (kind) {
    case '"': out += '"'; return true;
    case '\\': out += '\\'; return true;
    case '/': out += '/'; return true;
    case 'b': out += '\b'; return true;
    case 'f': out += '\f'; return true;
    case 'n': out += '\n'; return true;
    case 'r': out += '\r'; return true;
    case 't': out += '\t'; return true;
    case 'u': break;
    default: return Fail(escapeAt, "invalid escape");
    }
    uint32_t unit = 0;
    if (!ParseHex4(unit)) return Fail(escapeAt, "invalid \\u escape");
    if (unit >= 0xDC00 && unit <= 0xDFFF) return Fail(escapeAt, "lone surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        // UTF-16's pair: the low half must follow at once, as an escape of its own.
        const size_t lowAt = at_;
        uint32_t low = 0;
        if (!At('\\') || lowAt + 1 >= text_.size() || text_[lowAt + 1] != 'u') return Fail(escapeAt, "lone surrogate");
        at_ += 2;
        if (!ParseHex4(low)) return Fail(lowAt, "invalid \\u escape");
        if (low < 0xDC00 || low > 0xDFFF) return Fail(escapeAt, "lone surrogate");
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(unit, out);
    return true;
}

bool JsonParser::ParseHex4(uint32_t& unit)
{
    if (text_.size() - at_ < 4) return false;
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = text_[at_ + i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        unit = unit << 4 | digit;
    }
    at_ += 4;
    return true;
}

bool JsonParser::ParseNumber(JsonValue& out)
{
    // JSON's grammar is narrower than from_chars' (no "1.", ".5", "01", "inf"), so it is
    // checked here and the conversion only gets what passed.
    const size_t start = at_;
    if (At('-')) ++at_;
    if (At('0')) {
        ++at_;
    } else if (AtDigit()) {
        while (AtDigit()) ++at_;
    } else {
        return Fail(start, "invalid number");
    }
    if (At('.')) {
        ++at_;
        if (!AtDigit()) return Fail(start, "invalid number");
        while (AtDigit()) ++at_;
    }
    if (At('e') || At('E')) {
        ++at_;
        if (At('+') || At('-')) ++at_;
        if (!AtDigit()) return Fail(start, "invalid number");
        while (AtDigit()) ++at_;
    }
    // from_chars reads the same way whatever the process's locale.
    double value = 0;
    const char* end = text_.data() + at_;
    const std::from_chars_result result = std::from_chars(text_.data() + start, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return Fail(start, "number out of range");
    }
    out = JsonValue::Number(value);
    return true;
}

bool JsonParser::ParseWord(std::string_view word, JsonValue value, JsonValue& out)
{
    if (text_.substr(at_, word.size()) != word) return Fail(at_, "expected a value");
    at_ += word.size();
    out = std::move(value);
    return true;
}
