// The workbook's XML reader: the same events wherever the data's pieces
// end, the documents it refuses, and its limits.

#include <gtest/gtest.h>

#include <string>

#include "import/xml_reader.h"

namespace {

using importer::XmlAttributes;
using importer::XmlResult;

// Writes the events out as one line: <name attributes>, [text], </name>.
class Recorder : public importer::XmlHandler {
public:
    bool startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        flushText();
        out += "<" + std::string(name);
        for (const char* attribute : {"r", "t", "x:a"})
            if (!attributes.value(attribute).empty())
                out += " " + std::string(attribute) + "=" + std::string(attributes.value(attribute));
        if (!attributes.prefixedValue("id").empty())
            out += " :id=" + std::string(attributes.prefixedValue("id"));
        out += ">";
        return name != "stop";
    }
    bool endElement(std::string_view name) override
    {
        flushText();
        out += "</" + std::string(name) + ">";
        return true;
    }
    bool text(std::string_view piece) override
    {
        m_text += piece;
        return true;
    }
    void flushText()
    {
        if (!m_text.empty())
            out += "[" + m_text + "]";
        m_text.clear();
    }

    std::string out;

private:
    std::string m_text;
};

// The events of a document fed in pieces of `piece` bytes (0: all at
// once), then " ERROR line N: why" or " STOPPED".
std::string events(const std::string& document, std::size_t piece = 0, importer::XmlLimits limits = {})
{
    std::size_t at = 0;
    Recorder recorder;
    importer::XmlReader reader(limits);
    const XmlResult result = reader.read(
        [&](std::string& chunk) {
            const std::size_t size = piece == 0 ? document.size() : piece;
            chunk = document.substr(std::min(at, document.size()), size);
            at += size;
            return true;
        },
        recorder);
    recorder.flushText();
    if (result == XmlResult::Invalid)
        recorder.out += " ERROR line " + std::to_string(reader.line()) + ": " + reader.error();
    if (result == XmlResult::Stopped)
        recorder.out += " STOPPED";
    return recorder.out;
}

TEST(XmlReader, ReadsTheSameWhereverThePiecesEnd)
{
    struct Case {
        std::string document;
        std::string expected;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<a><b r=\"1\" t='s'/><c>x</c></a>",
         "<a><b r=1 t=s></b><c>[x]</c></a>"},
        {"\xEF\xBB\xBF<a>&lt;&amp;&gt;&quot;&apos;&#x4E2D;&#25991;</a>", "<a>[<&>\"'中文]</a>"},
        {"<x:a xmlns:x=\"u\" xmlns:r=\"v\" r:id=\"rId7\" x:a=\"q &amp; r\"><x:b/></x:a>",
         "<a x:a=q & r :id=rId7><b></b></a>"},
        {"<!-- before --><a>1<!-- inside -->2<?pi data?><![CDATA[<3>&amp;]]></a>\n<!-- after -->",
         "<a>[12<3>&amp;]</a>"},
        {"<a>line\r\nnext\rlast\t张三😀</a>", "<a>[line\nnext\nlast\t张三😀]</a>"},
        // other encodings, by declaration or by mark
        {"<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>", "<a>[café]</a>"},
        {"<?xml version='1.0' encoding='GB18030'?><a>\xD5\xC5\xC8\xFD</a>", "<a>[张三]</a>"},
        {std::string("\xFF\xFE<\0a\0>\0\x2D\x4E<\0/\0a\0>\0", 18), "<a>[中]</a>"},
        {std::string("\xFE\xFF\0<\0a\0>\x4E\x2D\0<\0/\0a\0>", 18), "<a>[中]</a>"},
        // a handler that asks to stop is obeyed at once
        {"<a><stop><b/></stop><c/></a>", "<a><stop> STOPPED"},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {0, 1, 2, 3, 5, 7, 64}) {
            SCOPED_TRACE(c.document + " in pieces of " + std::to_string(piece));
            EXPECT_EQ(events(c.document, piece), c.expected);
        }
    }
}

std::string repeated(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(XmlReader, RefusesWhatIsNotWellFormedOrBreaksALimit)
{
    struct Case {
        std::string document;
        std::string error;
    };
    const Case cases[] = {
        {"", "holds no element"},
        {"<a><b></a>", "</a> where </b> was expected"},
        {"<a></a></a>", "</a> without its start tag"},
        {"<a/><b/>", "a second document element <b>"},
        {"<a/>text", "text outside the document's element"},
        {"<a>x", "ends inside the element a"},
        {"<a r=\"1", "ends inside a tag"},
        {"<a><!-- open", "ends inside a comment"},
        {"<a r=1/>", "without quotes"},
        {"<a r=\"1\"t=\"2\"/>", "not apart"},
        {"<a r/>", "without a value"},
        {"<a r=\"<\"/>", "'<' in an attribute"},
        {"<a>&nbsp;</a>", "unknown entity &nbsp;"},
        {"<a>& b</a>", "starts no entity"},
        {"<a>&#0;</a>", "no character allowed"},
        {"<a>&#xD800;</a>", "no character allowed"},
        {"<a>&#x110000;</a>", "no character allowed"},
        {"<a>\x01</a>", "control character"},
        {"<a>\xC3\x28</a>", "not well-formed UTF-8"},
        {"<a><![CDATA[\xFF]]></a>", "not well-formed UTF-8"},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", "document type declaration"},
        {"<?xml version=\"1.0\" encoding=\"no-such-code\"?><a/>", "no-such-code is not supported"},
        // an encoding iconv knows but no list is written in
        {"<?xml version=\"1.0\" encoding=\"IBM037\"?><a/>", "IBM037 is not supported"},
        {"<?xml version=\"1.0\" encoding=\"GB18030\"?><a>\xFF\xFF</a>", "not valid in the document's encoding"},
        {"<a>\n\n<b></c></a>", "line 3"},
        {repeated("<a>", 65), "nested more than 64 deep"},
        {"<" + std::string(100, 'n') + ">", "ends inside the element " + std::string(60, 'n') + "…"},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {0, 1, 3}) {
            SCOPED_TRACE(c.document + " in pieces of " + std::to_string(piece));
            const std::string read = events(c.document, piece);
            EXPECT_NE(read.find(" ERROR "), std::string::npos) << read;
            EXPECT_NE(read.find(c.error), std::string::npos) << read;
        }
    }
}

// A tag or a text that never ends would make the reader hold all of it:
// beyond its limit it is refused, whatever the size of the document.
TEST(XmlReader, BoundsWhatOneTokenMayHold)
{
    importer::XmlLimits limits;
    limits.maxTokenBytes = 1 << 20;
    const std::string longValue(4 << 20, 'v');
    for (const std::string& document : {"<a b=\"" + longValue + "\"/>", "<a>" + longValue + "</a>",
                                        "<a><!--" + longValue + "--></a>"}) {
        EXPECT_NE(events(document, 65536, limits).find("longer than 1048576 bytes"), std::string::npos);
    }
    const std::string fits(limits.maxTokenBytes / 2, 'v');
    EXPECT_EQ(events("<a>" + fits + "</a>", 65536, limits), "<a>[" + fits + "]</a>");
}

TEST(XmlReader, StopsWhenTheDataCannotBeRead)
{
    int calls = 0;
    Recorder recorder;
    importer::XmlReader reader;
    EXPECT_EQ(reader.read(
                  [&](std::string& chunk) {
                      chunk = "<a><b>";
                      return ++calls == 1;
                  },
                  recorder),
              XmlResult::FeedFailed);
}

}  // namespace
