// UTF-8 as JSON carries it: the parser refuses what is not well formed, the serialiser never
// writes it, and both ask the same question.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The length of the well-formed sequence that starts at text[at], or 0 when none does there:
// a stray continuation byte, a cut sequence, an overlong form, a surrogate or a code point
// past U+10FFFF.
size_t Utf8SequenceLength(std::string_view text, size_t at);

// Appends a scalar value (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(uint32_t codePoint, std::string& out);
