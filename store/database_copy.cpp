#include "store/database_copy.h"

#include <cstdio>

#include "platform/language/language.h"
#include "store/utf8.h"

namespace store {

namespace {

const CopiedTable kSheet{"sheet", "id, user_name, user_number, isluck", "ITTT", "id"};

bool isUtf8(std::string_view text)
{
    return IsValidUtf8(text) && text.find('\0') == std::string_view::npos;
}

std::string hexBytes(std::string_view text)
{
    std::string hex;
    for (std::size_t i = 0; i < text.size() && i < 16; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", static_cast<unsigned char>(text[i]));
        hex += byte;
    }
    return hex;
}

// The name of the n-th column (0-based) in a list "a, b, c".
std::string columnName(const std::string& columns, int n)
{
    const std::string& list = columns;
    std::size_t start = 0;
    for (int i = 0; i < n; ++i)
        start = list.find(',', start) + 1;
    const std::size_t end = list.find(',', start);
    std::string name = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return name.substr(name.find_first_not_of(' '));
}

// One row's values as bound at the destination; false with `error` when a
// text cannot go there.
bool rowValues(const CopiedTable& copy, const Recordset& row, bool utf8Only, std::vector<Value>& values,
               std::string& error)
{
    values.clear();
    for (int i = 0; i < int(copy.kinds.size()); ++i) {
        const char kind = copy.kinds[i];
        if (row.IsNull(i)) {
            values.push_back(Value::Null());
        } else if (kind == 'I' && row.IsInteger(i)) {
            values.push_back(row.FieldInteger(i));
        } else if (kind == 'B') {
            values.push_back(Value::Blob(row.Field(i)));
        } else if (utf8Only && !isUtf8(row.FieldView(i))) {
            error = lang::trf("%1, row %2 = %3: %4 holds bytes that are not UTF-8 text (%5); a PostgreSQL database "
                              "keeps only UTF-8. Correct the value (or import the list again from its file), "
                              "then copy again; nothing was copied",
                              "%1 表中 %2 = %3 的行：%4 含有不是 UTF-8 文本的字节（%5）；PostgreSQL 数据库只能保存 "
                              "UTF-8。请改正这个值（或从原文件重新导入名单）后再复制；没有复制任何内容",
                              {copy.table, columnName(copy.columns, 0), row.Field(0), columnName(copy.columns, i),
                               hexBytes(row.FieldView(i))});
            return false;
        } else {
            values.push_back(row.Field(i));
        }
    }
    return true;
}

bool copyTable(DbConnection& from, DbConnection& to, const CopiedTable& copy, long long& rows, std::string& error)
{
    rows = 0;
    const std::optional<bool> present = from.HasTable(copy.table);
    if (!present) {
        error = from.error();
        return false;
    }
    if (!*present)
        return true;
    auto source = from.Execute("select " + copy.columns + " from " + copy.table + " order by " + copy.order);
    if (!source) {
        error = from.error();
        return false;
    }
    std::string marks;
    for (int i = 0; i < int(copy.kinds.size()); ++i)
        marks += i ? ", ?" : "?";
    const bool utf8Only = std::string(to.dialect().name) != "SQLite";
    bool refused = false;
    const auto next = [&](std::vector<Value>& values) {
        if (source->EndOfFile() || !rowValues(copy, *source, utf8Only, values, error))
            return false;
        ++rows;
        if (!source->MoveNext()) {
            error = source->error();
            refused = true;
            return false;
        }
        return true;
    };
    const bool ran = to.RunMany("insert into " + copy.table + " (" + copy.columns + ") values (" +
                                    marks + ")",
                                next);
    if (!ran && error.empty())
        error = to.error();
    return ran && error.empty() && !refused;
}

bool isEmpty(DbConnection& connection, const std::vector<CopiedTable>& tables, std::string& error)
{
    std::string sql = "select (select count(*) from sheet)";
    for (const CopiedTable& copy : tables)
        sql += " + (select count(*) from " + copy.table + ")";
    auto rows = connection.Execute(sql);
    if (!rows) {
        error = connection.error();
        return false;
    }
    if (rows->FieldInteger(0) != 0) {
        error = lang::trf("'%1' already holds participants or draws; copy only into a new or empty database",
                          "“%1”中已经有参与者或抽奖记录；只能复制到新的或空的数据库", {connection.path()});
        return false;
    }
    return true;
}

bool copyAll(DbConnection& from, DbConnection& to, const std::vector<CopiedTable>& tables, const CopyCheck& check,
             CopyReport& report, std::string& error)
{
    if (!copyTable(from, to, kSheet, report.participants, error))
        return false;
    report.rows.assign(tables.size(), 0);
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (!copyTable(from, to, tables[i], report.rows[i], error))
            return false;
    if (to.dialect().afterExplicitIds && !to.Run(to.dialect().afterExplicitIds)) {
        error = to.error();
        return false;
    }
    return !check || check(from, to, error);
}

}  // namespace

bool CopyDatabase(DbConnection& from, DbConnection& to, const std::vector<CopiedTable>& tables,
                  const CopyCheck& check, CopyReport& report, std::string& error)
{
    report = CopyReport();
    error.clear();
    if (auto columns = from.Execute("select * from sheet where 1 = 0"))
        report.extraColumns = std::max(0, columns->FieldCount() - 4);
    if (!isEmpty(to, tables, error))
        return false;
    if (!from.BeginTransaction()) {
        error = from.error();
        return false;
    }
    if (!to.BeginTransaction(TransactionKind::Import)) {
        error = to.error();
        from.RollbackTransaction();
        return false;
    }
    const bool copied = copyAll(from, to, tables, check, report, error);
    from.RollbackTransaction();  // it was only read
    if (copied && to.CommitTransaction())
        return true;
    if (copied)
        error = to.error();
    to.RollbackTransaction();
    return false;
}

}  // namespace store
