// What the exchange test's two sides agree on: the local file the plug-in side reports
// for a requested name "<word>-<length>", a path of that length.
#pragma once

#include <cstdlib>
#include <string>

inline std::string ExchangePath(const std::string& url)
{
    std::string path = "C:\\cache\\" + url;
    size_t dash = url.rfind('-');
    size_t length = dash == std::string::npos ? 0 : std::strtoul(url.c_str() + dash + 1, nullptr, 10);
    while (path.size() < length) path += static_cast<char>('a' + path.size() % 26);
    return path;
}
