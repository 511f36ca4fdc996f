#include "PlayerPage.h"

#include "UrlResolution.h"
#include "base/AsciiCase.h"

const char kAppletType[] = "application/x-Orbolanth-3D-Applet";

bool IsPlayerUrl(const std::string& target)
{
    const std::string scheme = UrlScheme(target);
    return scheme == "http" || scheme == "https" || scheme == "file";
}

bool IsAppletName(const std::string& urlOrPath)
{
    // No separator is looked for: '.' is never the second byte of a double-byte character,
    // and an extension with a separator in it names no applet.
    const std::string name = AsciiLowerCase(IsPlayerUrl(urlOrPath) ? UrlFileName(urlOrPath) : urlOrPath);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string extension = name.substr(dot + 1);
    return extension == "obvm" || extension == "obv";
}

Embed AppletEmbed(const std::string& appletUrl, int width, int height)
{
    const std::string path = appletUrl.substr(0, appletUrl.find_first_of("?#"));
    Embed embed;
    embed.attributes = {{"type", kAppletType},
                        {"src", appletUrl.substr(path.find_last_of('/') + 1)},
                        {"width", std::to_string(width)},
                        {"height", std::to_string(height)},
                        {"WindowName", "main"}};
    return embed;
}

void ApplyParams(Embed& embed, const std::vector<std::pair<std::string, std::string>>& params)
{
    for (const auto& param : params) {
        bool set = false;
        for (EmbedAttribute& attribute : embed.attributes) {
            if (!EqualsIgnoringCase(attribute.name, param.first)) continue;
            attribute.value = param.second;
            set = true;
        }
        if (!set) embed.attributes.push_back({param.first, param.second});
    }
}

bool OpensOutside(const std::string& url)
{
    const std::string scheme = UrlScheme(url);
    if (scheme != "http" && scheme != "https" && scheme != "mailto") return false;
    for (char c : url) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '"') return false;
    }
    return true;
}

std::wstring PlayerTitle(const std::wstring& fileName)
{
    return fileName.empty() ? L"Orbolanth Player" : fileName + L" - Orbolanth Player";
}

size_t FirstPlayable(const std::vector<std::wstring>& files)
{
    for (size_t i = 0; i < files.size(); ++i) {
        const std::wstring& path = files[i];
        const size_t dot = path.rfind(L'.');
        if (dot == std::wstring::npos || path.find_first_of(L"\\/", dot) != std::wstring::npos) continue;
        std::string extension;
        for (wchar_t c : path.substr(dot + 1)) extension += c < 0x80 ? static_cast<char>(c) : '?';
        extension = AsciiLowerCase(extension);
        if (extension == "obvm" || extension == "obv" || extension == "html" || extension == "htm") return i;
    }
    return 0;
}

std::string IgnoredDropNote(size_t ignored)
{
    return ignored == 1 ? "One file at a time: 1 other dropped file was ignored"
                        : "One file at a time: " + std::to_string(ignored) + " other dropped files were ignored";
}

void AddRecent(std::vector<std::string>& recent, const std::string& entry)
{
    if (entry.empty()) return;
    for (size_t i = 0; i < recent.size(); ++i) {
        if (EqualsIgnoringCase(recent[i], entry)) {
            recent.erase(recent.begin() + static_cast<long>(i));
            break;
        }
    }
    recent.insert(recent.begin(), entry);
    if (recent.size() > kRecentFiles) recent.resize(kRecentFiles);
}
