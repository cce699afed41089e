#pragma once
// Moving a whole participant database from one data source to another (an
// SQLite file to a PostgreSQL server, or back): `sheet` with its ids and
// flags, and the tables the layers above keep beside it (the draw record),
// as they stand.

#include <functional>
#include <string>
#include <vector>

#include "store/connection.h"

namespace store {

// A table as it is copied: its columns ("a, b, c"), how each is bound (I a
// whole number, T text, B bytes, one letter per column) and an order that
// keeps the copy reproducible.
struct CopiedTable {
    std::string table;
    std::string columns;
    std::string kinds;
    std::string order;
};

struct CopyReport {
    long long participants = 0;
    std::vector<long long> rows;  // per table given to CopyDatabase, in its order
    int extraColumns = 0;         // columns of the source's sheet beyond the four, not copied
};

// Run inside both transactions once everything is copied, before the
// commit: false with `error` refuses the copy.
using CopyCheck = std::function<bool(DbConnection& from, DbConnection& to, std::string& error)>;

// Copies `sheet` and `tables` of `from` into `to`, which must hold no rows
// in any of them, in one transaction of `to`: all of it or nothing. A table
// the source lacks is taken as empty; the destination must have them all.
// The copy is read in one transaction of `from`, so nothing written
// meanwhile half-counts. Refuses, naming the table, row and column, a text
// that the destination cannot hold (a PostgreSQL database takes only UTF-8
// without NUL bytes). False with `error`.
bool CopyDatabase(DbConnection& from, DbConnection& to, const std::vector<CopiedTable>& tables,
                  const CopyCheck& check, CopyReport& report, std::string& error);

// Whether `connection` holds no row in `sheet` nor in those of `tables` it
// has, as the destination of a copy must; false with `error` (saying so)
// when it does. Asked before anything is made in the destination.
bool IsEmptyForCopy(DbConnection& connection, const std::vector<CopiedTable>& tables, std::string& error);

// Removes `tables`, which a copy that failed made in this run, from the
// database of `connection`: the last made first, in one transaction, so
// that nothing that was there before is touched. False with `error`.
bool DropTables(DbConnection& connection, const std::vector<std::string>& tables, std::string& error);

// Gives the complete file `made` the name `path`, unless a file of that name
// has appeared meanwhile: that one is never replaced. False with `error`.
bool PlaceNewFile(const std::string& made, const std::string& path, std::string& error);

}  // namespace store
