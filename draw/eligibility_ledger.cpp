#include "draw/eligibility_ledger.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace draw {

void EligibilityLedger::applyWins()
{
    if (m_wins.empty())
        return;
    std::sort(m_wins.begin(), m_wins.end(), std::greater<>());
    std::vector<std::int64_t> kept;
    kept.reserve(m_expected.size());
    std::set_difference(m_expected.begin(), m_expected.end(), m_wins.begin(), m_wins.end(), std::back_inserter(kept),
                        std::greater<>());
    m_expected = std::move(kept);
    m_wins.clear();
}

bool EligibilityLedger::expected(std::int64_t id) const
{
    return std::binary_search(m_expected.begin(), m_expected.end(), id, std::greater<>());
}

// The rows that share a winner's number were marked with that winner.
bool EligibilityLedger::markedWithWinners(std::set<std::int64_t>& ids)
{
    for (const std::string& number : m_wonNumbers) {
        auto rows = m_sharing.find(number);
        if (rows == m_sharing.end()) {
            std::vector<std::int64_t> found;
            if (!m_rowsWithNumber(number, found))
                return false;
            rows = m_sharing.emplace(number, std::move(found)).first;
        }
        ids.insert(rows->second.begin(), rows->second.end());
    }
    return true;
}

bool EligibilityLedger::wholeList(const std::vector<std::int64_t>& ids, bool newFormat, LedgerFindings& found)
{
    applyWins();
    bool failed = false;
    std::optional<std::set<std::int64_t>> excused;  // looked up at the first id missing
    if (m_known && newFormat) {
        // Both lists run from the highest id down.
        auto was = m_expected.begin();
        for (auto is = ids.begin(); is != ids.end() || was != m_expected.end();) {
            if (was == m_expected.end() || (is != ids.end() && *is > *was)) {
                if (*is <= m_highest)
                    found.eligibleAgain.push_back(*is);
                ++is;
            } else if (is == ids.end() || *was > *is) {
                if (!excused) {
                    excused.emplace();
                    failed = !markedWithWinners(*excused);
                }
                if (!excused->count(*was))
                    found.leftUnrecorded.push_back(*was);
                ++was;
            } else {
                ++is;
                ++was;
            }
        }
    }
    m_expected = ids;
    m_known = m_known || newFormat;
    if (!ids.empty())
        m_highest = std::max(m_highest, ids.front());
    return !failed;
}

void EligibilityLedger::limitedList(const std::vector<std::int64_t>& ids, LedgerFindings& found)
{
    applyWins();
    if (!m_known)
        return;
    for (std::int64_t id : ids)
        if (id <= m_highest && !expected(id))
            found.eligibleAgain.push_back(id);
}

void EligibilityLedger::reset(const std::vector<std::int64_t>& ids, LedgerFindings& found)
{
    applyWins();
    if (m_known)
        for (std::int64_t id : m_expected)
            if (!std::binary_search(ids.begin(), ids.end(), id, std::greater<>()))
                found.leftUnrecorded.push_back(id);
    m_expected = ids;
    m_known = true;
    m_wonNumbers.clear();
    m_sharing.clear();
    if (!ids.empty())
        m_highest = std::max(m_highest, ids.front());
}

void EligibilityLedger::won(const RecordedWinner& winner)
{
    m_wins.push_back(winner.id);
    if (winner.number)
        m_wonNumbers.insert(*winner.number);
}

}  // namespace draw
