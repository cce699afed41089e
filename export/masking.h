#pragma once
// What the room may see of a participant: names and numbers masked the way
// organisers publish winners, so that a photo of the screen or a published
// list does not give away a whole name or telephone number. The database,
// the record, printouts and ordinary exports keep the full values.

#include <string>
#include <string_view>

namespace exporter {

// A name keeps its first character and, from three characters on, its last;
// each character in between (and the second of two) becomes '*':
// 张三丰 → 张*丰, 张三 → 张*, 欧阳娜娜 → 欧**娜. Spaces stay, so that
// Western names keep their shape. A byte that is not well-formed UTF-8 is
// masked as a character of its own, never shown.
std::string MaskName(std::string_view name);

// A number of eight characters or more keeps its first three and last four,
// the rest becomes '*' (13812345678 → 138****5678); a shorter one, such as
// a staff number, is kept whole.
std::string MaskNumber(std::string_view number);

}  // namespace exporter
