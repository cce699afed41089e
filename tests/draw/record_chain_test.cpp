// The chain of every kind of entry on both kinds of database: a planned
// evening with a group round, a void, a correction, a reset and an announced
// draw verifies whole; group rules limit the picks; every unrecorded change
// of who may win is named; an announced list that changed is refused.

#include <algorithm>

#include "draw/announced_draw.h"
#include "draw/draw_verify.h"
#include "draw/participant_list.h"
#include "draw/prize_plan.h"
#include "draw/record_actions.h"
#include "draw/record_chain.h"
#include "tests/draw/draw_test_support.h"

namespace {

using storetest::seedOf;

std::string describe(const draw::VerifyReport& report)
{
    std::string text;
    for (const std::string& problem : report.problems)
        text += problem + "\n";
    for (const draw::EntryCheck& entry : report.chain)
        for (const std::string& difference : entry.differences)
            text += draw::EntryName(entry) + ": " + difference + "\n";
    return text;
}

// 30 participants; ids 1-10 in group 销售部, 11-20 in 市场部, 21-30 without a group.
class ChainTest : public storetest::SheetOnBothKinds {
protected:
    void SetUp() override
    {
        openSheet(storetest::participantRows(30));
        if (!ready())
            return;
        m_db.run("create table participant_group (participant_id bigint primary key, group_name text not null);");
        std::string rows;
        for (int id = 1; id <= 20; ++id)
            rows += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", '" + (id <= 10 ? "销售部" : "市场部") +
                    "')";
        m_db.run("insert into participant_group values " + rows + ";");
    }
    draw::DrawResult drawWith(draw::DrawRequest request, std::uint8_t seed)
    {
        request.organiserSeed = seedOf(seed);
        request.publicInput = "public " + std::to_string(seed);
        return draw::RunDraw(m_connection, request);
    }
    draw::DrawResult drawRound(long long round, std::uint8_t seed)
    {
        draw::DrawRequest request;
        request.planRound = round;
        return drawWith(request, seed);
    }
    void plan(std::vector<draw::PlanRound> rounds)
    {
        std::string refusal;
        ASSERT_EQ(draw::ReplacePlan(m_connection, rounds, refusal), draw::PlanStatus::Replaced) << refusal;
    }
    draw::VerifyReport verify()
    {
        draw::VerifyReport report;
        EXPECT_TRUE(draw::VerifyDraws(m_connection, std::nullopt, report)) << m_connection.error();
        return report;
    }
    void expectNamed(const std::string& what, const std::string& says)
    {
        const std::string found = describe(verify());
        EXPECT_NE(found.find(says), std::string::npos) << what << ":\n" << found;
    }
};
SORTIA_ON_BOTH_KINDS(ChainTest);

TEST_P(ChainTest, APlannedEveningOfEveryKindOfEntryVerifiesWhole)
{
    plan({{0, "三等奖", "保温杯", 3, "only:销售部", {}, {}},
          {0, "二等奖", "耳机", 2, "except:销售部|市场部", {}, {}},
          {0, "一等奖", "电脑", 1, "", {}, {}}});
    const draw::DrawResult first = drawRound(1, 1);
    ASSERT_EQ(first.status, draw::DrawStatus::Done) << first.error;
    EXPECT_EQ(first.record.eligibleCount, 10);
    for (const draw::RecordedWinner& winner : first.record.winners)
        EXPECT_LE(winner.id, 10) << "only 销售部 may win round 1";
    draw::VoidRequest voiding{1, 2, "absent", seedOf(2), {}, "void public"};
    const draw::DrawResult voided = draw::VoidAndReplace(m_connection, voiding);
    ASSERT_EQ(voided.status, draw::DrawStatus::Done) << voided.error;
    EXPECT_LE(voided.record.voids.back().replacement.id, 10) << "a void replaces from the round's list";
    EXPECT_EQ(voided.record.voids.back().eligibleCount, 7);
    ASSERT_EQ(draw::Relabel(m_connection, {1, "二等奖", "耳机", "announced wrongly"}).status, draw::DrawStatus::Done);

    std::optional<draw::PlanRound> next;
    ASSERT_TRUE(draw::NextRound(m_connection, next));
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->number, 2);
    const draw::DrawResult second = drawRound(2, 3);
    ASSERT_EQ(second.status, draw::DrawStatus::Done) << second.error;
    for (const draw::RecordedWinner& winner : second.record.winners)
        EXPECT_GT(winner.id, 20) << "round 2 leaves both groups out";
    ASSERT_TRUE(draw::RecordedReset(m_connection));
    draw::AnnounceRequest announce;
    announce.planRound = 3;
    announce.source = "lottery of 3 May";
    const draw::DrawResult announced = draw::Announce(m_connection, announce);
    ASSERT_EQ(announced.status, draw::DrawStatus::Done) << announced.error;
    EXPECT_EQ(announced.announcement.eligibleCount, 30) << "the reset made everyone eligible";
    EXPECT_EQ(drawRound(3, 4).status, draw::DrawStatus::Refused) << "an announced round is drawn from its announcement";
    const draw::DrawResult third = draw::DrawAnnounced(m_connection, announced.announcement.id, "03 15 22");
    ASSERT_EQ(third.status, draw::DrawStatus::Done) << third.error;
    EXPECT_EQ(third.record.planRound, 3);
    EXPECT_EQ(third.record.prizeName, "电脑");

    const draw::VerifyReport report = verify();
    EXPECT_TRUE(report.ok()) << describe(report);
    std::vector<std::string> names;
    for (const draw::EntryCheck& entry : report.chain)
        names.push_back(draw::EntryName(entry) + "@" + std::to_string(entry.segment));
    EXPECT_EQ(names, (std::vector<std::string>{"draw 1@1", "draw 1, void 1@1", "correction 1 (of draw 1)@1",
                                               "draw 2@2", "reset 1@2", "announcement 1@2", "draw 3@3"}));
    draw::Anchor anchor;
    ASSERT_TRUE(draw::NewestAnchor(m_connection, anchor));
    EXPECT_EQ(anchor.drawId, 3);
    EXPECT_EQ(anchor.digest, third.record.digest);
    EXPECT_EQ(draw::FindAnchor(report, 2, announced.announcement.digest.substr(0, 8))->kind,
              draw::EntryKind::Announcement);
    EXPECT_EQ(draw::FindAnchor(report, 3, announced.announcement.digest.substr(0, 8)), nullptr);

    draw::DrawRecord shown;
    ASSERT_TRUE(draw::ReadDraw(m_connection, 1, shown));
    EXPECT_EQ(draw::ShownLevel(shown).level, "二等奖");
    EXPECT_NE(draw::ShownLevel(shown).note.find("announced wrongly"), std::string::npos);
    EXPECT_EQ(shown.level, "三等奖") << "the draw's own entry stays as written";
    std::vector<draw::PlanRound> rounds;
    ASSERT_TRUE(draw::ReadPlan(m_connection, rounds));
    std::string refusal;
    rounds[0].count = 4;
    EXPECT_EQ(draw::ReplacePlan(m_connection, rounds, refusal), draw::PlanStatus::Refused);
    EXPECT_NE(refusal.find("round 1 was drawn by draw 1"), std::string::npos) << refusal;
}

TEST_P(ChainTest, EveryUnrecordedChangeOfWhoMayWinIsNamed)
{
    struct Case {
        const char* what;
        const char* sql;     // run between two whole draws; '%' stands for a winner of the first
        const char* rule;    // or, instead, a draw limited by this rule in between
        const char* says;    // "" when nothing is to be named
    };
    const Case cases[] = {
        {"a winner set back", "update sheet set isluck = '否' where id = %", "", "not won again without a recorded reset"},
        {"a participant set as won", "update sheet set isluck = '是' where id = 30 or id = 29", "",
         "no longer among those who have not won"},
        {"a row removed", "delete from sheet where id = 28 or id = 27", "", "no longer among those who have not won"},
        {"rows added since", "insert into sheet (id, user_name, user_number, isluck) values (31, 'n', 'x31', '否')", "",
         ""},
        {"rows sharing a winner's number", "update sheet set user_number = 'shared' where id <= 10", "only:销售部", ""},
    };
    ASSERT_TRUE(draw::EnsureDrawTables(m_connection));
    for (const Case& c : cases) {
        m_db.run("delete from draw_record; delete from draw_winner; delete from draw_void; delete from draw_reset;"
                 " delete from sheet where id > 30; update sheet set isluck = '否', user_number = 'n' || id;");
        draw::DrawRequest request;
        request.count = 2;
        const draw::DrawResult first = drawWith(request, 1);
        ASSERT_EQ(first.status, draw::DrawStatus::Done) << c.what << ": " << first.error;
        std::string sql = c.sql;
        if (sql.find('%') != std::string::npos)
            sql.replace(sql.find('%'), 1, std::to_string(first.record.winners[0].id));
        m_db.run(sql + ";");
        if (*c.rule) {
            draw::DrawRequest limited = request;
            limited.count = 1;
            limited.groupRule = c.rule;
            ASSERT_EQ(drawWith(limited, 2).status, draw::DrawStatus::Done) << c.what;
        }
        ASSERT_EQ(drawWith(request, 3).status, draw::DrawStatus::Done) << c.what;
        const draw::VerifyReport report = verify();
        const std::string found = describe(report);
        if (!*c.says) {
            EXPECT_TRUE(report.ok()) << c.what << ":\n" << found;
            continue;
        }
        EXPECT_FALSE(report.ok()) << c.what;
        EXPECT_NE(found.find("draw 2: "), std::string::npos) << c.what << ":\n" << found;
        EXPECT_NE(found.find(c.says), std::string::npos) << c.what << ":\n" << found;
    }
    // A recorded reset accounts for everyone becoming eligible again; a change after the last entry shows now.
    ASSERT_TRUE(draw::RecordedReset(m_connection));
    EXPECT_TRUE(verify().ok()) << describe(verify());
    m_db.run("update sheet set isluck = '是' where id = 5;");
    expectNamed("after the last entry", "now: id 5 (p5): no longer among those who have not won");
}

TEST_P(ChainTest, AnAnnouncedListThatChangedOrWasDrawnIsRefused)
{
    draw::AnnounceRequest request{"特等奖", 2, "lottery", "", std::nullopt};
    const draw::DrawResult announced = draw::Announce(m_connection, request);
    ASSERT_EQ(announced.status, draw::DrawStatus::Done) << announced.error;
    EXPECT_EQ(draw::DrawAnnounced(m_connection, 1, "  ").status, draw::DrawStatus::Refused) << "no public value";
    draw::DrawRequest between;
    between.count = 1;
    const draw::DrawResult drawn = drawWith(between, 1);
    ASSERT_EQ(drawn.status, draw::DrawStatus::Done);
    const draw::DrawResult changed = draw::DrawAnnounced(m_connection, 1, "7");
    EXPECT_EQ(changed.status, draw::DrawStatus::Refused);
    EXPECT_NE(changed.error.find("1 participants on the list of announcement 1 have won"), std::string::npos)
        << changed.error;
    EXPECT_NE(changed.error.find(std::to_string(drawn.record.winners[0].id)), std::string::npos) << changed.error;

    ASSERT_EQ(draw::Announce(m_connection, request).status, draw::DrawStatus::Done);
    ASSERT_EQ(draw::DrawAnnounced(m_connection, 2, "7").status, draw::DrawStatus::Done);
    const draw::DrawResult again = draw::DrawAnnounced(m_connection, 2, "7");
    EXPECT_EQ(again.status, draw::DrawStatus::Refused);
    EXPECT_NE(again.error.find("drawn already"), std::string::npos) << again.error;
    EXPECT_TRUE(verify().ok()) << describe(verify());
}

// Two PCs stop at the same moment: the second's list, read before the
// first's draw was recorded, is read again, so that its record never lists
// the first's winners as not won and the accounting stays quiet.
TEST_P(ChainTest, AListReadBeforeAnotherPcsDrawIsReadAgain)
{
    draw::ParticipantList list;
    ASSERT_TRUE(draw::RefreshNotWon(m_connection, list)) << m_connection.error();
    store::DbConnection otherPc;
    ASSERT_TRUE(otherPc.OpenFile(m_db.dataSource())) << otherPc.error();
    draw::DrawRequest request;
    request.count = 1;
    request.organiserSeed = seedOf(1);
    const draw::DrawResult other = draw::RunDraw(otherPc, request);
    ASSERT_EQ(other.status, draw::DrawStatus::Done) << other.error;
    request.organiserSeed = seedOf(2);
    const draw::DrawResult ours = draw::DrawFromList(m_connection, list, request);
    ASSERT_EQ(ours.status, draw::DrawStatus::Done) << ours.error;
    EXPECT_EQ(ours.record.eligibleCount, 29);
    EXPECT_TRUE(verify().ok()) << describe(verify());
    // With nothing recorded in between, the list shown is the one drawn from.
    ASSERT_TRUE(draw::RefreshNotWon(m_connection, list));
    const std::string shown = list.digest();
    const draw::DrawResult next = draw::DrawFromList(m_connection, list, request);
    ASSERT_EQ(next.status, draw::DrawStatus::Done) << next.error;
    EXPECT_EQ(next.record.eligibleDigest, shown);
}

TEST_P(ChainTest, VerifyOfOneDrawNamesAMissingEntryBeforeIt)
{
    draw::DrawRequest request;
    request.count = 1;
    ASSERT_EQ(drawWith(request, 1).status, draw::DrawStatus::Done);
    ASSERT_TRUE(draw::RecordedReset(m_connection));
    ASSERT_EQ(drawWith(request, 2).status, draw::DrawStatus::Done);
    draw::VerifyReport report;
    ASSERT_TRUE(draw::VerifyDraws(m_connection, 2, report));
    EXPECT_TRUE(report.ok()) << describe(report);
    m_db.run("delete from draw_reset;");
    ASSERT_TRUE(draw::VerifyDraws(m_connection, 2, report));
    EXPECT_FALSE(report.ok()) << "the reset before draw 2 is gone";
    ASSERT_EQ(report.entries.size(), 1u);
    EXPECT_NE(report.entries[0].differences.at(0).find("link to the entry before it"), std::string::npos);
    m_db.run("delete from draw_record where draw_id = 1;");
    ASSERT_TRUE(draw::VerifyDraws(m_connection, 2, report));
    EXPECT_NE(describe(report).find("draw 1 is missing"), std::string::npos) << describe(report);
}

TEST_P(ChainTest, AGroupRuleLimitsThePicksAndVerifyNamesAnOutsiderOnTheList)
{
    struct Case {
        const char* rule;
        long long eligible;
        std::function<bool(std::int64_t)> allowed;
    };
    const Case cases[] = {
        {"only:市场部", 10, [](std::int64_t id) { return id > 10 && id <= 20; }},
        {"only:销售部|市场部", 20, [](std::int64_t id) { return id <= 20; }},
        {"except:销售部", 20, [](std::int64_t id) { return id > 10; }},
        {"only:nobody", 0, [](std::int64_t) { return false; }},
    };
    for (const Case& c : cases) {
        m_db.run("update sheet set isluck = '否';");
        draw::DrawRequest request;
        request.count = 3;
        request.groupRule = c.rule;
        const draw::DrawResult result = drawWith(request, 5);
        EXPECT_EQ(result.available, c.eligible) << c.rule;
        for (const draw::RecordedWinner& winner : result.record.winners)
            EXPECT_TRUE(c.allowed(winner.id)) << c.rule << ": id " << winner.id;
    }
    EXPECT_TRUE(verify().ok()) << describe(verify());
    m_db.run("update participant_group set group_name = '销售部' where participant_id = 15;");
    expectNamed("moved to another group", "whose group the rule");
}

TEST(PlanGroups, ThePlanFilesWordsBecomeTheStoredRule)
{
    lang::setUiLanguage(lang::Language::English);
    struct Case {
        const char* typed;
        const char* stored;  // nullptr: refused
    };
    const Case cases[] = {
        {"", ""},
        {"  ", ""},
        {"销售部", "only:销售部"},
        {"销售部 | 市场部", "only:销售部|市场部"},
        {"only: A|B", "only:A|B"},
        {"仅：A", "only:A"},
        {"except:A", "except:A"},
        {"除:A|B", "except:A|B"},
        {"only:Team:A", "only:Team:A"},
        {"A||B", nullptr},
        {"except:", nullptr},
        {"maybe:A", nullptr},
    };
    for (const Case& c : cases) {
        draw::GroupRule rule;
        std::string error;
        const bool read = draw::ParsePlanGroups(c.typed, rule, error);
        EXPECT_EQ(read, c.stored != nullptr) << c.typed << ": " << error;
        if (read) {
            EXPECT_EQ(draw::GroupRuleText(rule), c.stored) << c.typed;
            draw::GroupRule again;
            EXPECT_TRUE(draw::ParsePlanGroups(draw::GroupRuleShown(c.stored), again, error)) << c.typed;
            EXPECT_EQ(draw::GroupRuleText(again), c.stored) << "as exported: " << c.typed;
        }
    }
    lang::resetUiLanguage();
}

}  // namespace
