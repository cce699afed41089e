#pragma once
// Reading an event's prize plan from a file: CSV or the first sheet of an
// XLSX workbook (taken by content, with the text decoding of participant
// lists), one round a row in order. The header names the columns level,
// prize, count and group (any case and order), or 奖项, 奖品, 人数 and 部门;
// prize and group may be missing. Rows with nothing in them are skipped.
// What the group column means is the draw's to say (draw::ParsePlanGroups).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/records.h"

namespace importer {

struct PlanRow {
    std::size_t line = 0;  // CSV line or sheet row
    std::string level;
    std::string prize;
    long long count = 0;
    std::string group;
};

constexpr std::size_t kMaxPlanFileBytes = 1u << 20;

// False with every problem found (each with its line): no level or count
// column, an empty level, a count that is not a whole number from 1 up, a
// file that is neither CSV text nor a workbook.
bool readPlan(std::string_view bytes, std::vector<PlanRow>& rows, std::vector<Problem>& problems);
// The same for a file, read whole (at most kMaxPlanFileBytes).
bool readPlanFile(const std::string& path, std::vector<PlanRow>& rows, std::vector<Problem>& problems);

}  // namespace importer
