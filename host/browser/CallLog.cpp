#include "CallLog.h"

CallLog::CallLog(const std::string& path)
{
    if (path.empty() || path == "-") {
        file_ = stdout;
    } else {
        file_ = std::fopen(path.c_str(), "w");
        ownsFile_ = true;
    }
}

CallLog::~CallLog()
{
    if (file_ && ownsFile_) std::fclose(file_);
}

void CallLog::Line(const std::string& text)
{
    if (file_) {
        std::fputs(text.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
    if (onMatch_ && text.find(watched_) != std::string::npos) {
        std::function<void()> onMatch = std::move(onMatch_);
        onMatch_ = nullptr;
        onMatch();
    }
}

void CallLog::Watch(const std::string& text, std::function<void()> onMatch)
{
    watched_ = text;
    onMatch_ = std::move(onMatch);
}

std::string CallLog::Quote(const char* text)
{
    if (!text) return "(null)";
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02X", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string CallLog::Address(uintptr_t address)
{
    if (!address) return "(null)";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(address));
    return text;
}
