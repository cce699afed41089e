#include "import/participant_import.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/language/language.h"
#include "import/csv_reader.h"
#include "import/database_import.h"
#include "import/participant_rows.h"
#include "import/xlsx_reader.h"

namespace importer {

namespace {

constexpr std::uintmax_t kMaxListBytes = 256u << 20;
constexpr std::uintmax_t kMaxAccessBytes = 1024u << 20;

bool startsWith(std::string_view bytes, std::size_t offset, std::string_view signature)
{
    return bytes.size() >= offset + signature.size() && bytes.substr(offset, signature.size()) == signature;
}

ImportReport failed(std::string error)
{
    ImportReport report;
    report.status = ImportStatus::Failed;
    report.error = std::move(error);
    return report;
}

ImportReport outOfMemory()
{
    return failed(lang::tr("there is not enough memory for this list", "内存不足，无法处理这份名单"));
}

ImportReport refused(std::vector<Problem> problems)
{
    ImportReport report;
    report.status = ImportStatus::Refused;
    report.problems = std::move(problems);
    return report;
}

// The records of the file, or the report that ends the import.
std::optional<ImportReport> readRecords(std::string_view bytes, FileFormat format, const ImportRequest& request,
                                        const ProgressFn& progress, std::vector<Record>& records)
{
    Problem problem;
    bool ok = false;
    switch (format) {
    case FileFormat::Text:
        ok = readCsv(bytes, records, problem);
        break;
    case FileFormat::Xlsx:
        ok = readXlsx(bytes, records, problem, progress);
        break;
    case FileFormat::Access:
        ok = readMdb(bytes, request.access, records, problem, progress);
        break;
    case FileFormat::OldExcel:
        return failed(lang::tr("the file is an Excel 97-2003 workbook (.xls); save it as an Excel workbook (.xlsx) "
                               "or as CSV UTF-8 and import that",
                               "文件是 Excel 97-2003 工作簿（.xls）；请另存为 Excel 工作簿（.xlsx）或 CSV UTF-8 后再导入"));
    case FileFormat::SQLite:
        return failed(lang::tr("the file is an SQLite database, not a participant list",
                               "文件是 SQLite 数据库，不是参与者名单"));
    }
    if (ok)
        return std::nullopt;
    // A reader's problem without a line concerns the whole file.
    if (problem.line == 0 && format != FileFormat::Text)
        return failed(problem.message);
    return refused({problem});
}

ImportReport importChecked(store::DbConnection& connection, std::string_view bytes, const ImportRequest& request,
                           const ProgressFn& progress)
{
    bool stopped = false;
    ProgressFn watched;
    if (progress)
        watched = [&](const Progress& p) { return (stopped = !progress(p)) == false; };
    const auto stoppedReport = [] {
        ImportReport report;
        report.status = ImportStatus::Stopped;
        return report;
    };

    const FileFormat format = request.format.value_or(detectFormat(bytes));
    std::vector<Record> records;
    if (auto end = readRecords(bytes, format, request, watched, records))
        return stopped ? stoppedReport() : *end;
    std::vector<ImportRow> rows;
    std::vector<Problem> problems;
    readParticipants(std::move(records), format == FileFormat::Access ? request.access.columns : ColumnNames(), rows,
                     problems, format == FileFormat::Xlsx ? RowWidth::UpToHeader : RowWidth::AsHeader);
    if (!problems.empty())
        return refused(std::move(problems));

    WriteOutcome written = writeParticipants(connection, rows, watched);
    if (written.stopped)
        return stoppedReport();
    if (!written.conflicts.empty())
        return refused(std::move(written.conflicts));
    if (!written.ok)
        return failed(written.error);
    ImportReport report;
    report.status = ImportStatus::Imported;
    report.imported = written.inserted;
    report.skipped = written.skipped;
    return report;
}

}  // namespace

FileFormat detectFormat(std::string_view bytes)
{
    if (startsWith(bytes, 0, "PK\x03\x04") || startsWith(bytes, 0, "PK\x05\x06"))
        return FileFormat::Xlsx;
    if (startsWith(bytes, 4, "Standard Jet DB") || startsWith(bytes, 4, "Standard ACE DB"))
        return FileFormat::Access;
    if (startsWith(bytes, 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return FileFormat::OldExcel;
    if (startsWith(bytes, 0, std::string_view("SQLite format 3\0", 16)))
        return FileFormat::SQLite;
    return FileFormat::Text;
}

ImportReport importBytes(store::DbConnection& connection, std::string_view bytes, const ImportRequest& request,
                         const ProgressFn& progress)
{
    // A list too large for this machine's memory fails like any other, and
    // its transaction (if begun) is rolled back.
    try {
        return importChecked(connection, bytes, request, progress);
    } catch (const std::bad_alloc&) {
        connection.RollbackTransaction();
        return outOfMemory();
    }
}

ImportReport importFile(store::DbConnection& connection, const std::string& path, const ImportRequest& request,
                        const ProgressFn& progress)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return failed(lang::trf("cannot read '%1': %2", "无法读取“%1”：%2", {path, ec.message()}));
    if (size > kMaxAccessBytes)
        return failed(lang::trf("'%1' is too large to import", "“%1”太大，无法导入", {path}));
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    try {
        bytes.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
    in.read(bytes.data(), std::streamsize(size));
    if (!in || std::size_t(in.gcount()) != size)
        return failed(lang::trf("cannot read '%1'", "无法读取“%1”", {path}));
    const FileFormat format = request.format.value_or(detectFormat(bytes));
    if (format != FileFormat::Access && size > kMaxListBytes)
        return failed(lang::trf("'%1' is too large to import", "“%1”太大，无法导入", {path}));
    ImportRequest known = request;
    known.format = format;
    return importBytes(connection, bytes, known, progress);
}

std::string summaryText(const ImportReport& report)
{
    switch (report.status) {
    case ImportStatus::Imported:
        if (report.skipped == 0)
            return lang::trf("imported %1 participants", "已导入 %1 名参与者", {std::to_string(report.imported)});
        return lang::trf("imported %1 participants; skipped %2 already in the database",
                         "已导入 %1 名参与者；跳过 %2 名已在数据库中的参与者",
                         {std::to_string(report.imported), std::to_string(report.skipped)});
    case ImportStatus::Refused:
        return lang::trf("nothing was imported; problems found: %1", "未导入任何数据；发现的问题：%1 处",
                         {std::to_string(report.problems.size())});
    case ImportStatus::Failed:
        return lang::trf("%1; nothing was imported", "%1；未导入任何数据", {report.error});
    case ImportStatus::Stopped:
        break;
    }
    return lang::tr("the import was stopped; nothing was imported", "导入已停止，未导入任何数据");
}

}  // namespace importer
