#pragma once
// Moving a whole participant database from one data source to another (an
// SQLite file to a PostgreSQL server, or back): `sheet` with its ids and
// flags, and the draw record as it stands, so that every draw still verifies
// at the destination.

#include <string>

#include "store/connection.h"

namespace store {

struct CopyReport {
    long long participants = 0;
    long long draws = 0;
    long long winners = 0;
    long long voids = 0;
    bool recordMatches = true;  // the source's record verifies (and so does the copy)
    int extraColumns = 0;       // columns of the source's sheet beyond the four, not copied
};

// Copies everything of `from` into `to`, which must hold no participants and
// no draws, in one transaction of `to`: all of it or nothing. The copy is
// read in one transaction of `from`, so nothing written meanwhile half-counts.
// Refuses, naming the table, row and column, a text that the destination
// cannot hold (a PostgreSQL database takes only UTF-8 without NUL bytes).
// Before committing, the copy's record is verified and must give what the
// source's gives. False with `error`.
bool CopyDatabase(DbConnection& from, DbConnection& to, CopyReport& report, std::string& error);

}  // namespace store
