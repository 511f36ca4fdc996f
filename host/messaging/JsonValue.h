// One JSON value of a native message. Messages come from a page's extension and are
// untrusted, so reading one goes through accessors that check the type (and an integer's
// range) and say no, instead of handing out a default a handler might act on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class JsonValue {
public:
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
    using Member = std::pair<std::string, JsonValue>;

    JsonValue() = default;  // null
    static JsonValue Bool(bool value);
    static JsonValue Number(double value);
    static JsonValue String(std::string value);
    static JsonValue Array();
    static JsonValue Object();

    Type type() const { return type_; }
    bool Is(Type type) const { return type_ == type; }

    // False, leaving `out` alone, unless the value is of that type. AsInt also refuses a
    // number with a fraction, one outside [min, max], and one past 2^53, where a double no
    // longer tells whether it is the integer that was sent.
    bool AsBool(bool& out) const;
    bool AsNumber(double& out) const;
    bool AsInt(int64_t min, int64_t max, int64_t& out) const;
    bool AsString(std::string& out) const;

    // Empty unless a string (text), an array (items) or an object (members, in the order
    // they came).
    const std::string& text() const { return string_; }
    const std::vector<JsonValue>& items() const { return items_; }
    const std::vector<Member>& members() const { return members_; }

    // An object's member by name; null when this is no object or has no such member, or (with
    // a type) the member is of another type.
    const JsonValue* Find(std::string_view key) const;
    const JsonValue* Find(std::string_view key, Type type) const;
    // The As* checks on a member: false when it is missing or fails them.
    bool GetBool(std::string_view key, bool& out) const;
    bool GetNumber(std::string_view key, double& out) const;
    bool GetInt(std::string_view key, int64_t min, int64_t max, int64_t& out) const;
    bool GetString(std::string_view key, std::string& out) const;

    // Building a reply: false when this is not an array, or not an object or the key is
    // already there (JSON objects with a repeated key mean different things to different readers).
    bool Push(JsonValue item);
    bool Add(std::string key, JsonValue value);

    // Same type and contents, members in the same order; numbers compare as doubles.
    bool operator==(const JsonValue& other) const;
    bool operator!=(const JsonValue& other) const { return !(*this == other); }

private:
    // The parser appends members without the linear duplicate check of Add: it keeps its own
    // set of keys, so an object of many members stays linear to read.
    friend class JsonParser;

    Type type_ = Type::kNull;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<JsonValue> items_;
    std::vector<Member> members_;
};
