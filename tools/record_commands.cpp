#include "tools/record_commands.h"

#include <charconv>
#include <cstdio>

#include "platform/language/language.h"
#include "store/connection.h"
#include "draw/draw_verify.h"
#include "draw/prize_draw.h"
#include "export/results_export.h"

namespace dbrecord {
namespace {

constexpr int kExitFailure = 1;
constexpr std::size_t kDigestShown = 16;

bool open(const Call& call, store::DbConnection& connection, store::Access access = store::Access::Read)
{
    connection.setLockWait(call.lockWaitMs);
    if (connection.OpenFile(call.dbPath, access))
        return true;
    call.fail(connection.error());
    return false;
}

std::string countRefusal(long long n, long long available)
{
    if (n < 1)
        return lang::tr("the number of winners must be at least 1; nobody was marked",
                        "中奖人数至少为 1；没有标记任何人");
    return lang::trf("cannot draw %1 winners: only %2 participants have not won yet; nobody was marked",
                     "无法抽出 %1 名中奖者：只有 %2 人尚未中奖；没有标记任何人",
                     {std::to_string(n), std::to_string(available)});
}

std::string noSuchDraw(long long drawId)
{
    return lang::trf("there is no draw %1", "没有第 %1 次抽奖", {std::to_string(drawId)});
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
    call.fail(connection.error().empty() ? noSuchDraw(drawId) : connection.error());
    return false;
}

// The one optional argument of history and verify: a draw number, 0 when absent.
bool optionalDrawId(const Call& call, long long& drawId)
{
    drawId = 0;
    return call.args.empty() || (call.args.size() == 1 && ParseInteger(call.args[0], drawId) && drawId >= 1);
}

void printEntry(const draw::EntryCheck& entry)
{
    const std::string name =
        entry.voidSeq == 0
            ? lang::trf("draw %1", "第 %1 次抽奖", {std::to_string(entry.drawId)})
            : lang::trf("draw %1, void %2", "第 %1 次抽奖的第 %2 次作废",
                        {std::to_string(entry.drawId), std::to_string(entry.voidSeq)});
    if (entry.matches()) {
        std::printf("%s\n", lang::trf("%1: matches", "%1：相符", {name}).c_str());
        return;
    }
    std::printf("%s\n", lang::trf("%1: DOES NOT MATCH", "%1：不相符", {name}).c_str());
    for (const std::string& difference : entry.differences)
        std::printf("  - %s\n", difference.c_str());
}

}  // namespace

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
    long long n = 0;
    bool haveCount = false;
    draw::DrawRequest request;
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        if (call.args[i] == "--level" && i + 1 < call.args.size())
            request.level = call.args[++i];
        else if (!haveCount && ParseInteger(call.args[i], n))
            haveCount = true;
        else
            return call.usageError(lang::tr("draw needs the number of winners (and optionally --level TEXT)",
                                            "draw 需要中奖人数（可选 --level 等级）"));
    }
    if (!haveCount)
        return call.usageError(lang::tr("draw needs the number of winners", "draw 需要中奖人数"));
    store::DbConnection connection;
    if (!open(call, connection, store::Access::Change))
        return kExitFailure;
    request.count = n;
    const draw::DrawResult result = draw::RunDraw(connection, request);
    switch (result.status) {
    case draw::DrawStatus::Done:
        break;
    case draw::DrawStatus::NobodyLeft:
        std::fprintf(stderr, "没有找到相关信息！\n");
        return kExitFailure;
    case draw::DrawStatus::CountOutOfRange:
        return call.fail(countRefusal(n, result.available));
    default:
        return call.fail(draw::DescribeRefusal(result));
    }
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
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return call.fail(lang::trf("the winners were marked but could not be written out; see history %1",
                                   "中奖者已标记，但无法输出；请用 history %1 查看",
                                   {std::to_string(result.record.id)}));
    return 0;
}

int History(const Call& call)
{
    long long drawId = 0;
    if (!optionalDrawId(call, drawId))
        return call.usageError(lang::tr("history takes an optional draw number", "history 只接受一个可选的抽奖编号"));
    store::DbConnection connection;
    std::vector<draw::DrawRecord> draws;
    if (!open(call, connection) || !readDraws(call, connection, drawId, draws))
        return kExitFailure;
    if (drawId == 0) {
        std::printf("%s\n", lang::tr("draw\ttime\tlevel\twinners\teligible\tvoids\tdigest",
                                     "编号\t时间\t等级\t中奖人数\t候选人数\t作废\t摘要").c_str());
        for (const draw::DrawRecord& draw : draws)
            std::printf("%lld\t%s\t%s\t%zu\t%lld\t%zu\t%s\n", draw.id, draw::LocalTimeText(draw.time).c_str(),
                        EscapeField(draw.level).c_str(), draw.winners.size(), draw.eligibleCount, draw.voids.size(),
                        draw.digest.substr(0, kDigestShown).c_str());
        return 0;
    }
    const draw::DrawRecord& draw = draws[0];
    std::printf("%s\n", lang::trf("draw %1\t%2\t%3\tdigest %4", "第 %1 次抽奖\t%2\t%3\t摘要 %4",
                                  {std::to_string(draw.id), draw::LocalTimeText(draw.time), EscapeField(draw.level),
                                   draw.digest})
                            .c_str());
    for (const exporter::ResultRow& row : exporter::ResultRows(draws))
        std::printf("%d\t%s\t%s\t%s\n", row.position, EscapeField(row.name).c_str(), EscapeField(row.number).c_str(),
                    EscapeField(row.note).c_str());
    return 0;
}

int Verify(const Call& call)
{
    long long drawId = 0;
    if (!optionalDrawId(call, drawId))
        return call.usageError(lang::tr("verify takes an optional draw number", "verify 只接受一个可选的抽奖编号"));
    store::DbConnection connection;
    if (!open(call, connection))
        return kExitFailure;
    draw::VerifyReport report;
    const std::optional<long long> only = drawId ? std::optional<long long>(drawId) : std::nullopt;
    if (!draw::VerifyDraws(connection, only, report))
        return call.fail(connection.error().empty() ? noSuchDraw(drawId) : connection.error());
    if (report.entries.empty() && report.problems.empty()) {
        std::printf("%s\n", lang::tr("no draw has been recorded yet", "还没有抽奖记录").c_str());
        return 0;
    }
    for (const std::string& problem : report.problems)
        std::printf("%s\n", problem.c_str());
    for (const draw::EntryCheck& entry : report.entries)
        printEntry(entry);
    // The newest digest is what the last printout shows: a draw removed from
    // the end of the record can only be seen by comparing the two.
    std::printf("%s\n", lang::trf("last entry checked: draw %1, digest %2", "最后检查的记录：第 %1 次抽奖，摘要 %2",
                                  {std::to_string(drawId ? drawId : report.lastDrawId), report.headDigest})
                            .c_str());
    if (report.ok()) {
        std::printf("%s\n", lang::tr("everything matches", "全部相符").c_str());
        return 0;
    }
    std::printf("%s\n", lang::tr("the draw record does NOT match", "抽奖记录不相符").c_str());
    return kExitFailure;
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
    if (!open(call, connection) || !readDraws(call, connection, drawId, draws))
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
