// Targets of the text readers: the participant imports (CSV, XLSX, the
// workbook's XML reader alone, and the Access path) and the window's design
// data.
#include <string_view>
#include <utility>
#include <vector>

#include <QString>
#include <QVariant>

#include "app/design_data.h"
#include "fuzz/fuzz_targets.h"
#include "import/access_child.h"
#include "import/csv_reader.h"
#include "import/mdb_reader.h"
#include "import/participant_rows.h"
#include "import/text_encoding.h"
#include "import/xlsx_reader.h"
#include "import/xml_reader.h"
#include "store/utf8.h"

namespace fuzz {

// What every import checks after reading: the participants of a clean list
// are complete, flagged one of the two ways and within the value limits;
// a list with problems keeps only the first few of them.
void checkParticipants(std::vector<importer::Record> records, importer::RowWidth width,
                       const importer::ColumnNames& columns)
{
    importer::ParticipantList list;
    importer::ProblemList problems;
    importer::readParticipants(std::move(records), columns, list, problems, width);
    expect(problems.kept().size() <= importer::ProblemList::kKept, "more problems kept than a handful");
    if (!problems.empty())
        return;
    for (const importer::ImportRow& row : list.rows) {
        expect(row.isluck == "是" || row.isluck == "否", "a participant with another isluck");
        expect(!row.name.empty() && !row.number.empty(), "a participant without a name or number");
        expect(importer::characterCount(row.name) <= importer::kMaxValueChars &&
                   importer::characterCount(row.number) <= importer::kMaxValueChars,
               "a name or number longer than the limit");
    }
}

// The import's whole reading of a text list: encoding, records, participants.
void runCsv(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    const importer::DecodedText decoded = importer::decodeText(bytes);
    if (decoded.ok)
        expect(store::IsValidUtf8(decoded.text()), "decoded text is not UTF-8");
    std::vector<importer::Record> records;
    importer::Problem problem;
    if (importer::readCsv(bytes, records, problem))
        checkParticipants(std::move(records), importer::RowWidth::AsHeader, {});
    else
        expect(problem.message.size() < 1024, "a message that quotes a whole value");
}

// The first sheet of a workbook: the zip archive, its XML and the cells.
void runXlsx(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    std::vector<importer::Record> records;
    importer::Problem problem;
    if (importer::readXlsx(bytes, records, problem))
        checkParticipants(std::move(records), importer::RowWidth::UpToHeader, {});
    else
        expect(problem.message.size() < 1024, "a message that quotes a whole value");
}

namespace {

// The events of a document written out, with the error that ended it.
class EventWriter : public importer::XmlHandler {
public:
    bool startElement(std::string_view name, const importer::XmlAttributes& attributes) override
    {
        flush();
        ++depth;
        out += "<" + std::string(name) + " " + std::string(attributes.value("r")) + ">";
        expect(store::IsValidUtf8(attributes.value("r")), "an attribute that is not UTF-8");
        return true;
    }
    bool endElement(std::string_view name) override
    {
        flush();
        expect(--depth >= 0, "more elements closed than opened");
        out += "</" + std::string(name) + ">";
        return true;
    }
    bool text(std::string_view piece) override
    {
        expect(depth > 0, "text outside the document's element");
        m_text += piece;
        return true;
    }
    // Text comes in pieces wherever the parser likes; joined, it must be the same.
    void flush()
    {
        if (m_text.empty())
            return;
        expect(store::IsValidUtf8(m_text), "text that is not UTF-8");
        out += "[" + m_text + "]";
        m_text.clear();
    }

    std::string out;
    int depth = 0;

private:
    std::string m_text;
};

// The document arrives in pieces of `piece` bytes (0: all at once).
std::string xmlEvents(std::string_view document, std::size_t piece)
{
    std::size_t at = 0;
    EventWriter writer;
    importer::XmlReader reader;
    const importer::XmlResult result = reader.read(
        [&](std::string& chunk) {
            const std::size_t size = piece == 0 ? document.size() : piece;
            chunk = std::string(document.substr(std::min(at, document.size()), size));
            at += size;
            return true;
        },
        writer);
    writer.flush();
    expect(result == importer::XmlResult::Done || result == importer::XmlResult::Invalid, "an end of no kind");
    expect(result != importer::XmlResult::Done || writer.depth == 0, "the document ended with elements open");
    return writer.out + (result == importer::XmlResult::Invalid ? "!" + reader.error() : "");
}

}  // namespace

// The workbook's XML reader: the first byte sets the size of the pieces the
// rest arrives in, and the reader must read the same as from one piece.
void runXml(std::span<const std::uint8_t> input)
{
    if (input.empty())
        return;
    const std::string_view document(reinterpret_cast<const char*>(input.data()) + 1, input.size() - 1);
    const std::size_t piece = input[0] % 64 + 1;
    expect(xmlEvents(document, 0) == xmlEvents(document, piece), "the reading depends on where the pieces end");
}

// The Access path: the library's reading of a table (in this process, as
// the child does it), then the same bytes as the child's frames, which the
// program decodes in the parent.
void runMdb(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    std::vector<importer::Record> records;
    importer::Problem problem;
    importer::AccessTable request;
    if (importer::readMdb(bytes, request, records, problem))
        checkParticipants(std::move(records), importer::RowWidth::AsHeader, request.columns);
    records.clear();
    importer::AccessFrameDecoder decoder(records, std::size_t(1) << 20);
    bool stopped = false;
    for (std::size_t at = 0; at < bytes.size(); at += 7)
        if (!decoder.feed(bytes.substr(at, 7), {}, stopped))
            break;
    for (const importer::Record& record : records)
        expect(!record.fields.empty() && record.fields.size() <= 4, "a decoded record of another width");
}

// The design text, and every value read back the ways the window reads them.
void runDesignData(std::span<const std::uint8_t> input)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(input.data()), qsizetype(input.size()));
    const QMap<QString, PropertyBag> bags = design::ParseDesignData(text);
    for (const PropertyBag& bag : bags) {
        for (const QString& key : bag.keys()) {
            expect(key == key.toLower(), "a key kept in another case");
            const QVariant value = bag.ReadProperty(key);
            (void)value.toInt();
            (void)value.toBool();
            (void)value.toString();
            (void)value.toMap();
        }
    }
}

}  // namespace fuzz
