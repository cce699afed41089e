#pragma once
// The parts of an XLSX workbook around its first sheet: which part holds
// the sheet, and the shared strings its cells refer to. Used by the sheet
// reader (xlsx_reader.h).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/xml_reader.h"
#include "import/zip_archive.h"

namespace importer {

// What a workbook may cost in memory and time, measured against its size:
// a small file that unpacks or refers its way to far more was made to
// exhaust the machine, and is refused with its reason.
class WorkbookBudget {
public:
    explicit WorkbookBudget(std::size_t fileBytes);
    // The most a large part (strings, sheet) may unpack to.
    std::size_t partLimit() const { return m_partLimit; }
    // Counts bytes kept in memory; false once they exceed what the file's
    // size can hold.
    bool keep(std::size_t bytes)
    {
        m_kept += bytes;
        return m_kept <= m_keptLimit;
    }
    static std::string exceeded();

private:
    std::size_t m_partLimit;
    std::size_t m_keptLimit;
    std::size_t m_kept = 0;
};

// The shared strings, one buffer for all: a million strings cost no
// million allocations.
class SharedStrings {
public:
    void add(std::string_view text);
    std::size_t size() const { return m_ends.size(); }
    std::string_view at(std::size_t index) const;

private:
    std::string m_text;
    std::vector<std::uint32_t> m_ends;
};

struct WorkbookParts {
    std::string sheet;
    std::string sharedStrings;  // "" when the workbook has none
};

// Finds the first sheet's part (and the shared strings') through the
// package's relationships; false with the reason.
bool findParts(ZipArchive& zip, WorkbookParts& parts, std::string& error);

// Reads the shared strings part; false with the reason for a damaged part,
// a string longer than a cell holds, more strings than the part's packed
// size can hold or more text than the budget allows.
bool readSharedStrings(ZipArchive& zip, const std::string& part, WorkbookBudget& budget, SharedStrings& strings,
                       std::string& error);

// "the workbook's part … is damaged (XML line …: …)".
std::string damagedPart(const std::string& part, const XmlReader& reader);

}  // namespace importer
