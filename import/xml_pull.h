#pragma once
// The tokenizer behind XmlReader (xml_reader.h): a small pull reader of XML
// documents as spreadsheet programs write them, reading elements, their
// attributes and text from data that arrives in chunks. It checks what a
// reader of a workbook must rely on (tags that close in order, quoted
// attributes, known entities, well-formed UTF-8), refuses a document type
// declaration, whose entities could make a tiny part expand without bound,
// and keeps within its limits: elements nest at most XmlLimits::maxDepth
// deep, and no one token (a tag, a text, a comment) may be longer than
// XmlLimits::maxTokenBytes, so that the buffer stays small whatever the
// document. Documents in other encodings are turned into UTF-8 first.
// Comments and processing instructions are passed over; CDATA sections are
// text.
//
// A workbook's sheet holds millions of tags: this reader keeps each token a
// view into its buffer, so that reading one costs no allocation.

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/xml_reader.h"

namespace importer {

class Transcoder;

class XmlPull {
public:
    // Fills `chunk` with the next piece of the document, empty at its end;
    // false when the data could not be read.
    using Feed = XmlFeed;
    enum class Token { None, StartElement, EndElement, Text, EndDocument, Invalid };

    explicit XmlPull(Feed feed, XmlLimits limits = {});
    ~XmlPull();
    XmlPull(const XmlPull&) = delete;
    XmlPull& operator=(const XmlPull&) = delete;

    // Moves to the next token; false at the end of the document, on an error
    // in it (hasError) or when the feed failed (feedFailed).
    bool advance();
    Token token() const { return m_token; }

    // The current element's name without its namespace prefix.
    std::string_view name() const;
    // The text of a Text token, entities replaced.
    std::string_view text() const { return m_text; }
    // The current start tag's attributes, in the tag's order.
    std::span<const XmlAttribute> attributes() const { return m_attributes; }

    bool hasError() const { return !m_error.empty(); }
    const std::string& errorString() const { return m_error; }
    // The line where reading stopped, counted from 1.
    std::size_t lineNumber() const;
    bool feedFailed() const { return m_feedFailed; }

private:
    bool fail(std::string why);
    bool fill(std::size_t wanted);
    bool startDocument();
    bool readMarkup();
    bool readText();
    bool readStartTag();
    bool readEndTag();
    bool skipUntil(std::string_view end, std::size_t from, std::string_view what, std::size_t& found);
    bool decode(std::string_view raw, std::string& decoded, std::string_view& result);

    Feed m_feed;
    XmlLimits m_limits;
    std::unique_ptr<Transcoder> m_transcoder;
    std::string m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_linesBefore = 0;  // in the part of the document already dropped from the buffer
    bool m_fedAll = false;
    bool m_feedFailed = false;
    bool m_started = false;
    bool m_sawRoot = false;
    bool m_closeNow = false;  // the start tag just read closed itself
    Token m_token = Token::None;
    std::string m_error;

    std::vector<std::string> m_open;  // qualified names of the open elements
    std::string m_name;               // of the current element's tag
    std::vector<XmlAttribute> m_attributes;
    std::vector<std::string> m_attributeStore;  // decoded values that held entities
    std::string m_textStore;
    std::string_view m_text;
};

}  // namespace importer
