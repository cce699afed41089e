#pragma once
// Every change of who may win must be accounted for by the record. Walking
// the chain, the ledger keeps the set of participants expected not to have
// won: the last whole not-won list seen, less the winners since (and the
// rows marked with them by number), plus rows added since (ids above every
// id a whole list has shown). Each later list is held against it:
//   - a whole list (an ordinary draw's or void's, a reset's, an
//     announcement's without a group rule) names ids it has that are not
//     expected (eligible again without a recorded reset) and expected ids it
//     lacks (marked or removed without a recorded win or reset), then
//     becomes the new expectation;
//   - a list limited by a group rule can only name ids eligible again;
//   - a reset's list is expected to hold more, and becomes the expectation.
// Entries of format 1 come from versions whose resets left no trace: their
// lists are taken as they are, and the first list of a newer entry starts
// the accounting.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "draw/draw_record.h"

namespace draw {

struct LedgerFindings {
    std::vector<std::int64_t> eligibleAgain;  // not expected, yet on the list
    std::vector<std::int64_t> leftUnrecorded; // expected, yet not on the list
    bool empty() const { return eligibleAgain.empty() && leftUnrecorded.empty(); }
};

class EligibilityLedger {
public:
    // The rows holding `number` (as `sheet` has them now); false when they
    // cannot be read.
    using RowsWithNumber = std::function<bool(const std::string& number, std::vector<std::int64_t>& ids)>;
    explicit EligibilityLedger(RowsWithNumber rowsWithNumber) : m_rowsWithNumber(std::move(rowsWithNumber)) {}

    // Lists are in list order (highest id first). False when a lookup failed.
    bool wholeList(const std::vector<std::int64_t>& ids, bool newFormat, LedgerFindings& found);
    void limitedList(const std::vector<std::int64_t>& ids, LedgerFindings& found);
    void reset(const std::vector<std::int64_t>& ids, LedgerFindings& found);
    void won(const RecordedWinner& winner);
    // Whether the accounting has started (a list of a newer entry was seen).
    bool known() const { return m_known; }
    // After an entry that does not match, its lists and winners say nothing
    // sure: the accounting starts again at the next whole list.
    void forget() { m_known = false; }

private:
    void applyWins();
    bool expected(std::int64_t id) const;
    bool markedWithWinners(std::set<std::int64_t>& ids);

    RowsWithNumber m_rowsWithNumber;
    bool m_known = false;
    std::vector<std::int64_t> m_expected;  // highest first
    std::vector<std::int64_t> m_wins;      // to leave m_expected
    std::int64_t m_highest = INT64_MIN;    // the highest id a whole list has shown
    std::set<std::string> m_wonNumbers;    // numbers of winners since the last reset
    std::map<std::string, std::vector<std::int64_t>> m_sharing;  // rows looked up per number
};

}  // namespace draw
