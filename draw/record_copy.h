#pragma once
// What a copy of a whole database (store::CopyDatabase) needs to know of the
// draw record: its tables, and that the copy must check out as the original.

#include <vector>

#include "store/database_copy.h"

namespace draw {

// The record's tables in the order they are copied.
std::vector<store::CopiedTable> RecordCopyTables();

// Before the copy is committed, its record is verified and must give what
// the source's gives; `sourceMatches` tells whether the source's verified.
store::CopyCheck SameRecordCheck(bool& sourceMatches);

}  // namespace draw
