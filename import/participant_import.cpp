#include "import/participant_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/language/language.h"
#include "import/access_child.h"
#include "import/csv_reader.h"
#include "import/database_import.h"
#include "import/participant_rows.h"
#include "import/xlsx_reader.h"

namespace importer {

namespace {

constexpr std::uintmax_t kMaxListBytes = 256u << 20;
constexpr std::uintmax_t kMaxAccessBytes = 1024u << 20;
// Enough of a file's start for detectFormat().
constexpr std::size_t kSignatureBytes = 64;

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

// The whole file into `bytes`; false when it cannot be read (or changed size).
bool readWhole(int fd, std::size_t size, std::string& bytes)
{
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, bytes.data() + done, size - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += std::size_t(got);
    }
    return true;
}

ImportReport outOfMemory()
{
    return failed(lang::tr("there is not enough memory for this list", "内存不足，无法处理这份名单"));
}

ImportReport refused(ProblemList problems, std::vector<ColumnUse> columns = {})
{
    ImportReport report;
    report.status = ImportStatus::Refused;
    report.problemCount = problems.size();
    report.problems = problems.takeKept();
    report.columns = std::move(columns);
    return report;
}

ImportReport refused(Problem problem)
{
    ProblemList problems;
    problems.add(std::move(problem));
    return refused(std::move(problems));
}

// The records of the file, or the report that ends the import.
std::optional<ImportReport> readRecords(std::string_view bytes, int accessFd, FileFormat format,
                                        const ImportRequest& request, const ProgressFn& progress,
                                        std::vector<Record>& records)
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
        ok = accessFd >= 0 ? readMdbIsolated(accessFd, request.access, records, problem, progress)
                           : readMdbIsolated(bytes, request.access, records, problem, progress);
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
    return refused(problem);
}

// bytes, or for an Access file an open descriptor of it (accessFd >= 0).
ImportReport importChecked(store::DbConnection& connection, std::string_view bytes, int accessFd,
                           const ImportRequest& request, const ProgressFn& progress)
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
    if (auto end = readRecords(bytes, accessFd, format, request, watched, records))
        return stopped ? stoppedReport() : *end;
    ParticipantList list;
    ProblemList problems;
    readParticipants(std::move(records), format == FileFormat::Access ? request.access.columns : ColumnNames(), list,
                     problems, format == FileFormat::Xlsx ? RowWidth::UpToHeader : RowWidth::AsHeader);
    if (!problems.empty())
        return refused(std::move(problems), std::move(list.columns));

    WriteOutcome written =
        writeParticipants(connection, list.rows, watched, list.hasGroup ? Groups::Present : Groups::Absent);
    if (written.stopped)
        return stoppedReport();
    if (!written.conflicts.empty())
        return refused(std::move(written.conflicts), std::move(list.columns));
    if (!written.ok)
        return failed(written.error);
    ImportReport report;
    report.status = ImportStatus::Imported;
    report.imported = written.inserted;
    report.skipped = written.skipped;
    report.regrouped = written.regrouped;
    report.columns = std::move(list.columns);
    return report;
}

ImportReport importGuarded(store::DbConnection& connection, std::string_view bytes, int accessFd,
                           const ImportRequest& request, const ProgressFn& progress)
{
    // A list too large for this machine's memory fails like any other, and
    // its transaction (if begun) is rolled back.
    try {
        return importChecked(connection, bytes, accessFd, request, progress);
    } catch (const std::bad_alloc&) {
        connection.RollbackTransaction();
        return outOfMemory();
    }
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
    return importGuarded(connection, bytes, -1, request, progress);
}

ImportReport importFile(store::DbConnection& connection, const std::string& path, const ImportRequest& request,
                        const ProgressFn& progress)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const std::string why = fd < 0 ? std::strerror(errno) : lang::tr("not a file", "不是文件");
        if (fd >= 0)
            close(fd);
        return failed(lang::trf("cannot read '%1': %2", "无法读取“%1”：%2", {path, why}));
    }
    const auto size = std::uintmax_t(info.st_size);
    std::string bytes;
    bytes.resize(std::size_t(std::min<std::uintmax_t>(size, kSignatureBytes)));
    const bool headRead = pread(fd, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size());
    const FileFormat format = request.format.value_or(detectFormat(bytes));
    const std::uintmax_t limit = format == FileFormat::Access ? kMaxAccessBytes : kMaxListBytes;
    ImportRequest known = request;
    known.format = format;
    ImportReport report;
    if (!headRead) {
        report = failed(lang::trf("cannot read '%1'", "无法读取“%1”", {path}));
    } else if (size > limit) {
        report = failed(lang::trf("'%1' is too large to import", "“%1”太大，无法导入", {path}));
    } else if (format == FileFormat::Access) {
        // The child reads the file itself: no gigabyte passes through this process.
        report = importGuarded(connection, {}, fd, known, progress);
    } else if (!readWhole(fd, std::size_t(size), bytes)) {
        report = failed(lang::trf("cannot read '%1'", "无法读取“%1”", {path}));
    } else {
        report = importGuarded(connection, bytes, -1, known, progress);
    }
    close(fd);
    return report;
}

namespace {

std::string countsText(const ImportReport& report)
{
    switch (report.status) {
    case ImportStatus::Imported: {
        std::string text =
            report.skipped == 0
                ? lang::trf("imported %1 participants", "已导入 %1 名参与者", {std::to_string(report.imported)})
                : lang::trf("imported %1 participants; skipped %2 already in the database",
                            "已导入 %1 名参与者；跳过 %2 名已在数据库中的参与者",
                            {std::to_string(report.imported), std::to_string(report.skipped)});
        if (report.regrouped > 0)
            text += lang::trf("; set the group of %1 of those already there", "；已设定其中 %1 名已有参与者的分组",
                              {std::to_string(report.regrouped)});
        return text;
    }
    case ImportStatus::Refused:
        return lang::trf("nothing was imported; problems found: %1", "未导入任何数据；发现的问题：%1 处",
                         {std::to_string(report.problemCount)});
    case ImportStatus::Failed:
        return lang::trf("%1; nothing was imported", "%1；未导入任何数据", {report.error});
    case ImportStatus::Stopped:
        break;
    }
    return lang::tr("the import was stopped; nothing was imported", "导入已停止，未导入任何数据");
}

}  // namespace

std::string summaryText(const ImportReport& report)
{
    const std::string columns = describeColumns(report.columns);
    if (columns.empty())
        return countsText(report);
    return countsText(report) + "\n" + lang::trf("columns read: %1", "读取的列：%1", {columns});
}

}  // namespace importer
