#pragma once
// Turning the bytes of a text file into UTF-8. Files from Chinese spreadsheet
// programs come as UTF-8 (often with a byte-order mark), as GB18030/GBK, or,
// from "Unicode text" exports, as UTF-16 with a byte-order mark. Anything
// else is refused rather than guessed: a wrong guess imports every accented
// name as nonsense characters.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace importer {

enum class TextEncoding { Utf8, Utf8WithBom, Utf16WithBom, Gb18030 };

struct DecodedText {
    bool ok = false;
    TextEncoding encoding = TextEncoding::Utf8;
    std::string error;          // why the bytes could not be read, when !ok
    std::size_t errorLine = 0;  // 1-based line of the first bad byte, 0 if none applies

    // The text as UTF-8, without a byte-order mark: converted, or a view
    // into the bytes given to decodeText() when they were UTF-8 already (as
    // long as those bytes live).
    std::optional<std::string> converted;
    std::string_view original;
    std::string_view text() const { return converted ? std::string_view(*converted) : original; }
};

// In this order:
// - a UTF-8 byte-order mark: the rest must be valid UTF-8;
// - a UTF-16 byte-order mark (either byte order): decoded, surrogates checked;
// - NUL bytes: refused, as UTF-16 without a byte-order mark when they fall on
//   every other byte, else as not a text file;
// - valid UTF-8: taken as it is;
// - otherwise converted from GB18030, and refused when the conversion fails
//   or the result is implausible: a two-byte character outside the common
//   (GB2312) area that touches a Latin letter ("Müller" read as GB18030 gives
//   M, 黮, ler; "Élodie" gives 蒷odie), or no character of the common area
//   in the whole text.
DecodedText decodeText(std::string_view bytes);

}  // namespace importer
