#pragma once
// Reading the XML parts of a workbook into a handler, event by event, within
// bounds: elements nest at most XmlLimits::maxDepth deep, no one tag or
// text may be longer than XmlLimits::maxTokenBytes (no cell holds a value
// near that), and a document type declaration is refused, since its
// entities could make a tiny part expand without bound. A document in
// another encoding (a byte-order mark or its declaration says so) is turned
// into UTF-8 through the import's transcoder first. Elements are known by
// their local names, without a namespace prefix. The tokenizer underneath
// is our own (xml_pull.h): libexpat read a million-row sheet a fifth
// slower, which made the whole import more than a tenth slower.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace importer {

struct XmlAttribute {
    std::string_view name;  // as written, prefix included
    std::string_view value;  // entities replaced
};

// The attributes of a start tag, valid during the handler's call.
class XmlAttributes {
public:
    explicit XmlAttributes(std::span<const XmlAttribute> attributes) : m_attributes(attributes) {}
    // The value of the attribute of that exact name (prefix included), "" when none.
    std::string_view value(std::string_view qualifiedName) const;
    // The value of the first attribute with a namespace prefix and that
    // local name (such as r:id, whatever the prefix), "" when none.
    std::string_view prefixedValue(std::string_view localName) const;

private:
    std::span<const XmlAttribute> m_attributes;
};

// What a reader of one kind of part does with a document; each returns
// false to stop reading (the handler keeps its own reason).
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual bool startElement(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual bool endElement(std::string_view name) = 0;
    // Text inside elements, entities replaced, line ends made '\n'; a text
    // broken by a comment or a CDATA section comes in several pieces.
    virtual bool text(std::string_view piece) = 0;
};

struct XmlLimits {
    std::size_t maxDepth = 64;
    std::size_t maxTokenBytes = std::size_t(1) << 20;
};

enum class XmlResult { Done, Stopped, Invalid, FeedFailed };

// Fills `chunk` with the next piece of the document, empty at its end;
// false when the data could not be read.
using XmlFeed = std::function<bool(std::string& chunk)>;

// Reads one whole document into the handler: Done at its end, Stopped when
// the handler asked, Invalid for a document that is not well-formed or
// breaks a limit (error() and line() say why and where), FeedFailed when
// the feed did.
class XmlReader {
public:
    explicit XmlReader(XmlLimits limits = {}) : m_limits(limits) {}
    XmlResult read(const XmlFeed& feed, XmlHandler& handler);
    const std::string& error() const { return m_error; }
    std::size_t line() const { return m_line; }

private:
    XmlLimits m_limits;
    std::string m_error;
    std::size_t m_line = 0;
};

}  // namespace importer
