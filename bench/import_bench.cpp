// How long a large participant list takes to import: a CSV file and an XLSX
// workbook of N participants (default a million) into a new database, and
// the same CSV again (every row already present). Run by hand:
//   build/bench/sortia-import-bench [participants]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <xlsxwriter.h>

#include "store/import/participant_import.h"
#include "store/participants.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string nameOf(long i)
{
    return "参与者" + std::to_string(i);
}

std::string numberOf(long i)
{
    return std::to_string(13800000000L + i);
}

void writeCsv(const std::string& path, long count)
{
    std::ofstream out(path, std::ios::binary);
    out << "user_name,user_number,isluck\n";
    for (long i = 0; i < count; ++i)
        out << nameOf(i) << ',' << numberOf(i) << ",否\n";
}

void writeXlsx(const std::string& path, long count)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    worksheet_write_string(sheet, 0, 0, "user_name", nullptr);
    worksheet_write_string(sheet, 0, 1, "user_number", nullptr);
    for (long i = 0; i < count; ++i) {
        worksheet_write_string(sheet, lxw_row_t(i + 1), 0, nameOf(i).c_str(), nullptr);
        worksheet_write_number(sheet, lxw_row_t(i + 1), 1, double(13800000000L + i), nullptr);
    }
    workbook_close(workbook);
}

void timeImport(const char* label, const std::string& db, const std::string& file)
{
    store::DbConnection connection;
    if (!connection.OpenFile(db)) {
        std::printf("%s: %s\n", label, connection.error().c_str());
        return;
    }
    const auto start = Clock::now();
    const importer::ImportReport report = importer::importFile(connection, file, {});
    std::printf("%-28s %7.2f s  (%s)\n", label, secondsSince(start), importer::summaryText(report).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sortia-import-bench";
    std::filesystem::create_directories(dir);
    const std::string csv = (dir / "list.csv").string(), xlsx = (dir / "list.xlsx").string();
    writeCsv(csv, count);
    writeXlsx(xlsx, count);
    std::printf("%ld participants: CSV %.1f MB, XLSX %.1f MB\n", count,
                double(std::filesystem::file_size(csv)) / 1e6, double(std::filesystem::file_size(xlsx)) / 1e6);
    for (const auto& [label, file] : {std::pair{"CSV into a new database", csv}, std::pair{"XLSX into a new database", xlsx}}) {
        const std::string db = (dir / "Sbase.mdb").string();
        std::filesystem::remove(db);
        std::string error;
        store::CreateDatabase(db, error);
        timeImport(label, db, file);
        if (file == csv)
            timeImport("the same CSV again", db, csv);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
