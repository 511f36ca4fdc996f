#include "session/QuotedNames.h"

std::vector<std::string> ParseQuotedNames(const std::string& text)
{
    std::vector<std::string> names;
    size_t i = 0;
    while ((i = text.find('\'', i)) != std::string::npos) {
        std::string name;
        bool closed = false;
        for (++i; i < text.size(); ++i) {
            if (text[i] != '\'') {
                name += text[i];
            } else if (i + 1 < text.size() && text[i + 1] == '\'') {
                name += '\'';
                ++i;
            } else {
                closed = true;
                ++i;
                break;
            }
        }
        if (!closed) break;
        names.push_back(name);
    }
    return names;
}
