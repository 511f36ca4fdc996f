#include "PluginRegistration.h"

#include "UrlResolution.h"
#include "base/AsciiCase.h"

namespace {

std::vector<std::string> SplitTrimmed(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        size_t first = part.find_first_not_of(" \t");
        size_t last = part.find_last_not_of(" \t");
        parts.push_back(first == std::string::npos ? "" : part.substr(first, last - first + 1));
        start = end + 1;
    }
    return parts;
}

std::string LowerExtension(const std::string& url)
{
    std::string name = UrlFileName(url);
    size_t dot = name.rfind('.');
    return AsciiLowerCase(dot == std::string::npos ? "" : name.substr(dot + 1));
}

}  // namespace

PluginRegistration::PluginRegistration(const std::string& mimeTypes, const std::string& fileExtents)
{
    if (mimeTypes.empty()) return;
    mimeTypes_ = SplitTrimmed(mimeTypes, '|');
    std::vector<std::string> perType = SplitTrimmed(fileExtents, '|');
    for (size_t i = 0; i < mimeTypes_.size(); ++i) {
        std::vector<std::string> extensions;
        if (i < perType.size() && !perType[i].empty()) extensions = SplitTrimmed(perType[i], ',');
        for (std::string& extension : extensions) extension = AsciiLowerCase(std::move(extension));
        extensions_.push_back(extensions);
    }
}

std::string PluginRegistration::TypeForExtension(const std::string& url) const
{
    std::string extension = LowerExtension(url);
    if (extension.empty()) return "";
    for (size_t i = 0; i < extensions_.size(); ++i) {
        for (const std::string& candidate : extensions_[i]) {
            if (candidate == extension) return mimeTypes_[i];
        }
    }
    return "";
}

std::string PluginRegistration::TypeForEmbed(const Embed& embed) const
{
    if (const std::string* type = embed.Find("type")) {
        for (const std::string& mimeType : mimeTypes_) {
            if (EqualsIgnoringCase(mimeType, *type)) return mimeType;
        }
        return "";
    }
    const std::string* src = embed.Find("src");
    return src ? TypeForExtension(*src) : "";
}

std::string PluginRegistration::TypeForUrl(const std::string& url) const
{
    std::string registered = TypeForExtension(url);
    if (!registered.empty()) return registered;
    static const struct { const char* extension; const char* type; } kCommon[] = {
        {"html", "text/html"}, {"htm", "text/html"},  {"txt", "text/plain"}, {"png", "image/png"},
        {"gif", "image/gif"},  {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"bmp", "image/bmp"},
        {"wav", "audio/wav"}};
    std::string extension = LowerExtension(url);
    for (const auto& common : kCommon) {
        if (extension == common.extension) return common.type;
    }
    return "application/octet-stream";
}
