#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/xml_pull.h"

namespace {

using importer::XmlPull;

// The tokens of a document fed in pieces of `piece` bytes (0: all at once),
// written out as one line each; the error, if any, last.
std::string tokens(const std::string& document, std::size_t piece = 0)
{
    std::size_t at = 0;
    XmlPull pull([&](std::string& chunk) {
        const std::size_t size = piece == 0 ? document.size() : piece;
        chunk = document.substr(std::min(at, document.size()), size);
        at += size;
        return true;
    });
    std::string out;
    while (pull.advance()) {
        switch (pull.token()) {
        case XmlPull::Token::StartElement:
            out += "<" + std::string(pull.name());
            for (const char* name : {"r", "t", "x:a"})
                if (!pull.attribute(name).empty())
                    out += " " + std::string(name) + "=" + std::string(pull.attribute(name));
            if (!pull.prefixedAttribute("id").empty())
                out += " :id=" + std::string(pull.prefixedAttribute("id"));
            out += ">";
            break;
        case XmlPull::Token::EndElement: out += "</" + std::string(pull.name()) + ">"; break;
        case XmlPull::Token::Text: out += "[" + std::string(pull.text()) + "]"; break;
        default: out += "?"; break;
        }
    }
    if (pull.hasError())
        out += " ERROR line " + std::to_string(pull.lineNumber()) + ": " + pull.errorString();
    return out;
}

TEST(XmlPullTest, ReadsTheSameWhereverTheChunksEnd)
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
         "<a>[1][2][<3>&amp;]</a>"},
        {"<a>line\r\nnext\rlast\t张三😀</a>", "<a>[line\nnext\nlast\t张三😀]</a>"},
        {"<a  r = \"a>b\"  >  </a >", "<a r=a>b>[  ]</a>"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>", "<a>[café]</a>"},
        {std::string("\xFF\xFE<\0a\0>\0\x2D\x4E<\0/\0a\0>\0", 18), "<a>[中]</a>"},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {0, 1, 2, 3, 5, 7, 64}) {
            SCOPED_TRACE(c.document + " in pieces of " + std::to_string(piece));
            EXPECT_EQ(tokens(c.document, piece), c.expected);
        }
    }
}

TEST(XmlPullTest, RefusesWhatIsNotWellFormed)
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
        {"<a>\n\n<b></c></a>", "line 3"},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {0, 1, 3}) {
            SCOPED_TRACE(c.document + " in pieces of " + std::to_string(piece));
            const std::string read = tokens(c.document, piece);
            EXPECT_NE(read.find(" ERROR "), std::string::npos) << read;
            EXPECT_NE(read.find(c.error), std::string::npos) << read;
        }
    }
}

TEST(XmlPullTest, StopsWhenTheDataCannotBeRead)
{
    int calls = 0;
    XmlPull pull([&](std::string& chunk) {
        chunk = "<a><b>";
        return ++calls == 1;
    });
    while (pull.advance()) {
    }
    EXPECT_TRUE(pull.feedFailed());
    EXPECT_FALSE(pull.advance());
}

}  // namespace
