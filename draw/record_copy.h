#pragma once
// What a copy of a whole database (store::CopyDatabase) needs to know of the
// draw record: its tables, and that the copy must check out as the original.

#include <vector>

#include "draw/record_schema.h"
#include "store/database_copy.h"

namespace draw {

// The record's tables in the order they are copied, with the columns a
// source of `layout` has (an older file's draws and voids keep the defaults
// of format 1 in the copy).
std::vector<store::CopiedTable> RecordCopyTables(RecordLayout layout = RecordLayout::Current);

// Before the copy is committed, its record is verified and must give what
// the source's gives; `sourceMatches` tells whether the source's verified.
store::CopyCheck SameRecordCheck(bool& sourceMatches);

}  // namespace draw
