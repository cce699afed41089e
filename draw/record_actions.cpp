#include "draw/record_actions.h"

#include "draw/record_transaction.h"
#include "platform/language/language.h"
#include "store/participants.h"

namespace draw {
namespace {

DrawResult tryReset(store::DbConnection& connection)
{
    if (!connection.BeginTransaction() || !connection.Run(store::kResetWinners))
        return Failure(connection, DrawStatus::DatabaseError);
    DrawResult result;
    ResetEntry& entry = result.reset;
    entry.rows = connection.changes();
    EligibleListBuilder list;
    if (!LoadEligibleIds(connection, list))
        return ListFailure(connection, list);
    entry.time = UtcNow();
    entry.eligibleCount = static_cast<long long>(list.ids().size());
    entry.eligibleIds = EncodeIds(list.ids());
    entry.eligibleDigest = EligibleDigest(entry.eligibleIds);
    return CommitWith(connection, std::move(result), "draw_reset", [&](DrawResult& done) -> Written {
        if (!WriteReset(connection, done.reset))
            return std::nullopt;
        return done.reset.digest;
    });
}

std::string correctionProblem(const CorrectionRequest& request)
{
    if (request.level.empty())
        return lang::tr("a correction needs the prize level", "更正需要奖项等级");
    if (request.reason.empty())
        return lang::tr("a correction needs a reason", "更正需要说明原因");
    for (const auto& [text, what] : {std::pair{&request.level, lang::tr("the prize level", "奖项等级")},
                                     std::pair{&request.prizeName, lang::tr("the prize", "奖品")},
                                     std::pair{&request.reason, lang::tr("the reason", "原因")}}) {
        const std::string problem = RecordTextProblem(*text, what);
        if (!problem.empty())
            return problem;
    }
    return std::string();
}

DrawResult tryRelabel(store::DbConnection& connection, const CorrectionRequest& request)
{
    if (!connection.BeginTransaction())
        return Failure(connection, DrawStatus::DatabaseError);
    auto drawn = connection.ExecuteBound("select count(*) from draw_record where draw_id = ?",
                                         {std::int64_t(request.drawId)});
    if (!drawn)
        return Failure(connection, DrawStatus::DatabaseError);
    if (drawn->FieldInteger(0) == 0)
        return Failure(connection, DrawStatus::Refused, NoSuchDraw(request.drawId));
    DrawResult result;
    Correction& entry = result.correction;
    entry.drawId = request.drawId;
    entry.time = UtcNow();
    entry.level = request.level;
    entry.prizeName = request.prizeName;
    entry.reason = request.reason;
    return CommitWith(connection, std::move(result), "draw_correction", [&](DrawResult& done) -> Written {
        if (!WriteCorrection(connection, done.correction))
            return std::nullopt;
        return done.correction.digest;
    });
}

}  // namespace

bool RecordedReset(store::DbConnection& connection, ResetEntry* written)
{
    if (!EnsureDrawTables(connection))
        return false;
    const DrawResult result = RetryConflicts([&] { return tryReset(connection); });
    if (result.status == DrawStatus::Done) {
        if (written)
            *written = result.reset;
        return true;
    }
    // A database failure left its message and kind on the connection.
    if (result.status == DrawStatus::BadList || result.status == DrawStatus::OutcomeUnknown ||
        result.status == DrawStatus::ConnectionLost)
        connection.setError(result.status == DrawStatus::BadList ? result.error : DescribeRefusal(result));
    return false;
}

DrawResult Relabel(store::DbConnection& connection, const CorrectionRequest& given)
{
    CorrectionRequest request = given;
    request.level = PublicInputText(request.level);
    request.prizeName = PublicInputText(request.prizeName);
    request.reason = PublicInputText(request.reason);
    DrawResult refused;
    refused.status = DrawStatus::Refused;
    refused.error = correctionProblem(request);
    if (!refused.error.empty())
        return refused;
    if (!EnsureDrawTables(connection))
        return Failure(connection, DrawStatus::DatabaseError);
    return RetryConflicts([&] { return tryRelabel(connection, request); });
}

}  // namespace draw
