#include "Base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t at = 0;
    for (; at + 3 <= bytes.size(); at += 3) {
        const unsigned word = static_cast<unsigned char>(bytes[at]) << 16 |
                              static_cast<unsigned char>(bytes[at + 1]) << 8 | static_cast<unsigned char>(bytes[at + 2]);
        out += kAlphabet[word >> 18 & 63];
        out += kAlphabet[word >> 12 & 63];
        out += kAlphabet[word >> 6 & 63];
        out += kAlphabet[word & 63];
    }
    const size_t left = bytes.size() - at;
    if (left > 0) {
        unsigned word = static_cast<unsigned char>(bytes[at]) << 16;
        if (left == 2) word |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        out += kAlphabet[word >> 18 & 63];
        out += kAlphabet[word >> 12 & 63];
        out += left == 2 ? kAlphabet[word >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

bool DecodeBase64(std::string_view text, std::string& out)
{
    out.clear();
    if (text.size() % 4 != 0) return false;
    out.reserve(text.size() / 4 * 3);
    for (size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        const int padding = last ? (text[at + 3] == '=') + (text[at + 2] == '=' && text[at + 3] == '=') : 0;
        unsigned word = 0;
        for (int i = 0; i < 4 - padding; ++i) {
            const int sextet = Sextet(text[at + i]);
            if (sextet < 0) return false;
            word |= static_cast<unsigned>(sextet) << (18 - 6 * i);
        }
        // The bits a padded end does not carry must be zero, so that one text means one body.
        if ((padding == 1 && (word & 0xFF)) || (padding == 2 && (word & 0xFFFF))) return false;
        out += static_cast<char>(word >> 16);
        if (padding < 2) out += static_cast<char>(word >> 8 & 0xFF);
        if (padding < 1) out += static_cast<char>(word & 0xFF);
    }
    return true;
}
