#include "draw/record_copy.h"

#include "draw/draw_verify.h"
#include "platform/language/language.h"

namespace draw {

std::vector<store::CopiedTable> RecordCopyTables()
{
    return {
        {"draw_record",
         "draw_id, drawn_at, prize_level, requested, eligible_count, eligible_digest, eligible_ids, seed,"
         " previous_digest, record_digest",
         "ITTIITBTTT", "draw_id"},
        {"draw_winner", "draw_id, position, participant_id, user_name, user_number", "IIITT", "draw_id, position"},
        {"draw_void",
         "draw_id, void_seq, position, voided_id, voided_at, eligible_count, eligible_digest, eligible_ids, seed,"
         " replacement_id, replacement_name, replacement_number, previous_digest, record_digest",
         "IIIITITBTITTTT", "draw_id, void_seq"},
    };
}

store::CopyCheck SameRecordCheck(bool& sourceMatches)
{
    return [&sourceMatches](store::DbConnection& from, store::DbConnection& to, std::string& error) {
        VerifyReport before, after;
        if (!VerifyDraws(from, std::nullopt, before)) {
            error = from.error();
            return false;
        }
        if (!VerifyDraws(to, std::nullopt, after)) {
            error = to.error();
            return false;
        }
        sourceMatches = before.ok();
        if (after.ok() != before.ok() || after.headDigest != before.headDigest ||
            after.entries.size() != before.entries.size()) {
            error = lang::tr("the copied draw record does not check out as the original does; nothing was copied",
                             "复制后的抽奖记录与原记录的检查结果不一致；没有复制任何内容");
            return false;
        }
        return true;
    };
}

}  // namespace draw
