#pragma once
// Well-formed UTF-8 (RFC 3629): what the readers of participant lists accept
// as UTF-8, and what the results files must hold.

#include <cstddef>
#include <string>
#include <string_view>

namespace store {

// The length of the well-formed UTF-8 sequence at the start of `bytes`, 0 if
// there is none (a cut sequence, an overlong form, a surrogate, a value above
// U+10FFFF, a stray continuation byte) or `bytes` is empty.
std::size_t Utf8SequenceLength(std::string_view bytes);

// True when all of `bytes` is well-formed UTF-8 (the empty text is).
bool IsValidUtf8(std::string_view bytes);

// Appends the code point `c` (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// The bytes with every byte that starts no well-formed sequence replaced by
// U+FFFD, so that a file that must be UTF-8 stays valid.
std::string ValidUtf8(std::string_view bytes);

}  // namespace store
