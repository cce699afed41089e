// Targets of the text readers: the participant CSV import and the window's
// design data.
#include <string_view>

#include <QString>
#include <QVariant>

#include "app/design_data.h"
#include "fuzz/fuzz_targets.h"
#include "tools/csv_reader.h"
#include "tools/text_encoding.h"

namespace fuzz {

// The import's whole reading: encoding, records, participants.
void runCsv(std::span<const std::uint8_t> input)
{
    const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
    const dbtool::DecodedText decoded = dbtool::decodeText(bytes);
    if (!decoded.ok)
        return;
    expect(dbtool::isValidUtf8(decoded.text), "decoded text is not UTF-8");
    std::vector<dbtool::CsvRecord> records;
    dbtool::CsvProblem problem;
    if (!dbtool::parseCsv(decoded.text, records, problem))
        return;
    std::vector<dbtool::ImportRow> rows;
    std::vector<dbtool::CsvProblem> problems;
    dbtool::readParticipants(records, rows, problems);
    if (problems.empty())
        for (const dbtool::ImportRow& row : rows)
            expect(row.isluck == "是" || row.isluck == "否", "a participant with another isluck");
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
