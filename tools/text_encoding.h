#pragma once
// Turning the bytes of a text file into UTF-8: files from Chinese spreadsheet
// programs come either as UTF-8 (often with a byte-order mark) or as
// GB18030/GBK.

#include <cstddef>
#include <string>
#include <string_view>

namespace dbtool {

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

enum class TextEncoding { Utf8, Utf8WithBom, Gb18030 };

struct DecodedText {
    bool ok = false;
    TextEncoding encoding = TextEncoding::Utf8;
    std::string text;   // UTF-8, without a byte-order mark
    std::string error;  // why the bytes could not be read, when !ok
    std::size_t errorLine = 0;  // 1-based line of the first bad byte, 0 if none applies
};

// A byte-order mark selects UTF-8 (and then the rest must be valid UTF-8);
// otherwise valid UTF-8 is taken as it is and anything else is converted
// from GB18030. UTF-16 files are refused with a hint.
DecodedText decodeText(std::string_view bytes);

}  // namespace dbtool
