#include "draw/prize_plan.h"

#include "draw/record_rows.h"
#include "draw/record_schema.h"
#include "platform/language/language.h"

namespace draw {
namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool parseGroups(std::string_view names, GroupRule& rule, std::string& error)
{
    rule.groups.clear();
    for (std::size_t start = 0;;) {
        const std::size_t bar = names.find('|', start);
        const std::string_view name = trimmed(names.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (name.empty()) {
            error = lang::tr("a group rule names an empty group", "分组规则中有空的分组名");
            return false;
        }
        rule.groups.emplace_back(name);
        if (bar == std::string_view::npos)
            return true;
        start = bar + 1;
    }
}

// Splits "prefix:rest" where the colon may be full-width.
bool splitPrefix(std::string_view typed, std::string_view& prefix, std::string_view& rest)
{
    for (std::string_view colon : {std::string_view(":"), std::string_view("\xEF\xBC\x9A")}) {
        const std::size_t at = typed.find(colon);
        if (at != std::string_view::npos) {
            prefix = trimmed(typed.substr(0, at));
            rest = typed.substr(at + colon.size());
            return true;
        }
    }
    return false;
}

const char* const kPlanQuery =
    "select p.round_no, p.prize_level, p.prize_name, p.winner_count, p.group_rule,"
    " (select min(d.draw_id) from draw_record d where d.plan_round = p.round_no),"
    " (select max(a.announcement_id) from draw_announcement a where a.plan_round = p.round_no"
    "   and not exists (select 1 from draw_record d2 where d2.announcement_id = a.announcement_id))"
    " from prize_plan p";

PlanRound roundFromRow(const store::Recordset& row)
{
    return {row.FieldInteger(0), row.Field(1), row.Field(2), row.FieldInteger(3), row.Field(4),
            OptionalInteger(row, 5), OptionalInteger(row, 6)};
}

bool sameRound(const PlanRound& a, const PlanRound& b)
{
    return a.level == b.level && a.prizeName == b.prizeName && a.count == b.count && a.groupRule == b.groupRule;
}

// The first drawn or announced round the new plan would change or drop.
std::string lockedChange(const std::vector<PlanRound>& before, const std::vector<PlanRound>& after)
{
    for (const PlanRound& old : before) {
        if (!old.drawnBy && !old.announcedBy)
            continue;
        const std::size_t index = std::size_t(old.number - 1);
        if (index < after.size() && sameRound(old, after[index]))
            continue;
        return old.drawnBy ? lang::trf("round %1 was drawn by draw %2 and cannot change; nothing was imported",
                                       "第 %1 轮已由第 %2 次抽奖抽出，不能再改；没有导入任何内容",
                                       {std::to_string(old.number), std::to_string(*old.drawnBy)})
                           : lang::trf("round %1 was announced (announcement %2) and cannot change; nothing was "
                                       "imported",
                                       "第 %1 轮已公告（第 %2 号公告），不能再改；没有导入任何内容",
                                       {std::to_string(old.number), std::to_string(*old.announcedBy)});
    }
    return std::string();
}

bool writeRounds(store::DbConnection& connection, const std::vector<PlanRound>& rounds)
{
    if (!connection.Run("delete from prize_plan"))
        return false;
    std::size_t next = 0;
    return connection.RunMany("insert into prize_plan (round_no, prize_level, prize_name, winner_count, group_rule)"
                              " values (?, ?, ?, ?, ?)",
                              [&](std::vector<store::Value>& values) {
                                  if (next == rounds.size())
                                      return false;
                                  const PlanRound& round = rounds[next++];
                                  values = {round.number, round.level, round.prizeName, round.count,
                                            round.groupRule};
                                  return true;
                              });
}

}  // namespace

bool ParseGroupRule(std::string_view text, GroupRule& rule, std::string& error)
{
    rule = GroupRule();
    if (text.empty())
        return true;
    for (const auto& [prefix, kind] : {std::pair{std::string_view("only:"), GroupRule::Kind::Only},
                                       std::pair{std::string_view("except:"), GroupRule::Kind::Except}}) {
        if (text.starts_with(prefix)) {
            rule.kind = kind;
            return parseGroups(text.substr(prefix.size()), rule, error);
        }
    }
    error = lang::trf("'%1' is not a group rule (only:A|B or except:A|B)", "“%1”不是分组规则（only:A|B 或 except:A|B）",
                      {std::string(text)});
    return false;
}

std::string GroupRuleText(const GroupRule& rule)
{
    if (rule.kind == GroupRule::Kind::Everyone)
        return std::string();
    std::string text = rule.kind == GroupRule::Kind::Only ? "only:" : "except:";
    for (std::size_t i = 0; i < rule.groups.size(); ++i)
        text += (i ? "|" : "") + rule.groups[i];
    return text;
}

bool ParsePlanGroups(std::string_view typed, GroupRule& rule, std::string& error)
{
    rule = GroupRule();
    typed = trimmed(typed);
    if (typed.empty())
        return true;
    std::string_view prefix, rest = typed;
    rule.kind = GroupRule::Kind::Only;
    if (splitPrefix(typed, prefix, rest)) {
        if (prefix == "only" || prefix == "仅")
            rule.kind = GroupRule::Kind::Only;
        else if (prefix == "except" || prefix == "除")
            rule.kind = GroupRule::Kind::Except;
        else {
            error = lang::trf("'%1' is not a group rule: write A|B, only:A|B or except:A|B (仅:A|B, 除:A|B)",
                              "“%1”不是分组规则：请写 A|B、仅:A|B 或 除:A|B（only:A|B、except:A|B）",
                              {std::string(typed)});
            return false;
        }
    }
    return parseGroups(rest, rule, error);
}

std::string GroupRuleShown(const std::string& stored)
{
    GroupRule rule;
    std::string error;
    if (stored.empty() || !ParseGroupRule(stored, rule, error))
        return stored;
    std::string names;
    for (std::size_t i = 0; i < rule.groups.size(); ++i)
        names += (i ? "|" : "") + rule.groups[i];
    return rule.kind == GroupRule::Kind::Only ? lang::trf("only: %1", "仅:%1", {names})
                                              : lang::trf("except: %1", "除:%1", {names});
}

bool PlanRoundFromTyped(const std::string& level, const std::string& prizeName, long long count,
                        std::string_view groups, PlanRound& round, std::string& error)
{
    GroupRule rule;
    if (!ParsePlanGroups(groups, rule, error))
        return false;
    round = PlanRound();
    round.level = level;
    round.prizeName = prizeName;
    round.count = count;
    round.groupRule = GroupRuleText(rule);
    return true;
}

bool ReadPlan(store::DbConnection& connection, std::vector<PlanRound>& rounds)
{
    rounds.clear();
    const std::optional<RecordLayout> layout = RecordLayoutOf(connection);
    if (!layout || *layout != RecordLayout::Current)
        return layout.has_value();
    return ReadRows(connection, connection.Execute(std::string(kPlanQuery) + " order by p.round_no"),
                    [&](const store::Recordset& row) { rounds.push_back(roundFromRow(row)); });
}

std::optional<PlanRound> NextRound(const std::vector<PlanRound>& rounds)
{
    for (const PlanRound& candidate : rounds)
        if (!candidate.drawnBy)
            return candidate;
    return std::nullopt;
}

bool NextRound(store::DbConnection& connection, std::optional<PlanRound>& round)
{
    round.reset();
    std::vector<PlanRound> rounds;
    if (!ReadPlan(connection, rounds))
        return false;
    round = NextRound(rounds);
    return true;
}

bool RoundToDraw(store::DbConnection& connection, long long number, std::optional<long long> announcement,
                 PlanRound& round, std::string& refusal)
{
    refusal.clear();
    bool found = false;
    if (!ReadRows(connection,
                  connection.ExecuteBound(std::string(kPlanQuery) + " where p.round_no = ?", {std::int64_t(number)}),
                  [&](const store::Recordset& row) {
                      round = roundFromRow(row);
                      found = true;
                  }))
        return false;
    const std::string shown = std::to_string(number);
    if (!found)
        refusal = lang::trf("the prize plan has no round %1", "奖项计划中没有第 %1 轮", {shown});
    else if (round.drawnBy)
        refusal = lang::trf("round %1 was drawn already (draw %2)", "第 %1 轮已经抽过（第 %2 次抽奖）",
                            {shown, std::to_string(*round.drawnBy)});
    else if (round.announcedBy && round.announcedBy != announcement)
        refusal = lang::trf("round %1 was announced (announcement %2): draw it from the announcement",
                            "第 %1 轮已公告（第 %2 号公告）：请按公告抽奖", {shown, std::to_string(*round.announcedBy)});
    return true;
}

std::string PlanProblem(const std::vector<PlanRound>& rounds)
{
    if (static_cast<long long>(rounds.size()) > kMaxPlanRounds)
        return lang::trf("a plan holds at most %1 rounds", "奖项计划最多 %1 轮", {std::to_string(kMaxPlanRounds)});
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        const PlanRound& round = rounds[i];
        const std::string number = std::to_string(i + 1);
        GroupRule rule;
        std::string error;
        if (round.level.empty())
            return lang::trf("round %1 has no prize level", "第 %1 轮没有奖项等级", {number});
        if (round.count < 1 || round.count > kMaxRoundWinners)
            return lang::trf("round %1: the number of winners must be from 1 to %2",
                             "第 %1 轮：中奖人数必须在 1 到 %2 之间", {number, std::to_string(kMaxRoundWinners)});
        if (!ParseGroupRule(round.groupRule, rule, error))
            return lang::trf("round %1: %2", "第 %1 轮：%2", {number, error});
    }
    return std::string();
}

PlanStatus ReplacePlan(store::DbConnection& connection, std::vector<PlanRound> rounds, std::string& refusal)
{
    for (std::size_t i = 0; i < rounds.size(); ++i)
        rounds[i].number = static_cast<long long>(i + 1);
    refusal = PlanProblem(rounds);
    if (!refusal.empty())
        return PlanStatus::Refused;
    if (!EnsureDrawTables(connection) || !connection.BeginTransaction())
        return PlanStatus::DatabaseError;
    std::vector<PlanRound> before;
    if (!ReadPlan(connection, before)) {
        connection.RollbackTransaction();
        return PlanStatus::DatabaseError;
    }
    refusal = lockedChange(before, rounds);
    if (!refusal.empty()) {
        connection.RollbackTransaction();
        return PlanStatus::Refused;
    }
    if (writeRounds(connection, rounds) && connection.CommitTransaction())
        return PlanStatus::Replaced;
    const std::string error = connection.error();
    connection.RollbackTransaction();
    connection.setError(error);
    return PlanStatus::DatabaseError;
}

}  // namespace draw
