#pragma once
// The event's plan: an ordered list of rounds, each a prize level, a prize,
// a number of winners and who may win it, kept in table prize_plan so that a
// backup PC or a server set-up has it too. A round is drawn when a draw
// names it (draw_record.plan_round); a drawn or announced round can no
// longer change. Without a plan every draw works as before.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace draw {

// Who may win a round. Stored as "" (everyone), "only:A|B" or "except:A|B"
// (group names from participant_group joined by '|'). A participant without
// a group is left out by "only" and kept by "except".
struct GroupRule {
    enum class Kind { Everyone, Only, Except };
    Kind kind = Kind::Everyone;
    std::vector<std::string> groups;
};

// Reads the stored form; false with `error` for anything else (an unknown
// prefix, an empty group name).
bool ParseGroupRule(std::string_view text, GroupRule& rule, std::string& error);
std::string GroupRuleText(const GroupRule& rule);
// Reads the group column of a plan file: "" everyone; "A|B" or "only:A|B"
// or "仅:A|B" only these groups; "except:A|B" or "除:A|B" all but these (a
// full-width colon is taken too). Names lose surrounding spaces.
bool ParsePlanGroups(std::string_view typed, GroupRule& rule, std::string& error);
// The rule in the words of a plan file and of a notice ("only: A|B").
std::string GroupRuleShown(const std::string& stored);

struct PlanRound {
    long long number = 0;  // 1-based
    std::string level;
    std::string prizeName;
    long long count = 0;
    std::string groupRule;  // stored form
    std::optional<long long> drawnBy;     // the draw that names it
    std::optional<long long> announcedBy; // an announcement of it not drawn yet
};

// A round as a plan file or the operator gives it: the group column as
// typed (ParsePlanGroups). False with `error` for a group column it cannot
// read; the rest is PlanProblem's to judge.
bool PlanRoundFromTyped(const std::string& level, const std::string& prizeName, long long count,
                        std::string_view groups, PlanRound& round, std::string& error);

constexpr long long kMaxPlanRounds = 1000;
constexpr long long kMaxRoundWinners = 100000;

// The plan in round order with what has become of each round; empty for a
// file without one. False with connection.error().
bool ReadPlan(store::DbConnection& connection, std::vector<PlanRound>& rounds);
// The first round not drawn yet (it may be announced: then it is drawn from
// its announcement); nullopt when every round is drawn or there is no plan.
bool NextRound(store::DbConnection& connection, std::optional<PlanRound>& round);
// The same among rounds already read with ReadPlan.
std::optional<PlanRound> NextRound(const std::vector<PlanRound>& rounds);

// Why a plan cannot be taken as it is (a round without a level, a count out
// of range, a bad group rule), naming the round; "" when it can.
std::string PlanProblem(const std::vector<PlanRound>& rounds);

// Inside a draw's or an announcement's transaction: round `number` as it
// stands, and in `refusal` why it cannot be drawn now ("" when it can): no
// such round, drawn already, or announced (unless `announcement` is the
// announcement being drawn, which names it). False with connection.error().
bool RoundToDraw(store::DbConnection& connection, long long number, std::optional<long long> announcement,
                 PlanRound& round, std::string& refusal);

enum class PlanStatus { Replaced, Refused, DatabaseError };
// Replaces the whole plan in one transaction. Refused (with `refusal`) when
// a drawn or announced round would change or go, or PlanProblem finds
// something. Rounds are numbered by their order.
PlanStatus ReplacePlan(store::DbConnection& connection, std::vector<PlanRound> rounds, std::string& refusal);

}  // namespace draw
