#include "import/plan_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "import/csv_reader.h"
#include "import/participant_import.h"
#include "import/xlsx_reader.h"
#include "platform/language/language.h"

namespace importer {
namespace {

enum Column { kLevel, kPrize, kCount, kGroup, kColumns };

std::string trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

int columnOf(const std::string& title)
{
    std::string lower = trimmed(title);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const std::pair<const char*, Column> names[] = {{"level", kLevel}, {"奖项", kLevel}, {"prize", kPrize},
                                                    {"奖品", kPrize},  {"count", kCount}, {"人数", kCount},
                                                    {"group", kGroup}, {"部门", kGroup}};
    for (const auto& [name, column] : names)
        if (lower == name)
            return column;
    return -1;
}

bool readRecords(std::string_view bytes, std::vector<Record>& records, Problem& problem)
{
    const FileFormat format = detectFormat(bytes);
    if (format == FileFormat::Xlsx)
        return readXlsx(bytes, records, problem);
    if (format == FileFormat::Text)
        return readCsv(bytes, records, problem);
    problem = {0, lang::tr("a prize plan must be a CSV file or an XLSX workbook", "奖项计划必须是 CSV 文件或 XLSX 工作簿")};
    return false;
}

std::string field(const Record& record, int index)
{
    return index >= 0 && std::size_t(index) < record.fields.size() ? trimmed(record.fields[std::size_t(index)])
                                                                    : std::string();
}

// One round, or the problems of its row.
void readRow(const Record& record, const int (&at)[kColumns], std::vector<PlanRow>& rows,
             std::vector<Problem>& problems)
{
    PlanRow row{record.line, field(record, at[kLevel]), field(record, at[kPrize]), 0, field(record, at[kGroup])};
    const std::string count = field(record, at[kCount]);
    if (row.level.empty() && row.prize.empty() && count.empty() && row.group.empty())
        return;
    if (row.level.empty())
        problems.push_back({record.line, lang::tr("the level is empty", "奖项为空")});
    const char* end = count.data() + count.size();
    const auto [ptr, ec] = std::from_chars(count.data(), end, row.count);
    if (count.empty() || ec != std::errc() || ptr != end || row.count < 1)
        problems.push_back({record.line, lang::trf("the count '%1' is not a whole number from 1 up",
                                                   "人数“%1”不是大于等于 1 的整数", {count})});
    rows.push_back(std::move(row));
}

}  // namespace

bool readPlan(std::string_view bytes, std::vector<PlanRow>& rows, std::vector<Problem>& problems)
{
    rows.clear();
    problems.clear();
    std::vector<Record> records;
    Problem problem;
    if (!readRecords(bytes, records, problem)) {
        problems.push_back(problem);
        return false;
    }
    if (records.empty()) {
        problems.push_back({0, lang::tr("the plan is empty", "奖项计划为空")});
        return false;
    }
    int at[kColumns] = {-1, -1, -1, -1};
    for (std::size_t i = 0; i < records[0].fields.size(); ++i) {
        const int column = columnOf(records[0].fields[i]);
        if (column >= 0 && at[column] < 0)
            at[column] = int(i);
    }
    if (at[kLevel] < 0 || at[kCount] < 0) {
        problems.push_back({records[0].line, lang::tr("the header must name the columns level and count "
                                                      "(and optionally prize and group), or 奖项, 人数, 奖品, 部门",
                                                      "表头必须有 奖项 和 人数 两列（可另有 奖品、部门），"
                                                      "或 level、count、prize、group")});
        return false;
    }
    for (std::size_t i = 1; i < records.size(); ++i)
        readRow(records[i], at, rows, problems);
    return problems.empty();
}

bool readPlanFile(const std::string& path, std::vector<PlanRow>& rows, std::vector<Problem>& problems)
{
    rows.clear();
    problems.clear();
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxPlanFileBytes) {
        problems.push_back({0, ec ? lang::trf("cannot read '%1': %2", "无法读取“%1”：%2", {path, ec.message()})
                                  : lang::trf("'%1' is too large for a prize plan", "“%1”太大，不像奖项计划", {path})});
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::size_t(size), '\0');
    in.read(bytes.data(), std::streamsize(size));
    if (!in || std::size_t(in.gcount()) != size) {
        problems.push_back({0, lang::trf("cannot read '%1'", "无法读取“%1”", {path})});
        return false;
    }
    return readPlan(bytes, rows, problems);
}

}  // namespace importer
