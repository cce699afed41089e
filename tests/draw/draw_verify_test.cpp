// Checking the record: an untouched record matches; every kind of tampering
// is found and named at the entry where it happened.

#include <algorithm>
#include <filesystem>

#include "platform/language/language.h"
#include "draw/draw_verify.h"
#include "draw/draw_record.h"
#include "draw/prize_draw.h"
#include "store/sha256.h"
#include "tests/draw/draw_test_support.h"

namespace {

using storetest::seedOf;

// Draw 1 (two winners), draw 2 (two winners, position 1 voided and
// replaced), draw 3 (two winners), all from fixed seeds.
class VerifyTest : public storetest::SheetOnBothKinds {
protected:
    void SetUp() override
    {
        openSheet(storetest::participantRows(12));
        if (!ready())
            return;
        for (std::uint8_t seed : {1, 2}) {
            draw(seed);
        }
        ASSERT_EQ(draw::VoidAndReplace(m_connection, 2, 1, [] { return seedOf(3); }).status,
                  draw::DrawStatus::Done);
        draw(4);
    }
    void draw(std::uint8_t seed)
    {
        draw::DrawRequest request;
        request.level = "三等奖";
        request.count = 2;
        request.seeds = [seed] { return seedOf(seed); };
        ASSERT_EQ(draw::RunDraw(m_connection, request).status, draw::DrawStatus::Done);
    }
};
SORTIA_ON_BOTH_KINDS(VerifyTest);

struct Flag {
    long long drawId;
    int voidSeq;
    const char* says;
};

std::string describe(const draw::VerifyReport& report)
{
    std::string text;
    for (const std::string& problem : report.problems)
        text += problem + "\n";
    for (const draw::EntryCheck& entry : report.entries)
        for (const std::string& difference : entry.differences)
            text += std::to_string(entry.drawId) + "/" + std::to_string(entry.voidSeq) + ": " + difference + "\n";
    return text;
}

TEST_P(VerifyTest, AnUntouchedRecordMatches)
{
    draw::VerifyReport report;
    ASSERT_TRUE(draw::VerifyDraws(m_connection, std::nullopt, report)) << m_connection.error();
    EXPECT_TRUE(report.ok()) << describe(report);
    ASSERT_EQ(report.entries.size(), 4u);
    EXPECT_EQ(report.entries[2].drawId, 2);
    EXPECT_EQ(report.entries[2].voidSeq, 1);
    EXPECT_EQ(report.lastDrawId, 3);
    draw::DrawRecord last;
    ASSERT_TRUE(draw::ReadDraw(m_connection, 3, last));
    EXPECT_EQ(report.headDigest, last.digest);

    ASSERT_TRUE(draw::VerifyDraws(m_connection, 3, report));
    EXPECT_TRUE(report.ok()) << describe(report);
    EXPECT_EQ(report.entries.size(), 1u);
    EXPECT_FALSE(draw::VerifyDraws(m_connection, 4, report));
    EXPECT_TRUE(m_connection.error().empty());
}

TEST_P(VerifyTest, GroupsThatCannotBeReadAreAFailureNotAMatch)
{
    ASSERT_TRUE(m_connection.Run("create table participant_group (participant_id bigint primary key,"
                                 " group_name text not null)"));
    ASSERT_TRUE(m_connection.Run("insert into participant_group values (1, 'A'), (2, 'A'), (3, 'A')"));
    draw::DrawRequest request;
    request.level = "三等奖";
    request.count = 1;
    request.groupRule = "only:A";
    request.seeds = [] { return seedOf(5); };
    ASSERT_EQ(draw::RunDraw(m_connection, request).status, draw::DrawStatus::Done);
    // Still a table of that name, but not one the groups can be read from.
    ASSERT_TRUE(m_connection.Run("drop table participant_group"));
    ASSERT_TRUE(m_connection.Run("create table participant_group (other text)"));
    draw::VerifyReport report;
    EXPECT_FALSE(draw::VerifyDraws(m_connection, std::nullopt, report)) << describe(report);
    EXPECT_FALSE(m_connection.error().empty());
}

TEST_P(VerifyTest, FindsAndNamesEveryKindOfTampering)
{
    draw::DrawRecord second;
    ASSERT_TRUE(draw::ReadDraw(m_connection, 2, second));
    // A forger who changes the level and writes the matching digest.
    second.level = "特等奖";
    const std::string forgedDigest = draw::DrawDigest(second);
    const std::string otherList = draw::EncodeIds({12, 11, 10, 9, 8, 7, 6, 5, 4, 1});
    const std::string otherSeed = std::string(62, '0') + "05";
    struct Case {
        const char* label;
        std::string sql;  // statements separated by "; "; a '?' takes otherList
        std::vector<Flag> flags;
        const char* problem;  // outside any entry, or ""
    };
    const Case cases[] = {
        {"seed", "update draw_record set seed = '" + otherSeed + "' where draw_id = 1",
         {{1, 0, "seed does not follow from the organiser seed"}, {1, 0, "does not match its digest"}}, ""},
        {"list", "update draw_record set eligible_ids = ? where draw_id = 3",
         {{3, 0, "eligible list does not match its digest"}}, ""},
        {"list and its digest",
         "update draw_record set eligible_ids = ?, eligible_digest = '" + draw::EligibleDigest(otherList) +
             "' where draw_id = 3",
         {{3, 0, "record does not match its digest"}}, ""},
        {"count", "update draw_record set eligible_count = 9 where draw_id = 1",
         {{1, 0, "holds 12 participants, the record says 9"}}, ""},
        {"winner", "update draw_winner set participant_id = 12 where draw_id = 1 and position = 2",
         {{1, 0, "winner 2 is id 12"}}, ""},
        {"winner's name", "update draw_winner set user_name = 'someone' where draw_id = 3 and position = 1",
         {{3, 0, "record does not match its digest"}}, ""},
        {"deleted winner", "delete from draw_winner where draw_id = 3 and position = 2",
         {{3, 0, "lists 1 winners, 2 were requested"}}, ""},
        {"edited draw", "update draw_record set prize_level = '特等奖' where draw_id = 2",
         {{2, 0, "record does not match its digest"}}, ""},
        {"edited draw with its digest",
         "update draw_record set prize_level = '特等奖', record_digest = '" + forgedDigest + "' where draw_id = 2",
         {{2, 1, "link to the entry before it"}}, ""},
        {"deleted draw",
         "delete from draw_record where draw_id = 2; delete from draw_winner where draw_id = 2; "
         "delete from draw_void where draw_id = 2",
         {{3, 0, "link to the entry before it"}}, "draw 2 is missing"},
        {"replacement", "update draw_void set replacement_id = 1 where draw_id = 2",
         {{2, 1, "the replacement is id 1"}}, ""},
        {"voided winner", "update draw_void set voided_id = 7 where draw_id = 2",
         {{2, 1, "position 1 was held by id"}}, ""},
        {"deleted void", "delete from draw_void where draw_id = 2", {{3, 0, "link to the entry before it"}}, ""},
    };
    for (const Case& c : cases) {
        // Each tampering is undone after its check, so every case starts from the untouched record.
        ASSERT_TRUE(m_connection.BeginTransaction()) << m_connection.error();
        std::size_t start = 0;
        for (std::size_t end; start < c.sql.size(); start = end + 2) {
            end = std::min(c.sql.find("; ", start), c.sql.size());
            const std::string statement = c.sql.substr(start, end - start);
            std::vector<store::Value> values;
            if (statement.find('?') != std::string::npos)
                values.push_back(store::Value::Blob(otherList));
            ASSERT_TRUE(m_connection.RunBound(statement, values)) << c.label << ": " << m_connection.error();
        }
        draw::VerifyReport report;
        const bool verified = draw::VerifyDraws(m_connection, std::nullopt, report);
        const std::string error = m_connection.error();
        m_connection.RollbackTransaction();
        ASSERT_TRUE(verified) << c.label << ": " << error;
        const std::string found = describe(report);
        EXPECT_FALSE(report.ok()) << c.label;
        for (const Flag& flag : c.flags)
            EXPECT_NE(found.find(std::to_string(flag.drawId) + "/" + std::to_string(flag.voidSeq) + ": "),
                      std::string::npos)
                << c.label << ":\n" << found;
        for (const draw::EntryCheck& entry : report.entries) {
            bool expected = false;
            for (const Flag& flag : c.flags) {
                if (flag.drawId != entry.drawId || flag.voidSeq != entry.voidSeq)
                    continue;
                expected = true;
                bool named = false;
                for (const std::string& difference : entry.differences)
                    named = named || difference.find(flag.says) != std::string::npos;
                EXPECT_TRUE(named) << c.label << ": " << flag.says << " not in\n" << found;
            }
            EXPECT_EQ(entry.matches(), !expected) << c.label << ", draw " << entry.drawId << "/" << entry.voidSeq
                                                  << ":\n" << found;
        }
        if (*c.problem)
            EXPECT_NE(found.find(c.problem), std::string::npos) << c.label << ":\n" << found;
        else
            EXPECT_TRUE(report.problems.empty()) << c.label << ":\n" << found;
    }
}

// A file written by an older version: draws and a void of format 1, and a
// reset that left no trace.
class OlderFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        lang::setUiLanguage(lang::Language::English);
        std::filesystem::copy_file(SORTIA_TESTDATA_DIR "/record/format1.mdb", m_path);
        ASSERT_TRUE(m_connection.OpenFile(m_path)) << m_connection.error();
    }
    void TearDown() override { lang::resetUiLanguage(); }
    draw::VerifyReport verify()
    {
        draw::VerifyReport report;
        EXPECT_TRUE(draw::VerifyDraws(m_connection, std::nullopt, report)) << m_connection.error();
        return report;
    }

    storetest::TempDir m_dir;
    std::string m_path = m_dir.file("Sbase.mdb");
    store::DbConnection m_connection;
};

TEST_F(OlderFile, ItsEntriesVerifyAndTheChainGoesOnAfterThem)
{
    draw::VerifyReport report = verify();
    EXPECT_TRUE(report.ok()) << describe(report);
    EXPECT_EQ(report.chain.size(), 4u);
    EXPECT_EQ(draw::RecordLayoutOf(m_connection), draw::RecordLayout::Original);
    draw::DrawRequest request;
    request.count = 2;
    const draw::DrawResult drawn = draw::RunDraw(m_connection, request);
    ASSERT_EQ(drawn.status, draw::DrawStatus::Done) << drawn.error;
    EXPECT_EQ(draw::RecordLayoutOf(m_connection), draw::RecordLayout::Current);
    EXPECT_EQ(drawn.record.previousDigest, report.headDigest);
    report = verify();
    EXPECT_TRUE(report.ok()) << describe(report);
    draw::DrawRecord old;
    ASSERT_TRUE(draw::ReadDraw(m_connection, 3, old));
    EXPECT_EQ(old.format, 1);
    EXPECT_EQ(old.voids.at(0).format, 1);
    // The accounting starts with the first entry of the new format.
    ASSERT_TRUE(m_connection.RunBound("update sheet set isluck = '否' where id = ?", {drawn.record.winners[0].id}));
    EXPECT_NE(describe(verify()).find("not won again"), std::string::npos);
}

TEST_F(OlderFile, AVoidWhoseListHoldsAWinnerOfItsDrawIsNamed)
{
    draw::DrawRecord record;
    ASSERT_TRUE(draw::ReadDraw(m_connection, 3, record, true));
    draw::DrawVoid forged = record.voids.at(0);
    std::vector<std::int64_t> ids;
    ASSERT_TRUE(draw::DecodeIds(forged.eligibleIds, ids));
    // A forger puts a winner who still holds a place into the list and
    // makes everything else fit: digests, count and the replacement.
    ids.push_back(record.winners.at(1).id);
    std::sort(ids.begin(), ids.end(), std::greater<>());
    draw::Seed seed{};
    ASSERT_TRUE(draw::SeedFromHex(forged.seed, seed));
    forged.eligibleIds = draw::EncodeIds(ids);
    forged.eligibleDigest = draw::EligibleDigest(forged.eligibleIds);
    forged.eligibleCount = static_cast<long long>(ids.size());
    forged.replacement.id = ids[draw::PickIndices(seed, ids.size(), 1)[0]];
    forged.digest = draw::VoidDigest(3, forged);
    ASSERT_TRUE(m_connection.RunBound("update draw_void set eligible_ids = ?, eligible_digest = ?, eligible_count = ?,"
                                      " replacement_id = ?, record_digest = ?",
                                      {store::Value::Blob(forged.eligibleIds), forged.eligibleDigest,
                                       forged.eligibleCount, forged.replacement.id, forged.digest}));
    const draw::VerifyReport report = verify();
    ASSERT_EQ(report.chain.size(), 4u);
    EXPECT_EQ(report.chain[3].differences,
              std::vector<std::string>{"its list holds id " + std::to_string(record.winners[1].id) +
                                       ", who had already won in this draw"});
}

}  // namespace
