#pragma once
// Small text helpers the store shares.

#include <string>
#include <string_view>

namespace store {

// Without the spaces, tabs and carriage returns around it.
std::string_view Trimmed(std::string_view text);

// With A to Z made lower case; other bytes (UTF-8 included) as they are.
std::string LowerAscii(std::string_view text);

}  // namespace store
