#include "JsonValue.h"

#include <cmath>

JsonValue JsonValue::Bool(bool value)
{
    JsonValue v;
    v.type_ = Type::kBool;
    v.bool_ = value;
    return v;
}

JsonValue JsonValue::Number(double value)
{
    JsonValue v;
    v.type_ = Type::kNumber;
    v.number_ = value;
    return v;
}

JsonValue JsonValue::String(std::string value)
{
    JsonValue v;
    v.type_ = Type::kString;
    v.string_ = std::move(value);
    return v;
}

JsonValue JsonValue::Array()
{
    JsonValue v;
    v.type_ = Type::kArray;
    return v;
}

JsonValue JsonValue::Object()
{
    JsonValue v;
    v.type_ = Type::kObject;
    return v;
}

bool JsonValue::AsBool(bool& out) const
{
    if (type_ != Type::kBool) return false;
    out = bool_;
    return true;
}

bool JsonValue::AsNumber(double& out) const
{
    if (type_ != Type::kNumber) return false;
    out = number_;
    return true;
}

bool JsonValue::AsInt(int64_t min, int64_t max, int64_t& out) const
{
    constexpr double kExactLimit = 9007199254740992.0;  // 2^53
    if (type_ != Type::kNumber || std::trunc(number_) != number_ || std::fabs(number_) > kExactLimit) return false;
    const auto value = static_cast<int64_t>(number_);
    if (value < min || value > max) return false;
    out = value;
    return true;
}

bool JsonValue::AsString(std::string& out) const
{
    if (type_ != Type::kString) return false;
    out = string_;
    return true;
}

const JsonValue* JsonValue::Find(std::string_view key) const
{
    for (const Member& member : members_) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

const JsonValue* JsonValue::Find(std::string_view key, Type type) const
{
    const JsonValue* value = Find(key);
    return value && value->type_ == type ? value : nullptr;
}

bool JsonValue::GetBool(std::string_view key, bool& out) const
{
    const JsonValue* value = Find(key);
    return value && value->AsBool(out);
}

bool JsonValue::GetNumber(std::string_view key, double& out) const
{
    const JsonValue* value = Find(key);
    return value && value->AsNumber(out);
}

bool JsonValue::GetInt(std::string_view key, int64_t min, int64_t max, int64_t& out) const
{
    const JsonValue* value = Find(key);
    return value && value->AsInt(min, max, out);
}

bool JsonValue::GetString(std::string_view key, std::string& out) const
{
    const JsonValue* value = Find(key);
    return value && value->AsString(out);
}

bool JsonValue::Push(JsonValue item)
{
    if (type_ != Type::kArray) return false;
    items_.push_back(std::move(item));
    return true;
}

bool JsonValue::Add(std::string key, JsonValue value)
{
    if (type_ != Type::kObject || Find(key)) return false;
    members_.emplace_back(std::move(key), std::move(value));
    return true;
}

bool JsonValue::operator==(const JsonValue& other) const
{
    if (type_ != other.type_) return false;
    switch (type_) {
    case Type::kNull: return true;
    case Type::kBool: return bool_ == other.bool_;
    case Type::kNumber: return number_ == other.number_;
    case Type::kString: return string_ == other.string_;
    case Type::kArray: return items_ == other.items_;
    case Type::kObject: return members_ == other.members_;
    }
    return false;
}
