#include "tools/record_commands.h"

#include <charconv>
#include <cstdio>
#include <iostream>

#include "draw/announced_draw.h"
#include "draw/draw_verify.h"
#include "draw/prize_draw.h"
#include "draw/prize_plan.h"
#include "draw/record_chain.h"
#include "export/results_export.h"
#include "platform/language/language.h"
#include "store/connection.h"

namespace dbrecord {
namespace {

constexpr int kExitFailure = 1;
constexpr std::size_t kDigestShown = 16;

std::string countRefusal(long long n, long long available)
{
    if (n < 1)
        return lang::tr("the number of winners must be at least 1; nobody was marked",
                        "中奖人数至少为 1；没有标记任何人");
    return lang::trf("cannot draw %1 winners: only %2 participants have not won yet; nobody was marked",
                     "无法抽出 %1 名中奖者：只有 %2 人尚未中奖；没有标记任何人",
                     {std::to_string(n), std::to_string(available)});
}

// Reads one draw, or all of them when drawId is 0.
bool readDraws(const Call& call, store::DbConnection& connection, long long drawId,
               std::vector<draw::DrawRecord>& draws)
{
    if (drawId == 0) {
        if (draw::ReadHistory(connection, draws))
            return true;
        call.fail(connection.error());
        return false;
    }
    draws.assign(1, draw::DrawRecord());
    if (draw::ReadDraw(connection, drawId, draws[0]))
        return true;
    call.fail(connection.error().empty() ? draw::NoSuchDraw(drawId) : connection.error());
    return false;
}

// The one optional plain argument of history and verify: a draw number, 0 when absent.
bool optionalDrawId(const std::vector<std::string>& plain, long long& drawId)
{
    drawId = 0;
    return plain.empty() || (plain.size() == 1 && ParseInteger(plain[0], drawId) && drawId >= 1);
}

void printEntry(const draw::EntryCheck& entry)
{
    const std::string name = draw::EntryName(entry);
    if (entry.matches()) {
        std::printf("%s\n", lang::trf("%1: matches", "%1：相符", {name}).c_str());
        return;
    }
    std::printf("%s\n", lang::trf("%1: DOES NOT MATCH", "%1：不相符", {name}).c_str());
    for (const std::string& difference : entry.differences)
        std::printf("  - %s\n", difference.c_str());
}

// Fills the request from the plan: --next takes the first round not drawn,
// from its announcement when it has one.
bool takeNextRound(const Call& call, store::DbConnection& connection, draw::DrawRequest& request)
{
    std::optional<draw::PlanRound> next;
    if (!draw::NextRound(connection, next)) {
        call.fail(connection.error());
        return false;
    }
    if (!next) {
        call.fail(lang::tr("there is no round left to draw: every round of the prize plan is drawn, or there is no "
                           "plan (see sortia-db plan)",
                           "没有可抽的轮次：奖项计划的每一轮都已抽过，或者还没有计划（见 sortia-db plan）"));
        return false;
    }
    if (next->announcedBy)
        request.announcementId = next->announcedBy;
    else
        request.planRound = next->number;
    return true;
}

int reportDraw(const Call& call, const draw::DrawResult& result)
{
    switch (result.status) {
    case draw::DrawStatus::Done:
        return 0;
    case draw::DrawStatus::NobodyLeft:
        std::fprintf(stderr, "没有找到相关信息！\n");
        return kExitFailure;
    case draw::DrawStatus::CountOutOfRange:
        return call.fail(countRefusal(result.requested, result.available));
    default:
        return call.fail(draw::DescribeRefusal(result));
    }
}

// Which way a draw is asked for, from the options (--next is looked up later).
bool drawRequest(const Arguments& args, draw::DrawRequest& request, std::string& bad)
{
    long long n = 0;
    const bool counted = args.plain.size() == 1 && ParseInteger(args.plain[0], n);
    const int ways = int(counted) + int(args.flags.count("--next")) + int(args.value("--round").has_value()) +
                     int(args.value("--announced").has_value());
    if (ways != 1 || (!counted && !args.plain.empty())) {
        bad = lang::tr("draw needs the number of winners, --next, --round R or --announced ID",
                       "draw 需要中奖人数、--next、--round 轮次 或 --announced 公告编号");
        return false;
    }
    request.level = args.value("--level").value_or("");
    request.prizeName = args.value("--prize").value_or("");
    request.count = n;
    long long number = 0;
    if (const auto round = args.value("--round")) {
        if (!ParseInteger(*round, number) || number < 1) {
            bad = lang::tr("--round needs a round number", "--round 需要轮次编号");
            return false;
        }
        request.planRound = number;
    }
    if (const auto announced = args.value("--announced")) {
        if (!ParseInteger(*announced, number) || number < 1) {
            bad = lang::tr("--announced needs an announcement number", "--announced 需要公告编号");
            return false;
        }
        request.announcementId = number;
    }
    if (const auto group = args.value("--group")) {
        draw::GroupRule rule;
        if (!draw::ParsePlanGroups(*group, rule, bad))
            return false;
        request.groupRule = draw::GroupRuleText(rule);
    }
    return true;
}

}  // namespace

std::optional<std::string> Arguments::value(const std::string& name) const
{
    const auto found = options.find(name);
    if (found == options.end() || found->second.empty())
        return std::nullopt;
    return found->second.back();
}

bool SplitArguments(const std::vector<std::string>& args, const std::set<std::string>& withValue,
                    const std::set<std::string>& flags, Arguments& out, std::string& bad)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (withValue.count(arg) && i + 1 < args.size()) {
            out.options[arg].push_back(args[++i]);
        } else if (flags.count(arg)) {
            out.flags.insert(arg);
        } else if (arg.rfind("--", 0) == 0) {
            bad = arg;
            return false;
        } else {
            out.plain.push_back(arg);
        }
    }
    return true;
}

bool OpenDatabase(const Call& call, store::DbConnection& connection, store::Access access)
{
    connection.setLockWait(call.lockWaitMs);
    if (connection.OpenFile(call.dbPath, access))
        return true;
    call.fail(connection.error());
    return false;
}

bool CommitThenPublicInput(const Call& call, const Arguments& args, std::optional<draw::Seed>* organiser,
                           std::string& publicInput)
{
    if (organiser) {
        *organiser = draw::SystemSeed();
        std::fprintf(stderr, "%s\n",
                     lang::trf("commitment to the organiser seed: %1", "组织者种子的承诺值：%1",
                               {draw::SeedCommitment(**organiser)})
                         .c_str());
    }
    const std::optional<std::string> given = args.value("--public");
    publicInput = given.value_or("");
    if (given != "-")
        return true;
    std::fprintf(stderr, "%s\n", lang::tr("type the public input and press Enter:", "请输入公开输入并按回车：").c_str());
    if (std::getline(std::cin, publicInput))
        return true;
    call.fail(lang::tr("no public input was read", "没有读到公开输入"));
    return false;
}

void PrintAnchor(store::DbConnection& connection)
{
    draw::Anchor anchor;
    if (draw::NewestAnchor(connection, anchor))
        std::fprintf(stderr, "%s\n",
                     lang::trf("anchor: %1", "锚点：%1", {draw::AnchorText(anchor.drawId, anchor.digest)}).c_str());
}

bool ParseInteger(const std::string& text, long long& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

std::string EscapeField(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

int Draw(const Call& call)
{
    Arguments args;
    std::string bad;
    if (!SplitArguments(call.args, {"--level", "--prize", "--group", "--public", "--round", "--announced"},
                        {"--next"}, args, bad))
        return call.usageError(lang::trf("draw does not understand '%1'", "draw 不理解“%1”", {bad}));
    draw::DrawRequest request;
    if (!drawRequest(args, request, bad))
        return call.usageError(bad);
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Change) ||
        (args.flags.count("--next") && !takeNextRound(call, connection, request)))
        return kExitFailure;
    // S is taken and its commitment shown before the public input is known;
    // a draw from an announcement has the announcement instead.
    if (!CommitThenPublicInput(call, args, request.announcementId ? nullptr : &request.organiserSeed,
                               request.publicInput))
        return kExitFailure;
    const draw::DrawResult result = draw::RunDraw(connection, request);
    if (result.status != draw::DrawStatus::Done)
        return reportDraw(call, result);
    // The draw is committed and recorded: if this output is lost, history
    // and export still have it.
    for (const draw::RecordedWinner& winner : result.record.winners)
        std::printf("%s\t%s\n", EscapeField(winner.name.value_or("")).c_str(),
                    EscapeField(winner.number.value_or("")).c_str());
    std::fprintf(stderr, "%s\n",
                 lang::trf("draw %1 recorded at %2, digest %3", "第 %1 次抽奖已记录，时间 %2，摘要 %3",
                           {std::to_string(result.record.id), draw::LocalTimeText(result.record.time),
                            result.record.digest})
                     .c_str());
    PrintAnchor(connection);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return call.fail(lang::trf("the winners were marked but could not be written out; see history %1",
                                   "中奖者已标记，但无法输出；请用 history %1 查看",
                                   {std::to_string(result.record.id)}));
    return 0;
}

int History(const Call& call)
{
    long long drawId = 0;
    if (!optionalDrawId(call.args, drawId))
        return call.usageError(lang::tr("history takes an optional draw number", "history 只接受一个可选的抽奖编号"));
    store::DbConnection connection;
    std::vector<draw::DrawRecord> draws;
    if (!OpenDatabase(call, connection, store::Access::Read) || !readDraws(call, connection, drawId, draws))
        return kExitFailure;
    if (drawId == 0) {
        std::printf("%s\n", lang::tr("draw\ttime\tlevel\twinners\teligible\tvoids\tdigest\tround\tprize",
                                     "编号\t时间\t等级\t中奖人数\t候选人数\t作废\t摘要\t轮次\t奖品").c_str());
        for (const draw::DrawRecord& draw : draws) {
            const draw::ShownPrize shown = draw::ShownLevel(draw);
            std::printf("%lld\t%s\t%s\t%zu\t%lld\t%zu\t%s\t%s\t%s\n", draw.id, draw::LocalTimeText(draw.time).c_str(),
                        EscapeField(shown.level).c_str(), draw.winners.size(), draw.eligibleCount, draw.voids.size(),
                        draw.digest.substr(0, kDigestShown).c_str(),
                        draw.planRound ? std::to_string(*draw.planRound).c_str() : "",
                        EscapeField(shown.prizeName).c_str());
        }
        return 0;
    }
    const draw::DrawRecord& draw = draws[0];
    const draw::ShownPrize shown = draw::ShownLevel(draw);
    std::printf("%s\n", lang::trf("draw %1\t%2\t%3\tdigest %4", "第 %1 次抽奖\t%2\t%3\t摘要 %4",
                                  {std::to_string(draw.id), draw::LocalTimeText(draw.time),
                                   EscapeField(shown.prizeName.empty() ? shown.level
                                                                       : shown.level + " " + shown.prizeName),
                                   draw::LatestDigest(draw)})
                            .c_str());
    for (const exporter::ResultRow& row : exporter::ResultRows(draws))
        std::printf("%d\t%s\t%s\t%s\n", row.position, EscapeField(row.name).c_str(), EscapeField(row.number).c_str(),
                    EscapeField(row.note).c_str());
    return 0;
}

int Verify(const Call& call)
{
    Arguments args;
    std::string bad;
    long long drawId = 0;
    if (!SplitArguments(call.args, {"--against"}, {}, args, bad) || !optionalDrawId(args.plain, drawId))
        return call.usageError(lang::tr("verify takes an optional draw number and --against DRAW:HEX",
                                        "verify 只接受一个可选的抽奖编号和 --against 抽奖编号:十六进制摘要"));
    std::vector<std::pair<long long, std::string>> anchors;
    for (const std::string& text : args.options["--against"]) {
        anchors.emplace_back();
        if (!draw::ParseAnchor(text, anchors.back().first, anchors.back().second))
            return call.usageError(lang::trf("'%1' is not an anchor: DRAW:HEX with 8 or more hex digits",
                                             "“%1”不是锚点：应为 抽奖编号:至少 8 位十六进制数字", {text}));
    }
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Read))
        return kExitFailure;
    draw::VerifyReport report;
    const std::optional<long long> only = drawId ? std::optional<long long>(drawId) : std::nullopt;
    if (!draw::VerifyDraws(connection, only, report))
        return call.fail(connection.error().empty() ? draw::NoSuchDraw(drawId) : connection.error());
    if (report.chain.empty() && report.problems.empty() && anchors.empty()) {
        std::printf("%s\n", lang::tr("no draw has been recorded yet", "还没有抽奖记录").c_str());
        return 0;
    }
    for (const std::string& problem : report.problems)
        std::printf("%s\n", problem.c_str());
    for (const draw::EntryCheck& entry : report.entries)
        printEntry(entry);
    bool anchored = true;
    for (const auto& [anchorDraw, prefix] : anchors) {
        const draw::EntryCheck* found = draw::FindAnchor(report, anchorDraw, prefix);
        anchored = anchored && found;
        const std::string shown = std::to_string(anchorDraw) + ":" + prefix;
        std::printf("%s\n", found ? lang::trf("anchor %1: found (%2)", "锚点 %1：找到（%2）",
                                              {shown, draw::EntryName(*found)}).c_str()
                                  : lang::trf("anchor %1: NOT FOUND: no entry of draw %2 has that digest any more; "
                                              "it was changed or removed",
                                              "锚点 %1：找不到：第 %2 次抽奖中已没有这个摘要的记录；记录被修改或删除",
                                              {shown, std::to_string(anchorDraw)}).c_str());
    }
    // The newest digest is what the last printout shows: an entry removed
    // from the end of the record can only be seen by comparing the two.
    std::printf("%s\n", lang::trf("last entry checked: draw %1, digest %2", "最后检查的记录：第 %1 次抽奖，摘要 %2",
                                  {std::to_string(drawId ? drawId : report.headSegment), report.headDigest})
                            .c_str());
    if (report.ok() && anchored) {
        std::printf("%s\n", lang::tr("everything matches", "全部相符").c_str());
        return 0;
    }
    std::printf("%s\n", lang::tr("the draw record does NOT match", "抽奖记录不相符").c_str());
    return kExitFailure;
}

int Anchor(const Call& call)
{
    if (!call.args.empty())
        return call.usageError(lang::tr("anchor takes no arguments", "anchor 不接受参数"));
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Read))
        return kExitFailure;
    draw::Anchor anchor;
    if (!draw::NewestAnchor(connection, anchor))
        return call.fail(connection.error());
    std::printf("%s\n", draw::AnchorText(anchor.drawId, anchor.digest).c_str());
    return 0;
}

int Export(const Call& call)
{
    // --masked anywhere: the names and numbers as they are published.
    std::vector<std::string> args;
    exporter::Masking masking = exporter::Masking::Full;
    for (const std::string& arg : call.args) {
        if (arg == "--masked")
            masking = exporter::Masking::Masked;
        else
            args.push_back(arg);
    }
    long long drawId = 0;
    if (args.empty() || args.size() > 2 || (args.size() == 2 && !(ParseInteger(args[0], drawId) && drawId >= 1)))
        return call.usageError(lang::tr("export needs [DRAW_ID] FILE.csv|FILE.xlsx [--masked]",
                                        "export 需要 [抽奖编号] 文件.csv|文件.xlsx [--masked]"));
    const std::string& path = args.back();
    store::DbConnection connection;
    std::vector<draw::DrawRecord> draws;
    if (!OpenDatabase(call, connection, store::Access::Read) || !readDraws(call, connection, drawId, draws))
        return kExitFailure;
    const std::vector<exporter::ResultRow> rows = exporter::ResultRows(draws, masking);
    std::string error;
    if (!exporter::ExportResults(rows, path, error))
        return call.fail(error);
    std::printf("%s\n", lang::trf("exported %1 rows to %2", "已将 %1 行导出到 %2", {std::to_string(rows.size()), path})
                            .c_str());
    return 0;
}

}  // namespace dbrecord
