#include "base/TraceText.h"

#include <algorithm>
#include <cstdio>

#include "base/AsciiCase.h"

namespace {

bool IsControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

bool EndsUrl(char c)
{
    return c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || IsControl(c);
}

// The authority ends where the path, query or fragment begins; a backslash too, which the
// browsers' own parsers take for a slash. Not at a tab or line break: browsers drop those
// from a URL, and what follows still counts as the authority.
bool EndsAuthority(char c)
{
    return c == '/' || c == '?' || c == '#' || c == '\\';
}

// A value ends at the next parameter, or at a '?' that begins a query of a URL inside it.
bool EndsParameter(char c)
{
    return c == '&' || c == ';' || c == '?' || c == '#' || EndsUrl(c);
}

// A parameter name that may carry a secret. Masking one too many costs a value in a trace;
// one too few puts a password in a file users send around.
bool SecretName(std::string_view name)
{
    static constexpr const char* kSecretWords[] = {"pass", "pwd", "token", "secret", "key",
                                                   "auth", "session", "sid", "sig", "credential"};
    const std::string lower = AsciiLowerCase(std::string(name));
    for (const char* word : kSecretWords) {
        if (lower.find(word) != std::string::npos) return true;
    }
    return false;
}

// Every "scheme://" in the text, URLs inside others' queries included, loses the user
// information of its authority: all up to the authority's last '@'. An authority that runs to
// the end of the text (no path) may take an '@' of the words after it too: the trace then
// loses some text rather than keep a password.
std::string WithoutUserInfo(std::string_view text)
{
    std::string out;
    size_t at = 0;
    for (size_t mark; (mark = text.find("://", at)) != std::string_view::npos;) {
        const size_t authority = mark + 3;
        size_t end = authority;
        while (end < text.size() && !EndsAuthority(text[end])) ++end;
        const size_t atSign = text.substr(authority, end - authority).rfind('@');
        out.append(text.substr(at, authority - at));
        at = atSign == std::string_view::npos ? authority : authority + atSign + 1;
    }
    out.append(text.substr(at));
    return out;
}

// The values of secret-looking parameters of every query after the first URL become "***".
std::string WithoutSecretValues(std::string_view text)
{
    const size_t firstUrl = text.find("://");
    if (firstUrl == std::string_view::npos) return std::string(text);
    std::string out;
    size_t at = 0;
    for (size_t query; (query = text.find('?', std::max(at, firstUrl))) != std::string_view::npos;) {
        out.append(text.substr(at, query + 1 - at));
        at = query + 1;
        while (at < text.size() && text[at] != '#' && !EndsUrl(text[at])) {
            size_t end = at;
            while (end < text.size() && !EndsParameter(text[end])) ++end;
            const std::string_view parameter = text.substr(at, end - at);
            const size_t equals = parameter.find('=');
            if (equals != std::string_view::npos && SecretName(parameter.substr(0, equals))) {
                out.append(parameter.substr(0, equals + 1));
                out.append("***");
            } else {
                out.append(parameter);
            }
            at = end;
            if (at < text.size() && (text[at] == '&' || text[at] == ';' || text[at] == '?')) out.push_back(text[at++]);
        }
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace

std::string WithoutCredentials(std::string_view text)
{
    // User information goes last: nothing removed after it can join an authority to an '@'.
    return WithoutUserInfo(WithoutSecretValues(text));
}

std::string TraceLine(const TraceTime& time, unsigned long processId, std::string_view subject,
                      std::string_view event)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", time.year % 10000,
                  time.month % 100, time.day % 100, time.hour % 100, time.minute % 100, time.second % 100,
                  time.millisecond % 1000, processId);
    std::string line(stamp);
    line.append(subject);
    line.append(": ");
    const size_t start = line.size();
    line.append(event.substr(0, kTraceEventChars));
    for (size_t i = start; i < line.size(); ++i) {
        if (IsControl(line[i])) line[i] = '?';
    }
    line.append("\r\n");
    return line;
}

std::string DroppedLinesEvent(size_t count)
{
    return std::to_string(count) + " line(s) dropped: the trace's buffer was full";
}
