#pragma once
// Text of another encoding turned into UTF-8 through the C library's iconv,
// the one converter of the import: GB18030/GBK lists, UTF-16 "Unicode
// text", and XML parts that declare another encoding. Only encodings that
// lists are really written in are accepted, so that a file cannot choose
// an exotic converter.

#include <cstdint>
#include <string>
#include <string_view>

namespace importer {

class Transcoder {
public:
    // A converter from `encoding` (any case) to UTF-8; isOpen() is false
    // when the encoding is not one of those accepted or iconv lacks it.
    explicit Transcoder(std::string_view encoding);
    ~Transcoder();
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    bool isOpen() const { return m_open; }

    // Appends the UTF-8 of `input` to `out`. A character cut by the end of
    // `input` is held back for the next call unless `last` says that no more
    // comes. False when the bytes are not valid in the encoding, or end
    // inside a character at the last call; failedAt() and endedInside() then
    // tell where and how.
    bool convert(std::string_view input, std::string& out, bool last);
    // Offset of the bad byte, counted over all input converted so far.
    std::uint64_t failedAt() const { return m_failedAt; }
    bool endedInside() const { return m_endedInside; }

    // Whether an encoding name is one this program reads; whether it names UTF-8.
    static bool isAccepted(std::string_view encoding);
    static bool isUtf8(std::string_view encoding);

private:
    bool convertSpan(std::string_view input, std::string& out, bool last, std::size_t& held);

    void* m_iconv = nullptr;  // iconv_t
    bool m_open = false;
    std::string m_held;            // the start of a character cut by the last input's end
    std::uint64_t m_consumed = 0;  // input bytes converted before m_held
    std::uint64_t m_failedAt = 0;
    bool m_endedInside = false;
};

}  // namespace importer
