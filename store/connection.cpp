#include "store/connection.h"

#include "platform/language/language.h"
#include "store/data_source.h"
#include "store/postgres_backend.h"
#include "store/sqlite_backend.h"

namespace store {

std::string BuildConnectionString(const std::string& dbPath, const std::string& extraText)
{
    std::string s;
    s += "Provider=Microsoft.Jet.OLEDB.4.0;";
    s += "Data Source=";
    s += dbPath;
    s += ";";
    s += "Mode=Share Deny None;";
    s += "Extended Properties=;";
    s += "Jet OLEDB:System database=;";
    s += "Jet OLEDB:Registry Path=;";
    s += "Jet OLEDB:Database Password=;";
    s += "Jet OLEDB:Engine Type=5;";
    s += "Jet OLEDB:Database Locking Mode=1;";
    s += "Jet OLEDB:Global Partial Bulk Ops=2;";
    s += "Jet OLEDB:Global Bulk Transactions=1;";
    s += "Jet OLEDB:New Database Password=;";
    s += "Jet OLEDB:Create System Database=False;";
    s += "Jet OLEDB:Encrypt Database=False;";
    s += "Jet OLEDB:Don't Copy Locale on Compact=False;";
    s += "Jet OLEDB:Compact Without Replica Repair=False;";
    s += "Jet OLEDB:SFP=False;";
    s += extraText;
    return s;
}

ConnectionSettings ParseConnectionString(const std::string& connectionString)
{
    ConnectionSettings settings;
    std::size_t pos = 0;
    while (pos < connectionString.size()) {
        std::size_t end = connectionString.find(';', pos);
        if (end == std::string::npos)
            end = connectionString.size();
        const std::string item = connectionString.substr(pos, end - pos);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            const std::string key = item.substr(0, eq);
            if (key == "Provider")
                settings.provider = item.substr(eq + 1);
            else if (key == "Data Source")
                settings.dataSource = item.substr(eq + 1);
        }
        pos = end + 1;
    }
    return settings;
}

// ---- Recordset ----

Recordset::Recordset(std::unique_ptr<Cursor> cursor) : m_cursor(std::move(cursor)) {}

Recordset::~Recordset() = default;

std::string_view Recordset::FieldView(int position) const
{
    return inRow(position) ? m_cursor->text(position) : std::string_view();
}

bool Recordset::IsNull(int position) const
{
    return !inRow(position) || m_cursor->isNull(position);
}

bool Recordset::IsInteger(int position) const
{
    return inRow(position) && m_cursor->isInteger(position);
}

std::int64_t Recordset::FieldInteger(int position) const
{
    return inRow(position) ? m_cursor->integer(position) : 0;
}

bool Recordset::MoveNext()
{
    if (EndOfFile())
        return true;
    return m_cursor->next(m_error);
}

// ---- DbConnection ----

DbConnection::DbConnection() = default;

DbConnection::~DbConnection()
{
    close();
}

void DbConnection::close()
{
    m_backend.reset();
}

bool DbConnection::fail(const std::string& message)
{
    close();
    return noteFailure(message);
}

bool DbConnection::noteFailure(const std::string& message)
{
    m_error = message;
    m_errorKind = m_backend ? m_backend->lastErrorKind() : ErrorKind::Other;
    return false;
}

void DbConnection::setError(std::string message)
{
    m_error = std::move(message);
    m_errorKind = m_error.empty() ? ErrorKind::None : ErrorKind::Other;
}

bool DbConnection::Open(const std::string& connectionString)
{
    const ConnectionSettings settings = ParseConnectionString(connectionString);
    if (settings.provider != "Microsoft.Jet.OLEDB.4.0") {
        m_shownSource = RedactedDataSource(settings.dataSource);
        return fail(lang::trf("Provider cannot be found. It may not be properly installed: '%1'.",
                              "找不到数据提供程序，它可能没有正确安装：“%1”。", {settings.provider}));
    }
    return OpenFile(settings.dataSource);
}

bool DbConnection::OpenFile(const std::string& dataSource, Access access)
{
    close();
    m_shownSource = RedactedDataSource(dataSource);
    setError(std::string());
    std::string error;
    ErrorKind kind = ErrorKind::Other;
    m_backend = IsServerDataSource(dataSource) ? OpenPostgres(dataSource, access, error)
                                               : OpenSqliteFile(dataSource, access, m_lockWaitMs, error, kind);
    if (!m_backend) {
        fail(error);
        m_errorKind = kind;
        return false;
    }
    m_backend->setLockWait(m_lockWaitMs);
    return true;
}

std::optional<bool> DbConnection::HasTable(const std::string& name)
{
    auto rows = ExecuteBound(dialect().countTables, {name});
    if (!rows)
        return std::nullopt;
    return rows->FieldInteger(0) > 0;
}

void DbConnection::setLockWait(int milliseconds)
{
    m_lockWaitMs = milliseconds;
    if (m_backend)
        m_backend->setLockWait(milliseconds);
}

std::unique_ptr<Recordset> DbConnection::Execute(const std::string& sql, const std::vector<std::string>& parameters)
{
    std::vector<Value> values(parameters.begin(), parameters.end());
    return ExecuteBound(sql, values);
}

std::unique_ptr<Recordset> DbConnection::ExecuteBound(const std::string& sql, const std::vector<Value>& values)
{
    setError(std::string());
    if (!m_backend) {
        noteFailure(lang::tr("The database is not open.", "数据库没有打开。"));
        return nullptr;
    }
    std::string error;
    std::unique_ptr<Cursor> cursor = m_backend->execute(sql, values, error);
    if (!cursor) {
        noteFailure(error);
        return nullptr;
    }
    return std::make_unique<Recordset>(std::move(cursor));
}

bool DbConnection::Run(const std::string& sql, const std::vector<std::string>& parameters)
{
    return Execute(sql, parameters) != nullptr;
}

bool DbConnection::RunBound(const std::string& sql, const std::vector<Value>& values)
{
    return ExecuteBound(sql, values) != nullptr;
}

bool DbConnection::RunMany(const std::string& sql, const std::function<bool(std::vector<Value>&)>& next)
{
    setError(std::string());
    if (!m_backend)
        return noteFailure(lang::tr("The database is not open.", "数据库没有打开。"));
    std::string error;
    return m_backend->runMany(sql, next, error) || noteFailure(error);
}

int DbConnection::changes() const
{
    return m_backend ? m_backend->changes() : 0;
}

std::optional<ChangeStamp> DbConnection::changeStamp()
{
    return m_backend ? m_backend->changeStamp() : std::nullopt;
}

bool DbConnection::BeginTransaction(TransactionKind kind)
{
    setError(std::string());
    if (!m_backend)
        return noteFailure(lang::tr("The database is not open.", "数据库没有打开。"));
    std::string error;
    return m_backend->begin(kind, error) || noteFailure(error);
}

bool DbConnection::CommitTransaction()
{
    setError(std::string());
    if (!m_backend)
        return noteFailure(lang::tr("The database is not open.", "数据库没有打开。"));
    std::string error;
    return m_backend->commit(error) || noteFailure(error);
}

void DbConnection::RollbackTransaction()
{
    if (m_backend)
        m_backend->rollback();
}

}  // namespace store
