#include "import/mdb_reader.h"

#include <algorithm>
#include <cctype>
#include <iterator>
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

// The first names of a list, for a message; a file may hold thousands.
std::string joined(const std::vector<std::string>& names, const char* separator = ", ")
{
    constexpr std::size_t kShown = 12;
    std::string out;
    for (std::size_t i = 0; i < names.size() && i < kShown; ++i)
        out += (i ? separator : "") + quoteValue(names[i]);
    if (names.size() > kShown)
        out += separator + std::string("…");
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

// Binds the first column the table has of the names given and no other
// role took (the library keeps one binding a column); its name, or "" when
// there is none. The library keeps pointers into `bound`.
std::string bindColumn(MdbTableDef* table, const std::vector<std::string>& names, std::vector<unsigned>& taken,
                       BoundColumn& bound)
{
    for (const std::string& name : names) {
        for (unsigned i = 0; i < table->num_cols; ++i) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (!sameName(column->name, name) || std::find(taken.begin(), taken.end(), i) != taken.end())
                continue;
            taken.push_back(i);
            bound.type = column->col_type;
            bound.buffer.assign(MDB_BIND_SIZE, '\0');
            mdb_bind_column(table, int(i + 1), bound.buffer.data(), &bound.length);
            return column->name;
        }
    }
    return {};
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
        for (const BoundColumn& column : bound) {
            record.fields.push_back(valueOf(column));
            if (characterCount(record.fields.back()) > kMaxFieldChars) {
                problem = {row, lang::trf("a value is longer than %1 characters ('%2')", "有值超过 %1 个字符（“%2”）",
                                          {std::to_string(kMaxFieldChars), quoteValue(record.fields.back())})};
                return false;
            }
        }
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
                                {quoteValue(request.table), joined(tables)})};
        return false;
    }
    const ColumnNames& names = request.columns;
    const std::vector<std::string>* roles[] = {&names.name, &names.number, &names.isluck, &names.group};
    std::vector<std::string> header;
    std::vector<BoundColumn> bound;
    bound.reserve(std::size(roles));  // bound in place: never moved after binding
    std::vector<unsigned> taken;
    for (std::size_t i = 0; i < std::size(roles); ++i) {
        bound.emplace_back();
        std::string found = bindColumn(table.get(), *roles[i], taken, bound.back());
        if (!found.empty()) {
            header.push_back(std::move(found));
            continue;
        }
        bound.pop_back();
        if (i < 2) {  // isluck and group are optional
            problem = {0, lang::trf("the table %1 has no column %2 (its columns: %3)", "表 %1 中没有列 %2（现有的列：%3）",
                                    {quoteValue(request.table), joined(*roles[i], "/"), joined(columnNames(table.get()))})};
            return false;
        }
    }
    records.push_back({0, std::move(header)});
    return fetchRows(table.get(), bound, records, progress, problem);
}

}  // namespace importer
