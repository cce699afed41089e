// Targets of the text readers: the participant imports (CSV and XLSX) and
// the window's design data.
#include <string_view>
#include <utility>
#include <vector>

#include <QString>
#include <QVariant>

#include "app/design_data.h"
#include "fuzz/fuzz_targets.h"
#include "store/import/csv_reader.h"
#include "store/import/participant_rows.h"
#include "store/import/text_encoding.h"
#include "store/import/xlsx_reader.h"

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
