#include "import/xml_pull.h"

#include <algorithm>
#include <cstring>

#include "import/records.h"
#include "import/transcoder.h"
#include "store/utf8.h"

namespace importer {

namespace {

constexpr std::size_t kReadAhead = 64 * 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool startsWith(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

// A character reference's code point, 0 when it names none that XML allows.
char32_t referencedCharacter(std::string_view digits)
{
    const bool hex = startsWith(digits, "x");
    if (hex)
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8)
        return 0;
    char32_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return 0;
        value = value * (hex ? 16 : 10) + char32_t(digit);
    }
    const bool allowed = value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
                         (value >= 0xE000 && value <= 0xFFFD) || (value >= 0x10000 && value <= 0x10FFFF);
    return allowed ? value : 0;
}

}  // namespace

XmlPull::XmlPull(Feed feed, XmlLimits limits) : m_feed(std::move(feed)), m_limits(limits) {}

XmlPull::~XmlPull() = default;

bool XmlPull::fail(std::string why)
{
    if (m_error.empty())
        m_error = std::move(why);
    m_token = Token::Invalid;
    return false;
}

// Reads on until `wanted` bytes past m_pos are held, or all of it is; false
// when fewer are held in the end. Grows the buffer by at least what it holds,
// so that a long token is not searched again and again.
bool XmlPull::fill(std::size_t wanted)
{
    // One token may not hold the reader's memory: beyond the limit, it is refused.
    if (wanted > m_limits.maxTokenBytes && m_buffer.size() - m_pos < wanted)
        return fail("a tag or text longer than " + std::to_string(m_limits.maxTokenBytes) + " bytes");
    while (m_buffer.size() - m_pos < wanted && !m_fedAll && !m_feedFailed) {
        const std::size_t goal = m_buffer.size() + std::max(kReadAhead, m_buffer.size() - m_pos);
        while (m_buffer.size() < goal && !m_fedAll) {
            std::string chunk;
            if (!m_feed(chunk)) {
                m_feedFailed = true;
                m_token = Token::Invalid;
                return false;
            }
            m_fedAll = chunk.empty();
            if (m_transcoder) {
                std::string converted;
                if (!m_transcoder->convert(chunk, converted, m_fedAll))
                    return fail("text that is not valid in the document's encoding");
                chunk = std::move(converted);
            }
            m_buffer += chunk;
        }
    }
    return m_buffer.size() - m_pos >= wanted;
}

std::size_t XmlPull::lineNumber() const
{
    const std::size_t end = std::min(m_pos, m_buffer.size());
    return m_linesBefore + 1 + std::size_t(std::count(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(end), '\n'));
}

// The byte-order mark or XML declaration: a document not in UTF-8 is
// transcoded from here on.
bool XmlPull::startDocument()
{
    fill(4);
    const std::string_view head(m_buffer);
    const char* utf16 = nullptr;
    if (startsWith(head, "\xEF\xBB\xBF")) {
        m_pos = 3;
    } else if (startsWith(head, "\xFF\xFE") || startsWith(head, std::string_view("<\0?\0", 4))) {
        utf16 = "UTF-16LE";
        m_pos = startsWith(head, "\xFF\xFE") ? 2 : 0;
    } else if (startsWith(head, "\xFE\xFF") || startsWith(head, std::string_view("\0<\0?", 4))) {
        utf16 = "UTF-16BE";
        m_pos = startsWith(head, "\xFE\xFF") ? 2 : 0;
    }
    const auto transcodeFrom = [this](std::string_view encoding) {
        m_transcoder = std::make_unique<Transcoder>(encoding);
        if (!m_transcoder->isOpen())
            return fail("the encoding " + quoteValue(encoding) + " is not supported");
        std::string converted;
        if (!m_transcoder->convert(std::string_view(m_buffer).substr(m_pos), converted, m_fedAll))
            return fail("text that is not valid in the document's encoding");
        m_linesBefore += std::size_t(std::count(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_pos), '\n'));
        m_buffer = std::move(converted);
        m_pos = 0;
        return true;
    };
    if (utf16 && !transcodeFrom(utf16))
        return false;
    if (!fill(6) || !startsWith(std::string_view(m_buffer).substr(m_pos), "<?xml") ||
        !isSpace(m_buffer[m_pos + 5]))
        return !hasError() && !m_feedFailed;
    std::size_t end = 0;
    if (!skipUntil("?>", m_pos, "the XML declaration", end))
        return false;
    const std::string_view declaration = std::string_view(m_buffer).substr(m_pos, end - m_pos);
    m_pos = end + 2;
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos || m_transcoder)
        return true;
    std::string_view rest = declaration.substr(at + 8);
    while (!rest.empty() && (isSpace(rest.front()) || rest.front() == '='))
        rest.remove_prefix(1);
    if (rest.empty() || (rest.front() != '"' && rest.front() != '\''))
        return fail("a malformed XML declaration");
    const std::size_t close = rest.find(rest.front(), 1);
    if (close == std::string_view::npos)
        return fail("a malformed XML declaration");
    const std::string_view encoding = rest.substr(1, close - 1);
    return Transcoder::isUtf8(encoding) || transcodeFrom(encoding);
}

// Finds `end` at or after `from`, reading on as needed.
bool XmlPull::skipUntil(std::string_view end, std::size_t from, std::string_view what, std::size_t& found)
{
    for (std::size_t searched = from;;) {
        found = m_buffer.find(end, searched);
        if (found != std::string::npos)
            return true;
        searched = std::max(from, m_buffer.size() - std::min(m_buffer.size(), end.size() - 1));
        if (!fill(m_buffer.size() - m_pos + 1))
            return m_feedFailed ? false : fail("the document ends inside " + std::string(what));
    }
}

bool XmlPull::advance()
{
    if (m_token == Token::Invalid || m_token == Token::EndDocument || m_feedFailed)
        return false;
    m_attributes.clear();
    if (m_closeNow) {
        m_closeNow = false;
        m_name = std::move(m_open.back());
        m_open.pop_back();
        m_token = Token::EndElement;
        return true;
    }
    if (!m_started) {
        m_started = true;
        if (!startDocument())
            return false;
    }
    // What was read is dropped now and then; nothing points into it any more.
    if (m_pos > kReadAhead && m_pos * 2 > m_buffer.size()) {
        m_linesBefore += std::size_t(std::count(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_pos), '\n'));
        m_buffer.erase(0, m_pos);
        m_pos = 0;
    }
    for (;;) {
        m_token = Token::None;
        if (!fill(1)) {
            if (m_feedFailed || hasError())
                return false;
            if (!m_open.empty())
                return fail("the document ends inside the element " + quoteValue(m_open.back()));
            if (!m_sawRoot)
                return fail("the document holds no element");
            m_token = Token::EndDocument;
            return false;
        }
        const bool read = m_buffer[m_pos] == '<' ? readMarkup() : readText();
        if (!read)
            return false;
        if (m_token != Token::None)
            return true;
    }
}

bool XmlPull::readMarkup()
{
    if (!fill(9) && (m_feedFailed || hasError()))
        return false;
    const std::string_view here = std::string_view(m_buffer).substr(m_pos);
    std::size_t end = 0;
    if (startsWith(here, "<?")) {
        if (!skipUntil("?>", m_pos + 2, "a processing instruction", end))
            return false;
        m_pos = end + 2;
        return true;
    }
    if (startsWith(here, "<!--")) {
        if (!skipUntil("-->", m_pos + 4, "a comment", end))
            return false;
        m_pos = end + 3;
        return true;
    }
    if (startsWith(here, "<![CDATA[")) {
        if (m_open.empty())
            return fail("a CDATA section outside the document's element");
        if (!skipUntil("]]>", m_pos + 9, "a CDATA section", end))
            return false;
        const std::string_view raw = std::string_view(m_buffer).substr(m_pos + 9, end - m_pos - 9);
        if (!store::IsValidUtf8(raw))
            return fail("text that is not well-formed UTF-8");
        m_text = raw;
        m_pos = end + 3;
        m_token = Token::Text;
        return true;
    }
    if (startsWith(here, "<!"))
        return fail("a document type declaration, which this reader does not accept");
    return startsWith(here, "</") ? readEndTag() : readStartTag();
}

bool XmlPull::readText()
{
    std::size_t end = 0;
    for (std::size_t searched = m_pos;;) {
        end = m_buffer.find('<', searched);
        if (end != std::string::npos)
            break;
        searched = m_buffer.size();
        if (!fill(m_buffer.size() - m_pos + 1)) {
            if (m_feedFailed || hasError())
                return false;
            end = m_buffer.size();
            break;
        }
    }
    const std::string_view raw = std::string_view(m_buffer).substr(m_pos, end - m_pos);
    m_pos = end;
    if (m_open.empty()) {
        if (std::all_of(raw.begin(), raw.end(), isSpace))
            return true;
        return fail("text outside the document's element");
    }
    if (!decode(raw, m_textStore, m_text))
        return false;
    m_token = Token::Text;
    return true;
}

bool XmlPull::readStartTag()
{
    // The tag ends at the first '>' outside a quoted value.
    std::size_t end = m_pos + 1;
    char quote = 0;
    for (;;) {
        for (; end < m_buffer.size(); ++end) {
            const char c = m_buffer[end];
            if (quote)
                quote = c == quote ? 0 : quote;
            else if (c == '"' || c == '\'')
                quote = c;
            else if (c == '>')
                break;
        }
        if (end < m_buffer.size())
            break;
        if (!fill(m_buffer.size() - m_pos + 1))
            return m_feedFailed ? false : fail("the document ends inside a tag");
    }
    std::string_view tag = std::string_view(m_buffer).substr(m_pos + 1, end - m_pos - 1);
    const bool closes = !tag.empty() && tag.back() == '/';
    if (closes)
        tag.remove_suffix(1);
    std::size_t i = 0;
    while (i < tag.size() && !isSpace(tag[i]))
        ++i;
    const std::string_view name = tag.substr(0, i);
    if (name.empty() || name.find_first_of("<&\"'=") != std::string_view::npos)
        return fail("a tag without a proper name");
    std::size_t stored = 0;
    std::vector<std::size_t> storedAt;  // attributes whose value was decoded into the store
    while (i < tag.size()) {
        const std::size_t gap = i;
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i == tag.size())
            break;
        if (i == gap)
            return fail("attributes of <" + quoteValue(name) + "> not apart");
        const std::size_t nameStart = i;
        while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '=')
            ++i;
        const std::string_view attributeName = tag.substr(nameStart, i - nameStart);
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (attributeName.empty() || i == tag.size() || tag[i] != '=')
            return fail("an attribute of <" + quoteValue(name) + "> without a value");
        ++i;
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i == tag.size() || (tag[i] != '"' && tag[i] != '\''))
            return fail("an attribute of <" + quoteValue(name) + "> without quotes");
        const std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos)
            return fail("an attribute of <" + quoteValue(name) + "> without its closing quote");
        const std::string_view raw = tag.substr(i + 1, close - i - 1);
        if (raw.find('<') != std::string_view::npos)
            return fail("a '<' in an attribute of <" + quoteValue(name) + ">");
        i = close + 1;
        if (stored == m_attributeStore.size())
            m_attributeStore.emplace_back();
        std::string_view value;
        if (!decode(raw, m_attributeStore[stored], value))
            return false;
        if (value.data() == m_attributeStore[stored].data()) {
            storedAt.push_back(m_attributes.size());
            ++stored;
        }
        m_attributes.push_back({attributeName, value});
    }
    // The store no longer grows: its texts stay where they are.
    for (std::size_t k = 0; k < storedAt.size(); ++k)
        m_attributes[storedAt[k]].value = m_attributeStore[k];
    if (m_open.empty() && m_sawRoot)
        return fail("a second document element <" + quoteValue(name) + ">");
    if (m_open.size() >= m_limits.maxDepth)
        return fail("elements nested more than " + std::to_string(m_limits.maxDepth) + " deep");
    m_sawRoot = true;
    m_open.emplace_back(name);
    m_name.assign(name);
    m_closeNow = closes;
    m_pos = end + 1;
    m_token = Token::StartElement;
    return true;
}

bool XmlPull::readEndTag()
{
    std::size_t end = 0;
    if (!skipUntil(">", m_pos + 2, "an end tag", end))
        return false;
    std::string_view name = std::string_view(m_buffer).substr(m_pos + 2, end - m_pos - 2);
    while (!name.empty() && isSpace(name.back()))
        name.remove_suffix(1);
    if (m_open.empty())
        return fail("</" + quoteValue(name) + "> without its start tag");
    if (name != m_open.back())
        return fail("</" + quoteValue(name) + "> where </" + quoteValue(m_open.back()) + "> was expected");
    m_name = std::move(m_open.back());
    m_open.pop_back();
    m_pos = end + 1;
    m_token = Token::EndElement;
    return true;
}

// Text as it stands, or with its entities replaced and line ends made '\n'
// in `decoded`; refuses unknown entities, control characters and bytes that
// are not UTF-8.
bool XmlPull::decode(std::string_view raw, std::string& decoded, std::string_view& result)
{
    const auto plain = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x80 && c != '&';
    };
    if (std::all_of(raw.begin(), raw.end(), plain)) {
        result = raw;
        return true;
    }
    decoded.clear();
    for (std::size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '&') {
            const std::size_t semicolon = raw.find(';', i + 1);
            if (semicolon == std::string_view::npos || semicolon - i > 12)
                return fail("an '&' that starts no entity");
            const std::string_view entity = raw.substr(i + 1, semicolon - i - 1);
            static const std::pair<std::string_view, char> kNamed[] = {
                {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
            const auto named = std::find_if(std::begin(kNamed), std::end(kNamed),
                                            [&](const auto& known) { return known.first == entity; });
            if (named != std::end(kNamed)) {
                decoded += named->second;
            } else {
                if (!startsWith(entity, "#"))
                    return fail("the unknown entity &" + std::string(entity) + ";");
                const char32_t character = referencedCharacter(entity.substr(1));
                if (character == 0)
                    return fail("&" + std::string(entity) + "; refers to no character allowed in XML");
                store::AppendUtf8(decoded, character);
            }
            i = semicolon + 1;
        } else if (c == '\r') {
            decoded += '\n';
            i += i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
        } else if (byte < 0x20 && c != '\t' && c != '\n') {
            return fail("a control character in the text");
        } else if (byte >= 0x80) {
            const std::size_t length = store::Utf8SequenceLength(raw.substr(i));
            if (length == 0)
                return fail("text that is not well-formed UTF-8");
            decoded.append(raw.substr(i, length));
            i += length;
        } else {
            decoded += c;
            ++i;
        }
    }
    result = decoded;
    return true;
}

std::string_view XmlPull::name() const
{
    const std::string_view qualified(m_name);
    const std::size_t colon = qualified.rfind(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

}  // namespace importer
