#pragma once
// What the benchmarks share: a database file with many made-up participants.

#include <chrono>
#include <string>

#include <sqlite3.h>

#include "store/participants.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A new database at `path` with `count` participants who have not won, ids 1 .. count.
inline void fillParticipants(const std::string& path, long count)
{
    std::string error;
    store::CreateDatabase(path, error);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into sheet (user_name, user_number, isluck) values (?, ?, '否')", -1, &insert,
                       nullptr);
    for (long i = 0; i < count; ++i) {
        const std::string name = "参与者" + std::to_string(i);
        const std::string number = "138" + std::to_string(10000000 + i);
        sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, number.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace bench
