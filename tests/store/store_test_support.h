#pragma once
// Scratch databases for the store's tests: a private folder that is removed
// afterwards, and raw SQL on files without going through the store.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/draw_picks.h"

namespace storetest {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sortia-store-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Runs SQL on a file (creating it), outside the store; fails the test on error.
inline void runSql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

// The table as the program creates it, with the given rows (SQL values lists).
inline void makeSheet(const std::string& path, const std::string& valuesRows)
{
    runSql(path,
           "create table sheet (id integer primary key, user_name text, user_number text,"
           " isluck text default '否');");
    if (!valuesRows.empty())
        runSql(path, "insert into sheet (id, user_name, user_number, isluck) values " + valuesRows + ";");
}

// Rows (id, 'p<id>', 'n<id>', isluck) for ids 1 .. count, the first `won`
// of them having won; for makeSheet.
inline std::string participantRows(int count, int won = 0)
{
    std::string rows;
    for (int id = 1; id <= count; ++id)
        rows += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", 'p" + std::to_string(id) + "', 'n" +
                std::to_string(id) + "', '" + (id <= won ? "是" : "否") + "')";
    return rows;
}

// A seed of 32 equal bytes.
inline store::Seed seedOf(std::uint8_t value)
{
    store::Seed seed;
    seed.fill(value);
    return seed;
}

}  // namespace storetest
