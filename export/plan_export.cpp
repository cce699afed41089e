#include "export/plan_export.h"

#include "export/results_export.h"
#include "platform/language/language.h"

namespace exporter {

bool ExportPlan(const std::vector<draw::PlanRound>& rounds, const std::string& path, std::string& error)
{
    const bool chinese = lang::uiLanguage() == lang::Language::Chinese;
    const std::vector<std::string> titles = chinese ? std::vector<std::string>{"奖项", "奖品", "人数", "部门"}
                                                    : std::vector<std::string>{"level", "prize", "count", "group"};
    std::vector<std::vector<std::string>> lines;
    lines.reserve(rounds.size());
    // The group in the words the reader takes back, not the stored form.
    for (const draw::PlanRound& round : rounds)
        lines.push_back({round.level, round.prizeName, std::to_string(round.count),
                         draw::GroupRuleShown(round.groupRule)});
    return ExportTable(titles, lines, path, error);
}

}  // namespace exporter
