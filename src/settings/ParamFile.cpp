#include "settings/ParamFile.h"

#include <cstring>
#include <new>

ParameterPairs TokenizeParamFile(const char* text, size_t size)
{
    ParameterPairs pairs;
    if (!text || size == 0) return pairs;

    // The text ends at its first NUL.
    const char* end = static_cast<const char*>(std::memchr(text, '\0', size));
    if (!end) end = text + size;

    auto find = [end](const char* from, char c) -> const char* {
        const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
        return static_cast<const char*>(hit);
    };

    const char* at = text;
    // When the list can grow no more, the pairs gathered so far are all there is.
    try {
        while (at < end) {
            const char* nameOpen = find(at, '"');
            if (!nameOpen) break;
            const char* nameClose = find(nameOpen + 1, '"');
            if (!nameClose) break;
            const char* equals = find(nameClose + 1, '=');
            if (!equals) break;
            const char* valueOpen = find(equals + 1, '"');
            if (!valueOpen) break;
            const char* valueClose = find(valueOpen + 1, '"');
            if (!valueClose) break;
            pairs.emplace_back(std::string(nameOpen + 1, nameClose),
                               std::string(valueOpen + 1, valueClose));
            at = valueClose + 1;
        }
    } catch (const std::bad_alloc&) {
    }
    return pairs;
}
