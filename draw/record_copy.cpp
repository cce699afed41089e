#include "draw/record_copy.h"

#include "draw/draw_verify.h"
#include "platform/language/language.h"

namespace draw {

std::vector<store::CopiedTable> RecordCopyTables(RecordLayout layout)
{
    const bool current = layout == RecordLayout::Current;
    std::vector<store::CopiedTable> tables = {
        {"draw_record",
         std::string("draw_id, drawn_at, prize_level, requested, eligible_count, eligible_digest, eligible_ids, seed,"
                     " previous_digest, record_digest") +
             (current ? ", record_format, organiser_seed, seed_commitment, public_input, announcement_id, plan_round,"
                        " prize_name, group_rule"
                      : ""),
         current ? "ITTIITBTTTITTTIITT" : "ITTIITBTTT", "draw_id"},
        {"draw_winner", "draw_id, position, participant_id, user_name, user_number", "IIITT", "draw_id, position"},
        {"draw_void",
         std::string("draw_id, void_seq, position, voided_id, voided_at, eligible_count, eligible_digest, eligible_ids,"
                     " seed, replacement_id, replacement_name, replacement_number, previous_digest, record_digest") +
             (current ? ", record_format, organiser_seed, seed_commitment, public_input, reason" : ""),
         current ? "IIIITITBTITTTTITTTT" : "IIIITITBTITTTT", "draw_id, void_seq"},
    };
    if (!current)
        return tables;
    tables.push_back({"draw_reset",
                      "reset_seq, reset_at, reset_rows, eligible_count, eligible_digest, eligible_ids, previous_digest,"
                      " record_digest",
                      "ITIITBTT", "reset_seq"});
    tables.push_back({"draw_correction",
                      "correction_seq, draw_id, corrected_at, prize_level, prize_name, reason, previous_digest,"
                      " record_digest",
                      "IITTTTTT", "correction_seq"});
    tables.push_back({"draw_announcement",
                      "announcement_id, announced_at, prize_level, requested, source, eligible_count, eligible_digest,"
                      " eligible_ids, previous_digest, record_digest, prize_name, plan_round, group_rule",
                      "ITTITITBTTTIT", "announcement_id"});
    tables.push_back(
        {"prize_plan", "round_no, prize_level, prize_name, winner_count, group_rule", "ITTIT", "round_no"});
    return tables;
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
