#pragma once
// The record's tables beside `sheet`, and how far a file has them: none (a
// file no draw was ever written to), the first three alone (a file written
// by an older version: draws and voids of format 1), or all of them.
//
//   draw_record        a draw (format 1 columns, then record_format,
//                      organiser_seed, seed_commitment, public_input,
//                      announcement_id, plan_round, prize_name, group_rule)
//   draw_winner        its winners in draw order
//   draw_void          a voided winner and its replacement (format 1 columns,
//                      then record_format, organiser_seed, seed_commitment,
//                      public_input, reason)
//   draw_reset         a reset of every winner
//   draw_correction    a later correction of a draw's prize level or prize
//   draw_announcement  a list frozen and published before its draw
//   prize_plan         the event's rounds (not part of the chain)
// Only commands that write to the record create or extend them; readers
// take a file without them as one without entries.

#include <optional>
#include <string>
#include <vector>

#include "store/connection.h"

namespace draw {

enum class RecordLayout {
    None,      // no record tables
    Original,  // draw_record, draw_winner and draw_void of format 1 only
    Current,   // every table and column above
};

// nullopt with connection.error() when the catalogue cannot be read.
std::optional<RecordLayout> RecordLayoutOf(store::DbConnection& connection);

// Creates the tables that are missing and adds the new columns to an older
// file's, in one transaction. A file that has them all costs one look at the
// catalogue. False with connection.error(). `created`, when given, gains the
// names of the tables this call made, in the order made.
bool EnsureDrawTables(store::DbConnection& connection, std::vector<std::string>* created = nullptr);

// Whether the record's tables are there (in either layout); nullopt with
// connection.error() when that cannot be read.
std::optional<bool> RecordPresent(store::DbConnection& connection);

}  // namespace draw
