#include "import/xml_reader.h"

#include "import/xml_pull.h"

namespace importer {

std::string_view XmlAttributes::value(std::string_view qualifiedName) const
{
    for (const XmlAttribute& a : m_attributes)
        if (a.name == qualifiedName)
            return a.value;
    return {};
}

std::string_view XmlAttributes::prefixedValue(std::string_view localName) const
{
    for (const XmlAttribute& a : m_attributes) {
        const std::size_t colon = a.name.find(':');
        if (colon != std::string_view::npos && a.name.substr(colon + 1) == localName &&
            a.name.substr(0, colon) != "xmlns")
            return a.value;
    }
    return {};
}

XmlResult XmlReader::read(const XmlFeed& feed, XmlHandler& handler)
{
    XmlPull pull(feed, m_limits);
    bool goOn = true;
    while (goOn && pull.advance()) {
        switch (pull.token()) {
        case XmlPull::Token::StartElement:
            goOn = handler.startElement(pull.name(), XmlAttributes(pull.attributes()));
            break;
        case XmlPull::Token::EndElement:
            goOn = handler.endElement(pull.name());
            break;
        case XmlPull::Token::Text:
            goOn = handler.text(pull.text());
            break;
        default:
            break;
        }
    }
    m_line = pull.lineNumber();
    m_error = pull.errorString();
    if (!goOn)
        return XmlResult::Stopped;
    if (pull.feedFailed())
        return XmlResult::FeedFailed;
    return pull.hasError() ? XmlResult::Invalid : XmlResult::Done;
}

}  // namespace importer
