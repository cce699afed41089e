// Targets of the text readers: the participant imports (CSV and XLSX, and
// the workbook's XML reader alone) and the window's design data.
#include <string_view>
#include <utility>
#include <vector>

#include <QString>
#include <QVariant>

#include "app/design_data.h"
#include "fuzz/fuzz_targets.h"
#include "import/csv_reader.h"
#include "import/participant_rows.h"
#include "import/text_encoding.h"
#include "import/xlsx_reader.h"
#include "import/xml_pull.h"
#include "store/utf8.h"

namespace fuzz {

// What every import checks after reading: the participants of a clean list
// are complete and flagged one of the two ways.
void checkParticipants(std::vector<importer::Record> records, importer::RowWidth width)
{
    std::vector<importer::ImportRow> rows;
    std::vector<importer::Problem> problems;
    importer::readParticipants(std::move(records), importer::ColumnNames{}, rows, problems, width);
    if (!problems.empty())
        return;
    for (const importer::ImportRow& row : rows) {
        expect(row.isluck == "是" || row.isluck == "否", "a participant with another isluck");
        expect(!row.name.empty() && !row.number.empty(), "a participant without a name or number");
    }
}

// The import's whole reading of a text list: encoding, records, participants.
void runCsv(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    const importer::DecodedText decoded = importer::decodeText(bytes);
    if (decoded.ok)
        expect(importer::isValidUtf8(decoded.text), "decoded text is not UTF-8");
    std::vector<importer::Record> records;
    importer::Problem problem;
    if (importer::readCsv(bytes, records, problem))
        checkParticipants(std::move(records), importer::RowWidth::AsHeader);
}

// The first sheet of a workbook: the zip archive, its XML and the cells.
void runXlsx(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    std::vector<importer::Record> records;
    importer::Problem problem;
    if (importer::readXlsx(bytes, records, problem))
        checkParticipants(std::move(records), importer::RowWidth::UpToHeader);
}

namespace {

// The tokens of a document written out, with the error that ended it; the
// document arrives in pieces of `piece` bytes (0: all at once).
std::string xmlTokens(std::string_view document, std::size_t piece)
{
    std::size_t at = 0;
    importer::XmlPull pull([&](std::string& chunk) {
        const std::size_t size = piece == 0 ? document.size() : piece;
        chunk = std::string(document.substr(std::min(at, document.size()), size));
        at += size;
        return true;
    });
    std::string out;
    int depth = 0;
    const auto wellFormed = [](std::string_view text) {
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t length = store::Utf8SequenceLength(text.substr(i));
            if (length == 0)
                return false;
            i += length;
        }
        return true;
    };
    while (pull.advance()) {
        switch (pull.token()) {
        case importer::XmlPull::Token::StartElement:
            ++depth;
            out += "<" + std::string(pull.name()) + " " + std::string(pull.attribute("r")) + ">";
            expect(wellFormed(pull.attribute("r")), "an attribute that is not UTF-8");
            break;
        case importer::XmlPull::Token::EndElement:
            expect(--depth >= 0, "more elements closed than opened");
            out += "</" + std::string(pull.name()) + ">";
            break;
        case importer::XmlPull::Token::Text:
            expect(depth > 0, "text outside the document's element");
            expect(wellFormed(pull.text()), "text that is not UTF-8");
            out += "[" + std::string(pull.text()) + "]";
            break;
        default: expect(false, "a token of no kind"); break;
        }
    }
    expect(pull.hasError() || depth == 0, "the document ended with elements open");
    return out + (pull.hasError() ? "!" + pull.errorString() + "@" + std::to_string(pull.lineNumber()) : "");
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
    expect(xmlTokens(document, 0) == xmlTokens(document, piece), "the reading depends on where the pieces end");
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
