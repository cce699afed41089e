// Reading and marking a draw's winners, a batch of them per statement: a
// stop with a thousand winners used to run five statements per winner, each
// a round trip on a server.

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <unordered_set>

#include "draw/record_rows.h"
#include "draw/record_transaction.h"
#include "platform/language/language.h"

namespace draw {

namespace {

// Values per statement: far inside SQLite's limit on marks (32,766) and the
// server's (65,535), and large enough that a stop of a thousand takes two.
constexpr std::size_t kBatch = 512;
// The smallest batch a statement is written for; see forEachBatch.
constexpr std::size_t kSmallestBatch = 8;

// Each statement is followed by a batch's "(?, …)". Only the rows still
// not won are read as such and marked by row: one won since the list was read
// makes the attempt void, and one whose mark changes nothing is caught.
const char* const kSelectPicked = "select id, user_name, user_number, isluck from sheet where id in ";
const char* const kMarkRows = "update sheet set isluck = '是' where isluck = '否' and id in ";
// The rows a number mark is about to turn, so that a list held elsewhere can
// drop exactly them; the mark itself turns every row holding the number, as
// the program always has.
const char* const kSelectSharing = "select id from sheet where isluck = '否' and user_number in ";
// Rows won already are left alone: rewriting them changes nothing, but costs
// a server a new version of each (the winners' own rows are among them).
const char* const kMarkNumbers =
    "update sheet set isluck = '是' where (isluck is null or isluck <> '是') and user_number in ";

// Calls run(marks, values) for each batch of `values`, marks being its
// "(?, …)". A batch is padded to a power of two by repeating its last value
// (harmless in an "in" list), so that a handful of statement texts serve
// every count and stay prepared.
template <typename Run>
bool forEachBatch(const std::vector<store::Value>& values, Run run)
{
    std::vector<store::Value> batch;
    for (std::size_t first = 0; first < values.size(); first += kBatch) {
        const std::size_t n = std::min(kBatch, values.size() - first);
        const std::size_t padded = std::min(kBatch, std::bit_ceil(std::max(n, kSmallestBatch)));
        batch.assign(values.begin() + std::ptrdiff_t(first), values.begin() + std::ptrdiff_t(first + n));
        const store::Value last = batch.back();  // not a reference into what resize may move
        batch.resize(padded, last);
        std::string marks = "(";
        for (std::size_t i = 0; i < padded; ++i)
            marks += i ? ", ?" : "?";
        marks += ')';
        if (!run(marks, batch))
            return false;
    }
    return true;
}

// Reads each picked participant inside the transaction: one who has won or
// vanished since the list was read makes the attempt void.
PickOutcome readPicked(store::DbConnection& connection, const std::vector<std::int64_t>& ids,
                       const std::vector<std::size_t>& picks, std::vector<RecordedWinner>& winners)
{
    winners.clear();
    std::vector<store::Value> wanted;
    wanted.reserve(picks.size());
    for (std::size_t pick : picks)
        wanted.emplace_back(ids[pick]);
    struct Found {
        RecordedWinner winner;
        bool notWon = false;
    };
    // A file may hold one id on several rows; the first read stands for it,
    // as when each winner was read alone.
    std::unordered_map<std::int64_t, Found> found;
    const bool read = forEachBatch(wanted, [&](const std::string& marks, const auto& batch) {
        auto rows = connection.ExecuteBound(kSelectPicked + marks, batch);
        return ReadRows(connection, std::move(rows), [&](const store::Recordset& row) {
            Found one{{0, row.FieldInteger(0), OptionalText(row, 1), OptionalText(row, 2)},
                      row.FieldView(3) == store::kNotWon};
            found.try_emplace(one.winner.id, std::move(one));
        });
    });
    if (!read)
        return PickOutcome::Error;
    for (std::size_t k = 0; k < picks.size(); ++k) {
        const auto row = found.find(ids[picks[k]]);
        if (row == found.end() || !row->second.notWon)
            return PickOutcome::Taken;
        winners.push_back(row->second.winner);
        winners.back().position = int(k + 1);
    }
    return PickOutcome::Done;
}

// Every winner by its row, which must turn: the first winner, by position,
// whose row did not (a trigger refused it, or an earlier winner had the same
// row) undoes the draw.
PickOutcome markRows(store::DbConnection& connection, const std::vector<RecordedWinner>& winners,
                     std::string& problem, std::vector<std::int64_t>& marked)
{
    std::vector<store::Value> ids;
    ids.reserve(winners.size());
    for (const RecordedWinner& winner : winners)
        ids.emplace_back(winner.id);
    std::unordered_set<std::int64_t> turned;
    const bool ran = forEachBatch(ids, [&](const std::string& marks, const auto& batch) {
        return ReadRows(connection, connection.ExecuteBound(kMarkRows + marks + " returning id", batch),
                       [&](const store::Recordset& row) { turned.insert(row.FieldInteger(0)); });
    });
    if (!ran)
        return PickOutcome::Error;
    for (const RecordedWinner& winner : winners) {
        if (turned.erase(winner.id) == 0) {
            problem = lang::trf("the mark of winner %1 (%2, id %3) changed no row in the database",
                                "中奖者第 %1 名（%2，编号 %3）的标记没有改变数据库中的任何一行",
                                {std::to_string(winner.position), winner.name.value_or(""), std::to_string(winner.id)});
            return PickOutcome::ChangedNothing;
        }
        marked.push_back(winner.id);
    }
    return PickOutcome::Done;
}

// Every winner's number, so that rows sharing it are marked too; the ids of
// the rows that turn join `marked`, which a row whose id is not a whole number
// makes unknown. A Null number names nobody else.
bool markNumbers(store::DbConnection& connection, const std::vector<RecordedWinner>& winners,
                 std::optional<std::vector<std::int64_t>>& marked)
{
    std::vector<store::Value> numbers;
    for (const RecordedWinner& winner : winners)
        if (winner.number)
            numbers.emplace_back(*winner.number);
    if (numbers.empty())
        return true;
    return forEachBatch(numbers, [&](const std::string& marks, const auto& batch) {
        const bool read = ReadRows(connection, connection.ExecuteBound(kSelectSharing + marks, batch),
                                  [&](const store::Recordset& row) {
            if (!row.IsInteger(0))
                marked.reset();
            else if (marked)
                marked->push_back(row.FieldInteger(0));
        });
        return read && connection.RunBound(kMarkNumbers + marks, batch);
    });
}

}  // namespace

PickAttempt PickAndMark(store::DbConnection& connection, const std::vector<std::int64_t>& ids, std::size_t n,
                        const Seed& seed)
{
    PickAttempt attempt;
    attempt.outcome = readPicked(connection, ids, PickIndices(seed, ids.size(), n), attempt.winners);
    if (attempt.outcome != PickOutcome::Done)
        return attempt;
    attempt.marked.emplace();
    attempt.outcome = markRows(connection, attempt.winners, attempt.problem, *attempt.marked);
    if (attempt.outcome == PickOutcome::Done && !markNumbers(connection, attempt.winners, attempt.marked))
        attempt.outcome = PickOutcome::Error;
    return attempt;
}

}  // namespace draw
