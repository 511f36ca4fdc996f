#include "HostCommand.h"

#include <initializer_list>

#include "Base64.h"
#include "base/AsciiCase.h"
#include "JsonParser.h"

namespace {

constexpr int64_t kLargestId = 0x7FFFFFFF;
// Past a wheel's or a screen's reach, and inside the 16 bits a window message carries.
constexpr int64_t kLargestCoordinate = 32767;
constexpr size_t kMostAttributes = 256;
constexpr size_t kLongestName = 256;
constexpr size_t kLongestValue = 64u << 10;
constexpr size_t kLongestUrl = 8192;
constexpr size_t kLongestKeyText = 16;
constexpr size_t kLongestError = 1024;

// Reads the members of one message, remembering the first that failed.
class Members {
public:
    explicit Members(const JsonValue& message) : message_(message) {}

    bool Int(const char* key, int64_t min, int64_t max, int& out)
    {
        int64_t value = 0;
        if (!Check(message_.GetInt(key, min, max, value), key, "an integer in range")) return false;
        out = static_cast<int>(value);
        return true;
    }
    bool Int64(const char* key, int64_t min, int64_t max, int64_t& out)
    {
        return Check(message_.GetInt(key, min, max, out), key, "an integer in range");
    }
    bool Bool(const char* key, bool& out) { return Check(message_.GetBool(key, out), key, "a boolean"); }
    bool String(const char* key, size_t longest, std::string& out)
    {
        return Check(message_.GetString(key, out) && out.size() <= longest, key, "a string of bounded length");
    }
    // One of `words`; its index.
    bool Word(const char* key, std::initializer_list<const char*> words, int& index)
    {
        std::string text;
        if (message_.GetString(key, text)) {
            index = 0;
            for (const char* word : words) {
                if (text == word) return true;
                ++index;
            }
        }
        return Check(false, key, "one of its words");
    }
    bool Pairs(const char* key, std::vector<std::pair<std::string, std::string>>& out)
    {
        const JsonValue* list = message_.Find(key, JsonValue::Type::kArray);
        if (!list || out.size() + list->items().size() > kMostAttributes) return Check(false, key, "a short array");
        for (const JsonValue& pair : list->items()) {
            std::string name, value;
            const bool ok = pair.Is(JsonValue::Type::kArray) && pair.items().size() == 2 &&
                            pair.items()[0].AsString(name) && pair.items()[1].AsString(value) && !name.empty() &&
                            name.size() <= kLongestName && value.size() <= kLongestValue &&
                            name.find('\0') == std::string::npos && value.find('\0') == std::string::npos;
            if (!ok) return Check(false, key, "pairs of a name and a value");
            out.emplace_back(std::move(name), std::move(value));
        }
        return true;
    }
    bool Fail(const char* key, const char* what) { return Check(false, key, what); }
    bool Has(const char* key) const { return message_.Find(key) != nullptr; }
    const std::string& error() const { return error_; }

private:
    bool Check(bool ok, const char* key, const char* what)
    {
        if (!ok && error_.empty()) error_ = std::string("member ") + key + " must be " + what;
        return ok;
    }

    const JsonValue& message_;
    std::string error_;
};

bool IsWebUrl(const std::string& url)
{
    return (StartsWithIgnoringCase(url, "http://") && url.size() > 7) ||
           (StartsWithIgnoringCase(url, "https://") && url.size() > 8);
}

bool ReadKind(Members& m, HostCommand& c)
{
    using Kind = HostCommand::Kind;
    constexpr int side = HostCommand::kLargestSide;
    constexpr int64_t reach = kLargestCoordinate;
    switch (c.kind) {
    case Kind::kHello: {
        int format = 0;
        const bool ok = m.String("pageUrl", kLongestUrl, c.pageUrl) && m.Bool("visible", c.flag) &&
                        (!m.Has("format") || m.Word("format", {"jpeg", "png"}, format));
        c.png = format == 1;
        return ok;
    }
    case Kind::kAdd: {
        int tag = 0;
        if (!m.Int("element", 1, kLargestId, c.element) || !m.Word("tag", {"embed", "object"}, tag) ||
            !m.Pairs("attributes", c.attributes) || !m.Int("width", 1, side, c.width) ||
            !m.Int("height", 1, side, c.height)) {
            return false;
        }
        c.object = tag == 1;
        if (!m.Has("params")) return true;
        // An <embed> has no params; an <object>'s come after its own attributes.
        const size_t own = c.attributes.size();
        return m.Pairs("params", c.attributes) && (c.object || c.attributes.size() == own || m.Fail("params", "absent"));
    }
    case Kind::kRemove:
        return m.Int("element", 1, kLargestId, c.element);
    case Kind::kResize:
        return m.Int("element", 1, kLargestId, c.element) && m.Int("width", 1, side, c.width) &&
               m.Int("height", 1, side, c.height);
    case Kind::kMouse: {
        int kind = 0;
        const bool ok = m.Int("element", 1, kLargestId, c.element) &&
                        m.Word("kind", {"down", "up", "move", "wheel"}, kind) && m.Int("x", -reach, reach, c.x) &&
                        m.Int("y", -reach, reach, c.y) && (!m.Has("button") || m.Int("button", 0, 2, c.button)) &&
                        (!m.Has("deltaY") || m.Int("deltaY", -reach, reach, c.deltaY)) &&
                        (!m.Has("modifiers") || m.Int("modifiers", 0, 15, c.modifiers));
        c.mouse = static_cast<HostCommand::Mouse>(kind);
        return ok;
    }
    case Kind::kKey: {
        int kind = 0;
        const bool ok = m.Int("element", 1, kLargestId, c.element) && m.Word("kind", {"down", "up"}, kind) &&
                        m.Int("keyCode", 1, 254, c.keyCode) &&
                        (!m.Has("text") || m.String("text", kLongestKeyText, c.text)) &&
                        (!m.Has("modifiers") || m.Int("modifiers", 0, 15, c.modifiers));
        c.flag = kind == 0;
        if (!c.flag) c.text.clear();
        return ok;
    }
    case Kind::kFocus:
        return m.Int("element", 1, kLargestId, c.element) && m.Bool("focused", c.flag);
    case Kind::kVisible:
        return m.Bool("visible", c.flag);
    case Kind::kFrameAck:
        return m.Int("element", 1, kLargestId, c.element) && m.Int64("frame", 1, int64_t{1} << 53, c.frame);
    case Kind::kFileData: {
        std::string text;
        if (!m.Int("request", 1, kLargestId, c.request) ||
            !m.String("data", (HostCommand::kLargestPieceBytes + 2) / 3 * 4, text)) {
            return false;
        }
        return DecodeBase64(text, c.data);
    }
    case Kind::kFileEnd:
        return m.Int("request", 1, kLargestId, c.request) && m.Bool("ok", c.flag) &&
               m.String("url", kLongestUrl, c.url) && (!m.Has("mimeType") || m.String("mimeType", 256, c.mimeType)) &&
               (!m.Has("error") || m.String("error", kLongestError, c.text));
    }
    return false;
}

}  // namespace

bool ReadHostCommand(std::string_view json, HostCommand& command, std::string& error)
{
    JsonValue message;
    JsonError parseError;
    if (!JsonParser().Parse(json, message, parseError)) {
        error = "not JSON: " + parseError.Text();
        return false;
    }
    std::string type;
    if (!message.GetString("type", type)) {
        error = "no string member type";
        return false;
    }
    static const char* const kTypes[] = {"hello",  "add",   "remove",   "resize",   "mouse",  "key",
                                         "focus",  "visible", "frameAck", "fileData", "fileEnd"};
    HostCommand read;
    size_t index = 0;
    while (index < sizeof kTypes / sizeof kTypes[0] && type != kTypes[index]) ++index;
    if (index == sizeof kTypes / sizeof kTypes[0]) {
        error = "unknown type " + type.substr(0, 64);
        return false;
    }
    read.kind = static_cast<HostCommand::Kind>(index);
    Members members(message);
    if (!ReadKind(members, read)) {
        error = type + ": " + (members.error().empty() ? "data is not base64" : members.error());
        return false;
    }
    if (read.kind == HostCommand::Kind::kHello && !IsWebUrl(read.pageUrl)) {
        error = "hello: pageUrl must be an http or https URL";
        return false;
    }
    if (read.kind == HostCommand::Kind::kFileEnd && read.flag && !IsWebUrl(read.url)) {
        error = "fileEnd: url must be an http or https URL";
        return false;
    }
    command = std::move(read);
    return true;
}
