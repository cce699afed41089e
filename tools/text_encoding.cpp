#include "tools/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace dbtool {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Length of the well-formed UTF-8 sequence at the start of bytes, 0 if none.
// Ranges of the second byte follow RFC 3629's syntax table: E0 and F0 exclude
// overlong forms, ED excludes surrogates, F4 stops at U+10FFFF.
std::size_t utf8SequenceLength(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

std::size_t lineAt(std::string_view bytes, std::size_t offset)
{
    return 1 + std::size_t(std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(offset), '\n'));
}

DecodedText convertFromGb18030(std::string_view bytes)
{
    DecodedText result;
    result.encoding = TextEncoding::Gb18030;
    iconv_t converter = iconv_open("UTF-8", "GB18030");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        result.error = "this system cannot convert GB18030 text";
        return result;
    }
    // A GB18030 character is at most 4 bytes and becomes at most 4 UTF-8 bytes,
    // except two-byte characters that become three; twice the input is enough.
    std::string out(bytes.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    const int savedErrno = errno;
    iconv_close(converter);
    if (rc == static_cast<std::size_t>(-1)) {
        const std::size_t offset = bytes.size() - inLeft;
        result.errorLine = lineAt(bytes, offset);
        result.error = savedErrno == EINVAL ? "the file ends inside a character"
                                            : "the text is neither UTF-8 nor GB18030 (bad byte at offset " +
                                                  std::to_string(offset) + ")";
        return result;
    }
    out.resize(out.size() - outLeft);
    result.text = std::move(out);
    result.ok = true;
    return result;
}

}  // namespace

bool isValidUtf8(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t length = utf8SequenceLength(bytes);
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

DecodedText decodeText(std::string_view bytes)
{
    DecodedText result;
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        result.errorLine = 1;
        result.error = "the file is UTF-16; save it as CSV (UTF-8) or CSV (GB18030) instead";
        return result;
    }
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        const std::string_view body = bytes.substr(kUtf8Bom.size());
        result.encoding = TextEncoding::Utf8WithBom;
        if (!isValidUtf8(body)) {
            // A mark promises UTF-8; guessing another encoding would hide a damaged file.
            std::string_view rest = body;
            while (!rest.empty() && utf8SequenceLength(rest) != 0)
                rest.remove_prefix(utf8SequenceLength(rest));
            result.errorLine = lineAt(body, body.size() - rest.size());
            result.error = "the file starts with a UTF-8 mark but holds bytes that are not UTF-8";
            return result;
        }
        result.text.assign(body);
        result.ok = true;
        return result;
    }
    if (isValidUtf8(bytes)) {
        result.text.assign(bytes);
        result.ok = true;
        return result;
    }
    return convertFromGb18030(bytes);
}

}  // namespace dbtool
