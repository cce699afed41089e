// sortia-db copy FROM TO: a whole participant database from one data source
// to another, all of it or nothing.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/language/language.h"
#include "draw/draw_record.h"
#include "draw/record_copy.h"
#include "store/database_copy.h"
#include "store/data_source.h"
#include "store/schema.h"
#include "store/participants.h"
#include "store/sqlite_backend.h"
#include "tools/record_commands.h"

namespace dbrecord {
namespace {

constexpr int kExitFailure = 1;

// The destination, with what this run made in it. A new file is written
// under a name of its own beside and takes its name only at the end; on a
// failure only what this run made goes again: the new file, or the tables
// made in a database that was there before (whose rows, draws among them,
// are never touched).
class Destination {
public:
    explicit Destination(std::string dataSource)
        : m_dataSource(std::move(dataSource)), m_server(store::IsServerDataSource(m_dataSource))
    {
    }
    ~Destination()
    {
        std::string ignored;
        undo(ignored);
    }

    bool open(std::string& error)
    {
        std::error_code ec;
        m_openedAs = m_dataSource;
        if (!m_server && !std::filesystem::exists(m_dataSource, ec)) {
            if (!store::CreateSqliteFileBeside(m_dataSource, m_openedAs, error))
                return false;
            m_madeFile = true;
        }
        if (m_connection->OpenFile(m_openedAs))
            return true;
        error = m_connection->error();
        // A server database without the tables gets them.
        std::string createError;
        if (!m_server || !store::CreateDatabase(m_dataSource, createError))
            return false;
        m_madeTables.push_back("sheet");
        if (m_connection->OpenFile(m_dataSource))
            return true;
        error = m_connection->error();
        return false;
    }

    // The destination takes the draw record's tables, when it lacks them.
    bool ensureRecord(std::string& error)
    {
        if (draw::EnsureDrawTables(*m_connection, &m_madeTables))
            return true;
        error = m_connection->error();
        return false;
    }

    // Keeps what was copied: a new file takes its name.
    bool keep(std::string& error)
    {
        if (m_madeFile) {
            m_connection.reset();  // closes the file before it is renamed
            if (!store::PlaceNewFile(m_openedAs, m_dataSource, error))
                return false;
        }
        m_madeFile = false;
        m_madeTables.clear();
        return true;
    }

    // Takes back what this run made; false with `error` when that failed.
    bool undo(std::string& error)
    {
        if (m_madeFile) {
            m_connection.reset();
            m_madeFile = false;
            if (::unlink(m_openedAs.c_str()) == 0)
                return true;
            error = std::strerror(errno);
            return false;
        }
        if (m_madeTables.empty() || !m_connection || !m_connection->isOpen())
            return true;
        const std::vector<std::string> tables = std::move(m_madeTables);
        m_madeTables.clear();
        return store::DropTables(*m_connection, tables, error);
    }

    // The participants' groups, which group-limited rounds were drawn by,
    // go with them (the table as the import makes it).
    bool ensureGroups(std::string& error)
    {
        const std::optional<bool> there = m_connection->HasTable("participant_group");
        if (there && (*there || m_connection->Run(store::GroupSchema(m_connection->dialect())))) {
            if (!*there)
                m_madeTables.push_back("participant_group");
            return true;
        }
        error = m_connection->error();
        return false;
    }

    store::DbConnection& connection() { return *m_connection; }

private:
    std::string m_dataSource;
    bool m_server;
    std::string m_openedAs;
    bool m_madeFile = false;                // m_openedAs is this run's
    std::vector<std::string> m_madeTables;  // made by this run in a database that was there
    std::unique_ptr<store::DbConnection> m_connection = std::make_unique<store::DbConnection>();
};

}  // namespace

int Copy(const Call& call)
{
    if (call.args.size() != 2)
        return call.usageError(lang::tr("copy needs FROM and TO", "copy 需要 FROM 和 TO"));
    const std::string& from = call.args[0];
    const std::string& to = call.args[1];
    store::DbConnection source;
    if (!source.OpenFile(from))
        return call.fail(source.error());
    Destination destination(to);
    std::string error;
    store::CopyReport report;
    bool recordMatches = true;
    // An older source has fewer of the record's columns; the copy gets the rest's defaults.
    const std::optional<draw::RecordLayout> layout = draw::RecordLayoutOf(source);
    if (!layout)
        return call.fail(source.error());
    std::vector<store::CopiedTable> tables = draw::RecordCopyTables(*layout);
    const std::optional<bool> grouped = source.HasTable("participant_group");
    if (!grouped)
        return call.fail(source.error());
    if (*grouped)
        tables.push_back({"participant_group", "participant_id, group_name", "IT", "participant_id"});
    if (!destination.open(error) || !store::IsEmptyForCopy(destination.connection(), tables, error) ||
        !destination.ensureRecord(error) || (*grouped && !destination.ensureGroups(error)) ||
        !store::CopyDatabase(source, destination.connection(), tables, draw::SameRecordCheck(recordMatches), report,
                             error) ||
        !destination.keep(error)) {
        std::string undoError;
        if (!destination.undo(undoError))
            error += lang::trf("; what the copy made could not be removed again: %1", "；复制所建的内容无法再删除：%1",
                               {undoError});
        return call.fail(lang::trf("cannot copy %1 to %2: %3", "无法把 %1 复制到 %2：%3",
                                   {store::RedactedDataSource(from), store::RedactedDataSource(to), error}));
    }
    std::printf("%s\n", lang::trf("copied %1 participants and %2 draws (%3 winners, %4 voids) from %5 to %6",
                                  "已复制 %1 名参与者和 %2 次抽奖（%3 名中奖者，%4 次作废），从 %5 到 %6",
                                  {std::to_string(report.participants), std::to_string(report.rows[0]),
                                   std::to_string(report.rows[1]), std::to_string(report.rows[2]),
                                   store::RedactedDataSource(from), store::RedactedDataSource(to)})
                            .c_str());
    if (report.extraColumns > 0)
        std::fprintf(stderr, "%s\n",
                     lang::trf("note: sheet has %1 more columns than id, user_name, user_number and isluck; "
                               "they were not copied",
                               "注意：sheet 表除 id、user_name、user_number 和 isluck 外还有 %1 列，它们没有被复制",
                               {std::to_string(report.extraColumns)})
                         .c_str());
    if (!recordMatches)
        std::fprintf(stderr, "%s\n",
                     lang::tr("warning: the draw record of the source does NOT verify; it was copied as it is "
                              "(run verify for the details)",
                              "警告：源数据库的抽奖记录校验不相符；已按原样复制（详情请运行 verify）")
                         .c_str());
    return 0;
}

}  // namespace dbrecord
