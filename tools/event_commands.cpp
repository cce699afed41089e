// sortia-db's commands for running an evening: voids after the fact, resets
// and corrections that leave their trace in the record, announced draws,
// and the prize plan.

#include <cstdio>

#include "draw/announced_draw.h"
#include "draw/prize_plan.h"
#include "draw/record_actions.h"
#include "export/evidence/document_pdf.h"
#include "export/evidence/evidence_pack.h"
#include "export/file_replace.h"
#include "export/plan_export.h"
#include "import/plan_reader.h"
#include "platform/language/language.h"
#include "tools/record_commands.h"

namespace dbrecord {
namespace {

constexpr int kExitFailure = 1;

bool positiveNumber(const std::string& text, long long& value)
{
    return ParseInteger(text, value) && value >= 1;
}

bool endsWith(const std::string& path, const std::string& suffix)
{
    if (path.size() < suffix.size())
        return false;
    std::string tail = path.substr(path.size() - suffix.size());
    for (char& c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == suffix;
}

// The notice as text or PDF, by the file's suffix.
bool writeNotice(const std::string& path, const std::vector<std::string>& lines, std::string& error)
{
    if (endsWith(path, ".pdf"))
        return evidence::WritePdf(evidence::LinesDocument(lines), path, error);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return exporter::WriteTextFile(path, text, error);
}

// The frozen list's ids, one a line in list order: with the notice, what
// anyone needs to find the winners at their positions.
bool writeIds(const draw::Announcement& entry, const std::string& path, std::string& error)
{
    std::vector<std::int64_t> ids;
    if (!draw::DecodeIds(entry.eligibleIds, ids)) {
        error = lang::trf("the list of announcement %1 cannot be read", "第 %1 号公告的名单无法读取",
                          {std::to_string(entry.id)});
        return false;
    }
    std::string text;
    for (std::int64_t id : ids)
        text += std::to_string(id) + "\n";
    return exporter::WriteTextFile(path, text, error);
}

int planList(const Call& call)
{
    store::DbConnection connection;
    std::vector<draw::PlanRound> rounds;
    if (!OpenDatabase(call, connection, store::Access::Read))
        return kExitFailure;
    if (!draw::ReadPlan(connection, rounds))
        return call.fail(connection.error());
    if (rounds.empty()) {
        std::printf("%s\n", lang::tr("there is no prize plan (plan import FILE makes one)",
                                     "还没有奖项计划（可用 plan import 文件 导入）").c_str());
        return 0;
    }
    std::printf("%s\n", lang::tr("round\tlevel\tprize\tcount\tgroup\tstate", "轮次\t奖项\t奖品\t人数\t部门\t状态").c_str());
    for (const draw::PlanRound& round : rounds) {
        const std::string state =
            round.drawnBy       ? lang::trf("drawn (draw %1)", "已抽（第 %1 次抽奖）", {std::to_string(*round.drawnBy)})
            : round.announcedBy ? lang::trf("announced (announcement %1)", "已公告（第 %1 号公告）",
                                            {std::to_string(*round.announcedBy)})
                                : std::string();
        std::printf("%lld\t%s\t%s\t%lld\t%s\t%s\n", round.number, EscapeField(round.level).c_str(),
                    EscapeField(round.prizeName).c_str(), round.count,
                    EscapeField(draw::GroupRuleShown(round.groupRule)).c_str(), state.c_str());
    }
    return 0;
}

int planImport(const Call& call, const std::string& path)
{
    std::vector<importer::PlanRow> rows;
    std::vector<importer::Problem> problems;
    importer::readPlanFile(path, rows, problems);
    std::vector<draw::PlanRound> rounds;
    for (const importer::PlanRow& row : rows) {
        draw::PlanRound round;
        std::string error;
        if (!draw::PlanRoundFromTyped(row.level, row.prize, row.count, row.group, round, error))
            problems.push_back({row.line, error});
        rounds.push_back(round);
    }
    for (const importer::Problem& problem : problems) {
        const std::string where = problem.line ? path + ":" + std::to_string(problem.line) : path;
        std::fprintf(stderr, "%s: %s\n", where.c_str(), problem.message.c_str());
    }
    if (!problems.empty())
        return call.fail(lang::trf("nothing was imported from '%1'", "未从“%1”导入任何数据", {path}));
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Change))
        return kExitFailure;
    std::string refusal;
    const draw::PlanStatus status = draw::ReplacePlan(connection, rounds, refusal);
    if (status != draw::PlanStatus::Replaced)
        return call.fail(status == draw::PlanStatus::Refused ? refusal : connection.error());
    std::printf("%s\n", lang::trf("the prize plan now has %1 rounds", "奖项计划现有 %1 轮",
                                  {std::to_string(rounds.size())}).c_str());
    return 0;
}

int planExport(const Call& call, const std::string& path)
{
    store::DbConnection connection;
    std::vector<draw::PlanRound> rounds;
    if (!OpenDatabase(call, connection, store::Access::Read))
        return kExitFailure;
    if (!draw::ReadPlan(connection, rounds))
        return call.fail(connection.error());
    std::string error;
    if (!exporter::ExportPlan(rounds, path, error))
        return call.fail(error);
    std::printf("%s\n", lang::trf("exported %1 rounds to %2", "已将 %1 轮导出到 %2", {std::to_string(rounds.size()), path})
                            .c_str());
    return 0;
}

}  // namespace

int Void(const Call& call)
{
    Arguments args;
    std::string bad;
    draw::VoidRequest request;
    long long drawId = 0, position = 0;
    if (!SplitArguments(call.args, {"--reason", "--public"}, {}, args, bad) || args.plain.size() != 2 ||
        !positiveNumber(args.plain[0], drawId) || !positiveNumber(args.plain[1], position) || position > 1000000)
        return call.usageError(lang::tr("void needs DRAW POSITION (and optionally --reason TEXT, --public TEXT)",
                                        "void 需要 抽奖编号 名次（可选 --reason 原因、--public 公开输入）"));
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Change))
        return kExitFailure;
    request.drawId = drawId;
    request.position = int(position);
    request.reason = args.value("--reason").value_or("");
    if (!CommitThenPublicInput(call, args, &request.organiserSeed, request.publicInput))
        return kExitFailure;
    const draw::DrawResult result = draw::VoidAndReplace(connection, request);
    if (result.status != draw::DrawStatus::Done)
        return call.fail(draw::DescribeRefusal(result));
    const draw::DrawVoid& entry = result.record.voids.back();
    std::printf("%s\t%s\n", EscapeField(entry.replacement.name.value_or("")).c_str(),
                EscapeField(entry.replacement.number.value_or("")).c_str());
    std::fprintf(stderr, "%s\n",
                 lang::trf("draw %1, void %2 recorded: position %3 goes to the replacement, digest %4",
                           "第 %1 次抽奖的第 %2 次作废已记录：第 %3 名由补抽者替代，摘要 %4",
                           {std::to_string(drawId), std::to_string(entry.seq), std::to_string(position), entry.digest})
                     .c_str());
    PrintAnchor(connection);
    return 0;
}

int Reset(const Call& call)
{
    if (!call.args.empty())
        return call.usageError(lang::tr("reset takes no arguments", "reset 不接受参数"));
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Change))
        return kExitFailure;
    draw::ResetEntry entry;
    if (!draw::RecordedReset(connection, &entry))
        return call.fail(connection.error());
    std::printf("%s\n", lang::trf("%1 winners made eligible again", "%1 名中奖者已可重新参加抽奖",
                                  {std::to_string(entry.rows)})
                            .c_str());
    std::fprintf(stderr, "%s\n", lang::trf("reset %1 recorded, digest %2", "第 %1 次复位已记录，摘要 %2",
                                           {std::to_string(entry.seq), entry.digest}).c_str());
    PrintAnchor(connection);
    return 0;
}

int Relabel(const Call& call)
{
    Arguments args;
    std::string bad;
    draw::CorrectionRequest request;
    if (!SplitArguments(call.args, {"--level", "--prize", "--reason"}, {}, args, bad) || args.plain.size() != 1 ||
        !positiveNumber(args.plain[0], request.drawId) || !args.value("--level") || !args.value("--reason"))
        return call.usageError(lang::tr("relabel needs DRAW --level TEXT --reason TEXT (and optionally --prize TEXT)",
                                        "relabel 需要 抽奖编号 --level 等级 --reason 原因（可选 --prize 奖品）"));
    request.level = *args.value("--level");
    request.reason = *args.value("--reason");
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Change))
        return kExitFailure;
    // A level corrected alone keeps the prize the draw shows now.
    draw::DrawRecord record;
    if (args.value("--prize"))
        request.prizeName = *args.value("--prize");
    else if (draw::ReadDraw(connection, request.drawId, record))
        request.prizeName = draw::ShownLevel(record).prizeName;
    const draw::DrawResult result = draw::Relabel(connection, request);
    if (result.status != draw::DrawStatus::Done)
        return call.fail(draw::DescribeRefusal(result));
    std::printf("%s\n", lang::trf("correction %1 recorded: draw %2 is now %3", "第 %1 次更正已记录：第 %2 次抽奖现为 %3",
                                  {std::to_string(result.correction.seq), std::to_string(request.drawId),
                                   result.correction.level})
                            .c_str());
    PrintAnchor(connection);
    return 0;
}

int Announce(const Call& call)
{
    Arguments args;
    std::string bad;
    draw::AnnounceRequest request;
    long long round = 0;
    SplitArguments(call.args, {"--level", "--count", "--source", "--prize", "--round", "--notice", "--list"}, {},
                   args, bad);
    // One way or the other, each of its numbers well formed: a mistyped
    // round is not taken for no round at all.
    const bool roundGiven = args.value("--round").has_value();
    const bool levelGiven = args.value("--level") || args.value("--count");
    const bool numbersRead = roundGiven ? positiveNumber(*args.value("--round"), round)
                                        : args.value("--level") && args.value("--count") &&
                                              positiveNumber(*args.value("--count"), request.count);
    if (!bad.empty() || !args.plain.empty() || !args.value("--source") || roundGiven == levelGiven || !numbersRead)
        return call.usageError(lang::tr("announce needs --source TEXT and either --level L --count N or --round R "
                                        "(and optionally --prize P, --notice FILE.txt|FILE.pdf, --list FILE)",
                                        "announce 需要 --source 来源，以及 --level 等级 --count 人数 或 --round 轮次"
                                        "（可选 --prize 奖品、--notice 文件.txt|文件.pdf、--list 文件）"));
    if (roundGiven)
        request.planRound = round;
    request.level = args.value("--level").value_or("");
    request.prizeName = args.value("--prize").value_or("");
    request.source = *args.value("--source");
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Change))
        return kExitFailure;
    const draw::DrawResult result = draw::Announce(connection, request);
    if (result.status == draw::DrawStatus::CountOutOfRange)
        return call.fail(lang::trf("cannot announce %1 winners: only %2 participants may win",
                                   "无法公告抽取 %1 人：只有 %2 人可以参加", {std::to_string(result.requested),
                                                                             std::to_string(result.available)}));
    if (result.status != draw::DrawStatus::Done)
        return call.fail(draw::DescribeRefusal(result));
    const std::vector<std::string> notice = draw::AnnouncementNotice(result.announcement);
    bool textWritten = false;
    std::string error;
    for (const std::string& path : args.options["--notice"]) {
        if (!writeNotice(path, notice, error))
            return call.fail(error);
        textWritten = textWritten || !endsWith(path, ".pdf");
    }
    const std::optional<std::string> listPath = args.value("--list");
    if (listPath && !writeIds(result.announcement, *listPath, error))
        return call.fail(error);
    if (!textWritten)
        for (const std::string& line : notice)
            std::printf("%s\n", line.c_str());
    std::fprintf(stderr, "%s\n", lang::trf("announcement %1 recorded, digest %2", "第 %1 号公告已记录，摘要 %2",
                                           {std::to_string(result.announcement.id), result.announcement.digest})
                                     .c_str());
    PrintAnchor(connection);
    return 0;
}

int Plan(const Call& call)
{
    if (call.args.empty())
        return planList(call);
    if (call.args.size() == 2 && call.args[0] == "import")
        return planImport(call, call.args[1]);
    if (call.args.size() == 2 && call.args[0] == "export")
        return planExport(call, call.args[1]);
    return call.usageError(lang::tr("plan takes nothing, import FILE or export FILE", "plan 只接受 无参数、import 文件 或 export 文件"));
}

int Evidence(const Call& call)
{
    Arguments args;
    std::string bad;
    long long drawId = 0;
    if (!SplitArguments(call.args, {"--event"}, {"--masked"}, args, bad) || args.plain.size() != 2 ||
        !positiveNumber(args.plain[0], drawId))
        return call.usageError(lang::tr("evidence needs DRAW_ID FOLDER [--masked] [--event TEXT]",
                                        "evidence 需要 抽奖编号 文件夹 [--masked] [--event 活动名称]"));
    evidence::PackOptions options;
    options.masked = args.flags.count("--masked") != 0;
    options.event = args.value("--event").value_or("");
    store::DbConnection connection;
    if (!OpenDatabase(call, connection, store::Access::Read))
        return kExitFailure;
    std::string error;
    if (!evidence::WriteEvidencePack(connection, drawId, args.plain[1], options, error))
        return call.fail(error);
    std::printf("%s\n", lang::trf("wrote the evidence of draw %1 to %2 (open verify.html there to check it)",
                                  "已将第 %1 次抽奖的证据写入 %2（打开其中的 verify.html 即可核验）",
                                  {std::to_string(drawId), args.plain[1]})
                            .c_str());
    return 0;
}

}  // namespace dbrecord
