// Input quoted in a message (a problem line of a registry script, a step of a UI script, a
// journal line): whatever a file held reaches the reader's terminal as plain text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace win {

// How much of an input line a message quotes.
inline constexpr size_t kQuotedInputLimit = 60;

// utf8 with control bytes (C0 and DEL, and the C1 controls U+0080..U+009F) and bytes that
// are not UTF-8 written as \xNN, so no escape sequence passes and a NUL cuts nothing short;
// cut after limit characters (0: no limit), the cut marked with "...".
std::string QuotedInput(std::string_view utf8, size_t limit = kQuotedInputLimit);

// The length of the well-formed UTF-8 sequence at s[0] (s not empty), 0 when there is none.
size_t Utf8SequenceLength(std::string_view s);

} // namespace win
