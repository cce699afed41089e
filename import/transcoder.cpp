#include "import/transcoder.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace importer {

namespace {

// The encodings of participant lists and of the XML that spreadsheet
// programs write, as iconv names them.
constexpr std::string_view kAccepted[] = {
    "UTF-8",       "UTF-16LE",    "UTF-16BE",    "GB18030",     "GBK",         "GB2312",      "CP936",
    "BIG5",        "BIG5-HKSCS",  "SHIFT_JIS",   "SJIS",        "CP932",       "EUC-JP",      "EUC-KR",
    "CP949",       "US-ASCII",    "ASCII",       "LATIN1",      "ISO-8859-1",  "ISO-8859-2",  "ISO-8859-5",
    "ISO-8859-7",  "ISO-8859-9",  "ISO-8859-15", "WINDOWS-1250", "WINDOWS-1251", "WINDOWS-1252", "WINDOWS-1253",
    "WINDOWS-1254", "WINDOWS-1257", "CP1250",    "CP1251",      "CP1252",      "KOI8-R",      "KOI8-U",
};

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

iconv_t handle(void* p)
{
    return static_cast<iconv_t>(p);
}

}  // namespace

bool Transcoder::isAccepted(std::string_view encoding)
{
    const std::string name = upper(encoding);
    return std::find(std::begin(kAccepted), std::end(kAccepted), name) != std::end(kAccepted);
}

bool Transcoder::isUtf8(std::string_view encoding)
{
    const std::string name = upper(encoding);
    return name == "UTF-8" || name == "UTF8";
}

Transcoder::Transcoder(std::string_view encoding)
{
    if (!isAccepted(encoding))
        return;
    const iconv_t converter = iconv_open("UTF-8", upper(encoding).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return;
    m_iconv = converter;
    m_open = true;
}

Transcoder::~Transcoder()
{
    if (m_open)
        iconv_close(handle(m_iconv));
}

bool Transcoder::convert(std::string_view input, std::string& out, bool last)
{
    if (!m_open)
        return false;
    if (m_held.empty()) {
        std::size_t held = 0;
        if (!convertSpan(input, out, last, held))
            return false;
        m_consumed += input.size() - held;
        m_held.assign(input.substr(input.size() - held));
        return true;
    }
    // A character was cut by the last input's end: it goes first.
    std::string joined = m_held + std::string(input);
    const std::uint64_t before = m_consumed;
    std::size_t held = 0;
    if (!convertSpan(joined, out, last, held))
        return false;
    m_consumed = before + joined.size() - held;
    m_held.assign(std::string_view(joined).substr(joined.size() - held));
    return true;
}

// Converts all of `input` but a cut character at its end (its length in
// `held`); E2BIG only means that the output needs more room.
bool Transcoder::convertSpan(std::string_view input, std::string& out, bool last, std::size_t& held)
{
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        // Three bytes of UTF-8 for each byte in is enough for every accepted encoding.
        const std::size_t start = out.size();
        out.resize(start + inLeft * 3 + 16);
        char* outPtr = out.data() + start;
        std::size_t outLeft = out.size() - start;
        const std::size_t rc = iconv(handle(m_iconv), &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.resize(out.size() - outLeft);
        if (rc != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        m_failedAt = m_consumed + (input.size() - inLeft);
        if (error == EINVAL && !last) {
            held = inLeft;
            return true;
        }
        m_endedInside = error == EINVAL;
        return false;
    }
    held = 0;
    return true;
}

}  // namespace importer
