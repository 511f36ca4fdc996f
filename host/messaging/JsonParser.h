// Reads one JSON text of a native message into a JsonValue, within limits: the text comes
// from a page's extension, so neither its depth nor its size may cost more than the host
// allows. Anything malformed or past a limit is refused with what was wrong and where.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "JsonValue.h"

struct JsonLimits {
    // Arrays and objects inside one another; each level is a frame of the parser's recursion,
    // so a limit above kDeepestNesting counts as kDeepestNesting.
    static constexpr size_t kDeepestNesting = 256;
    size_t maxDepth = 16;
    // Values of every kind in the whole text, containers included (member names are not values).
    size_t maxValues = 100000;
    // Bytes of one string or member name once its escapes are decoded; a whole message of the
    // reader's default limit may be one string.
    size_t maxStringBytes = 8u << 20;
};

struct JsonError {
    std::string what;
    size_t offset = 0;  // bytes from the start of the text

    // "duplicate key at byte 12"
    std::string Text() const;
};

class JsonParser {
public:
    explicit JsonParser(const JsonLimits& limits = JsonLimits());

    // The text must hold exactly one value (white space around it allowed). Strings must be
    // well-formed UTF-8; escapes, surrogate pairs included, are decoded into UTF-8, and a lone
    // surrogate is refused. Numbers beyond a double's range are refused, as are repeated member
    // names. On failure `value` is left alone and `error` says why.
    bool Parse(std::string_view text, JsonValue& value, JsonError& error);

private:
    bool ParseValue(size_t depth, JsonValue& out);
    bool ParseArray(size_t depth, JsonValue& out);
    bool ParseObject(size_t depth, JsonValue& out);
    bool ParseString(std::string& out);
    bool ParseEscape(std::string& out);
    bool ParseHex4(uint32_t& unit);
    bool ParseNumber(JsonValue& out);
    bool ParseWord(std::string_view word, JsonValue value, JsonValue& out);
    void SkipSpace();
    bool At(char c) const { return at_ < text_.size() && text_[at_] == c; }
    bool AtDigit() const { return at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; }
    bool Fail(size_t offset, std::string what);

    JsonLimits limits_;
    std::string_view text_;
    size_t at_ = 0;
    size_t values_ = 0;
    JsonError error_;
};
