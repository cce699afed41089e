#include "import/mdb_reader.h"

#include <algorithm>
#include <cctype>
#include <memory>

// mdbtools.h includes glib inside its extern "C" block; glib's C++ parts must come first.
#include <glib.h>
#include <mdbtools.h>

#include "platform/language/language.h"

namespace importer {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;
using Table = std::unique_ptr<MdbTableDef, TableFreer>;

// The user table of that name (system tables are not offered); the catalog
// must have been read.
MdbCatalogEntry* findTable(MdbHandle* mdb, const std::string& name, std::vector<std::string>& tables)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        if (sameName(entry->object_name, name))
            return entry;
        tables.push_back(entry->object_name);
    }
    return nullptr;
}

struct BoundColumn {
    int type = 0;
    std::vector<char> buffer;
    int length = 0;
};

// Binds one column by name; -1 when the table has none of that name.
int bindColumn(MdbTableDef* table, const std::string& name, BoundColumn& bound)
{
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        if (!sameName(column->name, name))
            continue;
        bound.type = column->col_type;
        bound.buffer.assign(MDB_BIND_SIZE, '\0');
        mdb_bind_column(table, int(i + 1), bound.buffer.data(), &bound.length);
        return int(i);
    }
    return -1;
}

std::vector<std::string> columnNames(MdbTableDef* table)
{
    std::vector<std::string> names;
    for (unsigned i = 0; i < table->num_cols; ++i)
        names.push_back(static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i))->name);
    return names;
}

std::string valueOf(const BoundColumn& bound)
{
    const std::size_t length = std::min<std::size_t>(std::size_t(std::max(bound.length, 0)), bound.buffer.size());
    std::string text(bound.buffer.data(), length);
    // The library prints floating-point numbers in its own way; a phone
    // number kept as a Double must come out as its digits.
    if (bound.type == MDB_FLOAT || bound.type == MDB_DOUBLE)
        return plainNumberText(text);
    return text;
}

bool fetchRows(MdbTableDef* table, std::vector<BoundColumn>& bound, std::vector<Record>& records,
               const ProgressFn& progress, Problem& problem)
{
    mdb_rewind_table(table);
    std::size_t row = 0;
    while (mdb_fetch_row(table)) {
        Record record;
        record.line = ++row;
        for (const BoundColumn& column : bound)
            record.fields.push_back(valueOf(column));
        records.push_back(std::move(record));
        if (!reportProgress(progress, Progress::Stage::Reading, row, table->num_rows)) {
            problem = {0, lang::tr("the import was stopped", "导入已停止")};
            return false;
        }
    }
    return true;
}

}  // namespace

bool readMdb(std::string_view bytes, const AccessTable& request, std::vector<Record>& records, Problem& problem,
             const ProgressFn& progress)
{
    records.clear();
    Handle mdb(mdb_open_buffer(const_cast<char*>(bytes.data()), bytes.size(), MDB_NOFLAGS));
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE)) {
        problem = {0, lang::tr("the file is not an Access database that can be read", "文件不是可以读取的 Access 数据库")};
        return false;
    }
    std::vector<std::string> tables;
    MdbCatalogEntry* entry = findTable(mdb.get(), request.table, tables);
    Table table(entry ? mdb_read_table(entry) : nullptr);
    if (!table || !mdb_read_columns(table.get())) {
        problem = {0, lang::trf("the Access database has no table %1 (its tables: %2)", "Access 数据库中没有表 %1（现有的表：%2）",
                                {request.table, joined(tables)})};
        return false;
    }
    const ColumnNames& names = request.columns;
    std::vector<std::string> wanted = {names.name, names.number, names.isluck};
    std::vector<BoundColumn> bound(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (bindColumn(table.get(), wanted[i], bound[i]) >= 0)
            continue;
        if (i == 2) {  // isluck is optional
            wanted.pop_back();
            bound.pop_back();
            break;
        }
        problem = {0, lang::trf("the table %1 has no column %2 (its columns: %3)", "表 %1 中没有列 %2（现有的列：%3）",
                                {request.table, wanted[i], joined(columnNames(table.get()))})};
        return false;
    }
    records.push_back({0, wanted});
    return fetchRows(table.get(), bound, records, progress, problem);
}

}  // namespace importer
