#include "import/text_encoding.h"

#include <algorithm>

#include "platform/language/language.h"
#include "store/utf8.h"
#include "import/transcoder.h"

namespace importer {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

unsigned char byteAt(std::string_view bytes, std::size_t i)
{
    return static_cast<unsigned char>(bytes[i]);
}

std::size_t lineAt(std::string_view bytes, std::size_t offset)
{
    return 1 + std::size_t(std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(offset), '\n'));
}

DecodedText failure(TextEncoding encoding, std::size_t line, std::string message)
{
    DecodedText result;
    result.encoding = encoding;
    result.errorLine = line;
    result.error = std::move(message);
    return result;
}

// Text that is UTF-8 as it stands (a view), or was converted to it.
DecodedText success(TextEncoding encoding, std::string_view original, std::optional<std::string> converted = {})
{
    DecodedText result;
    result.ok = true;
    result.encoding = encoding;
    result.original = original;
    result.converted = std::move(converted);
    return result;
}

// UTF-16 after its byte-order mark; a lone surrogate or an odd byte count is
// a damaged file, not something to repair.
DecodedText decodeUtf16(std::string_view body, bool bigEndian)
{
    Transcoder transcoder(bigEndian ? "UTF-16BE" : "UTF-16LE");
    std::string out;
    out.reserve(body.size());
    if (!transcoder.convert(body, out, true))
        return failure(TextEncoding::Utf16WithBom, 1 + std::size_t(std::count(out.begin(), out.end(), '\n')),
                       lang::tr("the file starts with a UTF-16 mark but is not valid UTF-16",
                                "文件以 UTF-16 标记开头，但内容不是有效的 UTF-16"));
    return success(TextEncoding::Utf16WithBom, {}, std::move(out));
}

// A text without a byte-order mark that holds NUL bytes: UTF-16 when the NULs
// keep to one of the two byte positions (the high bytes of ASCII characters).
DecodedText refuseNulBytes(std::string_view bytes)
{
    std::size_t even = 0, odd = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\0')
            ++(i % 2 ? odd : even);
    if (std::max(even, odd) * 10 >= (even + odd) * 9)
        return failure(TextEncoding::Utf8, 1,
                       lang::tr("the file looks like UTF-16 without a byte-order mark; save it as CSV UTF-8 "
                                "(or as Unicode text with its byte-order mark)",
                                "文件看起来是没有字节顺序标记（BOM）的 UTF-16；请另存为 CSV UTF-8 "
                                "（或带字节顺序标记的 Unicode 文本）"));
    const std::size_t offset = bytes.find('\0');
    return failure(TextEncoding::Utf8, lineAt(bytes, offset),
                   lang::tr("the file holds NUL bytes: it is not a text file", "文件含有 NUL 字节，不是文本文件"));
}

bool isAsciiLetter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Offset of the first sign that GB18030 bytes are really a Western 8-bit
// text, or npos. Latin-1 letters are single high bytes; read as GB18030 they
// pair with the following ASCII letter into a rare two-byte character, and
// such a character glued to Latin letters does not occur in Chinese text.
// Rare characters of real names (玥 AB68, 赟 DA53) stand between Chinese
// characters, spaces or separators and are kept.
std::size_t implausibleGb18030At(std::string_view bytes)
{
    bool previousWasLetter = false;
    bool commonSeen = false;
    std::size_t firstHigh = std::string_view::npos;
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = byteAt(bytes, i);
        if (lead < 0x80) {
            previousWasLetter = isAsciiLetter(lead);
            ++i;
            continue;
        }
        firstHigh = std::min(firstHigh, i);
        if (i + 1 < bytes.size() && byteAt(bytes, i + 1) >= 0x30 && byteAt(bytes, i + 1) <= 0x39) {
            previousWasLetter = false;  // a four-byte character
            i += 4;
            continue;
        }
        const unsigned char trail = i + 1 < bytes.size() ? byteAt(bytes, i + 1) : 0;
        const bool common = lead >= 0xA1 && lead <= 0xF7 && trail >= 0xA1;
        commonSeen = commonSeen || common;
        const bool nextIsLetter = i + 2 < bytes.size() && isAsciiLetter(byteAt(bytes, i + 2));
        if (!common && isAsciiLetter(trail) && (previousWasLetter || nextIsLetter))
            return i;
        previousWasLetter = false;
        i += 2;
    }
    return commonSeen ? std::string_view::npos : firstHigh;
}

DecodedText refuseAsNeither(std::string_view bytes, std::size_t offset)
{
    return failure(TextEncoding::Gb18030, lineAt(bytes, offset),
                   lang::trf("the text is neither UTF-8 nor GB18030 (it looks like Latin-1 or another Western "
                             "encoding from byte %1 on); save the file as CSV UTF-8",
                             "文本既不是 UTF-8 也不是 GB18030（从第 %1 个字节起像是 Latin-1 等西文编码）；"
                             "请将文件另存为 CSV UTF-8",
                             {std::to_string(offset)}));
}

DecodedText convertFromGb18030(std::string_view bytes)
{
    Transcoder transcoder("GB18030");
    if (!transcoder.isOpen())
        return failure(TextEncoding::Gb18030, 0,
                       lang::tr("this system cannot convert GB18030 text", "本系统无法转换 GB18030 文本"));
    std::string out;
    if (!transcoder.convert(bytes, out, true)) {
        const std::size_t offset = std::size_t(transcoder.failedAt());
        if (transcoder.endedInside())
            return failure(TextEncoding::Gb18030, lineAt(bytes, offset),
                           lang::tr("the file ends inside a character", "文件在一个字符的中间结束"));
        return refuseAsNeither(bytes, offset);
    }
    const std::size_t implausible = implausibleGb18030At(bytes);
    if (implausible != std::string_view::npos)
        return refuseAsNeither(bytes, implausible);
    return success(TextEncoding::Gb18030, {}, std::move(out));
}

}  // namespace

DecodedText decodeText(std::string_view bytes)
{
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        const std::string_view body = bytes.substr(kUtf8Bom.size());
        // A mark promises UTF-8; guessing another encoding would hide a damaged file.
        if (!store::IsValidUtf8(body)) {
            std::string_view rest = body;
            while (!rest.empty() && store::Utf8SequenceLength(rest) != 0)
                rest.remove_prefix(store::Utf8SequenceLength(rest));
            return failure(TextEncoding::Utf8WithBom, lineAt(body, body.size() - rest.size()),
                           lang::tr("the file starts with a UTF-8 mark but holds bytes that are not UTF-8",
                                    "文件以 UTF-8 标记开头，但含有不是 UTF-8 的字节"));
        }
        return success(TextEncoding::Utf8WithBom, body);
    }
    if (bytes.size() >= 2 && byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xFE)
        return decodeUtf16(bytes.substr(2), false);
    if (bytes.size() >= 2 && byteAt(bytes, 0) == 0xFE && byteAt(bytes, 1) == 0xFF)
        return decodeUtf16(bytes.substr(2), true);
    if (bytes.find('\0') != std::string_view::npos)
        return refuseNulBytes(bytes);
    if (store::IsValidUtf8(bytes))
        return success(TextEncoding::Utf8, bytes);
    return convertFromGb18030(bytes);
}

}  // namespace importer
