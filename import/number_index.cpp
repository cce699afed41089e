#include "import/number_index.h"

#include <functional>

namespace importer {

NumberIndex::NumberIndex(const std::vector<ImportRow>& rows) : m_rows(rows)
{
    // At most half full, so that probe runs stay short.
    std::size_t capacity = 16;
    while (capacity < rows.size() * 2)
        capacity <<= 1;
    m_slots.assign(capacity, 0);
    m_mask = capacity - 1;
}

// The slot holding this number, or the free slot where it would go.
std::size_t NumberIndex::slotOf(std::string_view number) const
{
    for (std::size_t i = std::hash<std::string_view>{}(number) & m_mask;; i = (i + 1) & m_mask) {
        if (m_slots[i] == 0 || m_rows[m_slots[i] - 1].number == number)
            return i;
    }
}

std::size_t NumberIndex::insert(std::size_t position)
{
    const std::size_t slot = slotOf(m_rows[position].number);
    if (m_slots[slot] != 0)
        return m_slots[slot] - 1;
    m_slots[slot] = std::uint32_t(position + 1);
    return npos;
}

std::size_t NumberIndex::find(std::string_view number) const
{
    const std::uint32_t entry = m_slots[slotOf(number)];
    return entry == 0 ? npos : entry - 1;
}

}  // namespace importer
