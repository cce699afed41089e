#pragma once
// Finds checked rows by their user_number: an open-addressing hash table of
// row positions, built once for a whole list. A million rows need neither a
// query each nor a node each.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "import/participant_rows.h"

namespace importer {

class NumberIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // An empty index over the rows, which must outlive it and not change.
    // Positions are kept in 32 bits: the file size limits keep lists far
    // below 2^32 rows.
    explicit NumberIndex(const std::vector<ImportRow>& rows);

    // Adds the row at position; returns npos, or the position of an earlier
    // row with the same number (which stays the one found).
    std::size_t insert(std::size_t position);
    // The position of the row with this number, or npos.
    std::size_t find(std::string_view number) const;

private:
    std::size_t slotOf(std::string_view number) const;

    const std::vector<ImportRow>& m_rows;
    std::vector<std::uint32_t> m_slots;  // position + 1; 0 is free
    std::size_t m_mask = 0;
};

}  // namespace importer
