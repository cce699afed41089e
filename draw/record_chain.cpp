#include "draw/record_chain.h"

#include "draw/draw_record.h"
#include "platform/language/language.h"

namespace draw {
namespace {

// The newest entry of each table, kept when nothing links to it. Each part
// reads one row through its key; each test one index.
const char* const kHeadQuery =
    "select d from ("
    " select record_digest as d from (select record_digest from draw_record order by draw_id desc limit 1) t1"
    " union all select record_digest from"
    "  (select record_digest from draw_void order by draw_id desc, void_seq desc limit 1) t2"
    " union all select record_digest from"
    "  (select record_digest from draw_reset order by reset_seq desc limit 1) t3"
    " union all select record_digest from"
    "  (select record_digest from draw_correction order by correction_seq desc limit 1) t4"
    " union all select record_digest from"
    "  (select record_digest from draw_announcement order by announcement_id desc limit 1) t5"
    ") tails"
    " where not exists (select 1 from draw_record x where x.previous_digest = tails.d)"
    " and not exists (select 1 from draw_void x where x.previous_digest = tails.d)"
    " and not exists (select 1 from draw_reset x where x.previous_digest = tails.d)"
    " and not exists (select 1 from draw_correction x where x.previous_digest = tails.d)"
    " and not exists (select 1 from draw_announcement x where x.previous_digest = tails.d)";

// A file of format 1 has draws and voids only: the last draw's last void,
// else the last draw.
bool originalHead(store::DbConnection& connection, std::string& digest)
{
    auto head = connection.Execute(
        "select d from (select record_digest as d, draw_id, 1 as k, void_seq from draw_void"
        " union all select record_digest, draw_id, 0, 0 from draw_record) entries"
        " order by draw_id desc, k desc, void_seq desc limit 1");
    if (!head)
        return false;
    digest = head->EndOfFile() ? kChainStart : head->Field(0);
    return true;
}

}  // namespace

bool ChainHead(store::DbConnection& connection, std::string& digest)
{
    auto head = connection.Execute(kHeadQuery);
    if (!head)
        return false;
    if (!head->EndOfFile()) {
        digest = head->Field(0);
        return true;
    }
    // Nothing free: either there are no entries or they link in a loop.
    auto count = connection.Execute("select (select count(*) from draw_record) + (select count(*) from draw_void) +"
                                    " (select count(*) from draw_reset) + (select count(*) from draw_correction) +"
                                    " (select count(*) from draw_announcement)");
    if (!count)
        return false;
    if (count->FieldInteger(0) == 0) {
        digest = kChainStart;
        return true;
    }
    connection.setError(lang::tr("the draw record's newest entry cannot be found: its entries were edited so that "
                                 "each has a successor; run sortia-db verify",
                                 "找不到抽奖记录的最新一条：记录被改成每条都有后继；请运行 sortia-db verify"));
    return false;
}

bool NewestAnchor(store::DbConnection& connection, Anchor& anchor)
{
    anchor = Anchor{0, kChainStart};
    const std::optional<RecordLayout> layout = RecordLayoutOf(connection);
    if (!layout)
        return false;
    if (*layout == RecordLayout::None)
        return true;
    const bool found = *layout == RecordLayout::Current ? ChainHead(connection, anchor.digest)
                                                        : originalHead(connection, anchor.digest);
    return found && LastDrawId(connection, anchor.drawId);
}

bool ListedHead(store::DbConnection& connection, std::string& head)
{
    head.clear();
    const std::optional<bool> current = connection.HasTable("draw_announcement");
    if (!current)
        return false;
    return !*current || ChainHead(connection, head);
}

bool NextNumber(store::DbConnection& connection, const char* table, const char* column, long long& next)
{
    auto row = connection.Execute(std::string("select max(") + column + ") from " + table);
    if (!row)
        return false;
    next = row->FieldInteger(0) + 1;
    return true;
}

}  // namespace draw
