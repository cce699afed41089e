#pragma once
// Writing an event's prize plan as a file the plan reader takes back: one
// round a row with the columns level, prize, count and group (奖项, 奖品,
// 人数, 部门 in Chinese), CSV or XLSX by the suffix.

#include <string>
#include <vector>

#include "draw/prize_plan.h"

namespace exporter {

// False with `error`; an existing file is replaced only by a complete one.
bool ExportPlan(const std::vector<draw::PlanRound>& rounds, const std::string& path, std::string& error);

}  // namespace exporter
