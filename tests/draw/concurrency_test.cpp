// Several programs on one participant list at once: two processes drawing in
// a loop while a third registers participants, and a server that dies and
// comes back in the middle of it. Nobody wins twice, no draw and no
// registration is lost, and the record verifies.

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "draw/draw_verify.h"
#include "draw/prize_draw.h"
#include "tests/store/store_test_support.h"

namespace {

using namespace std::chrono_literals;

constexpr int kParticipants = 300;
constexpr int kWinnersPerDraw = 2;

// What one drawing process saw: how many draws ended in each status.
using Tally = std::map<draw::DrawStatus, int>;

// Runs `work` in a child process that writes its tally to `file`.
pid_t spawn(const std::string& file, const std::function<Tally()>& work)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const Tally tally = work();
        std::ofstream out(file);
        for (const auto& [status, count] : tally)
            out << int(status) << ' ' << count << '\n';
        out.close();
        _exit(0);
    }
    return pid;
}

Tally collect(pid_t pid, const std::string& file)
{
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a child process failed";
    Tally tally;
    std::ifstream in(file);
    for (int status = 0, count = 0; in >> status >> count;)
        tally[draw::DrawStatus(status)] = count;
    return tally;
}

// Draws kWinnersPerDraw winners again and again: `draws` times, or until
// `stopFile` exists. A failed draw is followed by a short pause, as an
// operator's retry would be.
Tally drawInLoop(const std::string& dataSource, int draws, const std::string& stopFile = {})
{
    Tally tally;
    store::DbConnection connection;
    if (!connection.OpenFile(dataSource)) {
        tally[draw::DrawStatus::DatabaseError] = 1;
        return tally;
    }
    for (int i = 0; i < draws && (stopFile.empty() || access(stopFile.c_str(), F_OK) != 0); ++i) {
        draw::DrawRequest request;
        request.level = "三等奖";
        request.count = kWinnersPerDraw;
        const draw::DrawResult result = draw::RunDraw(connection, request);
        ++tally[result.status];
        if (result.status == draw::DrawStatus::DatabaseError)
            std::fprintf(stderr, "draw failed: %s\n", result.error.c_str());
        if (result.status != draw::DrawStatus::Done)
            std::this_thread::sleep_for(20ms);
    }
    return tally;
}

// A registration desk: one participant at a time, each in its own statement.
Tally registerParticipants(const std::string& dataSource, int count)
{
    Tally tally;
    store::DbConnection connection;
    if (!connection.OpenFile(dataSource))
        return {{draw::DrawStatus::DatabaseError, 1}};
    for (int i = 0; i < count; ++i) {
        const bool inserted = connection.Run("insert into sheet (user_name, user_number, isluck) values (?, ?, '否')",
                                             {"desk" + std::to_string(i), "d" + std::to_string(i)});
        ++tally[inserted ? draw::DrawStatus::Done : draw::DrawStatus::DatabaseError];
    }
    return tally;
}

long long single(store::DbConnection& connection, const std::string& sql)
{
    auto row = connection.Execute(sql);
    EXPECT_TRUE(row) << connection.error();
    return row ? row->FieldInteger(0) : -1;
}

// Every draw's winners are distinct people who never won elsewhere, each
// is marked, and the whole record verifies.
void expectSoundRecord(store::DbConnection& connection, long long draws)
{
    EXPECT_EQ(single(connection, "select count(*) from draw_record"), draws);
    EXPECT_EQ(single(connection, "select count(*) from draw_winner"), draws * kWinnersPerDraw);
    EXPECT_EQ(single(connection, "select count(distinct participant_id) from draw_winner"), draws * kWinnersPerDraw)
        << "somebody won twice";
    EXPECT_EQ(single(connection, "select count(*) from draw_winner w join sheet s on s.id = w.participant_id"
                                 " where s.isluck <> '是'"),
              0)
        << "a recorded winner is not marked";
    EXPECT_EQ(single(connection, "select count(*) from sheet where isluck = '是'"), draws * kWinnersPerDraw)
        << "somebody is marked who was not recorded";
    draw::VerifyReport report;
    ASSERT_TRUE(draw::VerifyDraws(connection, std::nullopt, report)) << connection.error();
    EXPECT_TRUE(report.ok());
}

class Concurrency : public storetest::BothKinds {
protected:
    std::string file(const std::string& name) { return m_files.file(name); }
    storetest::TempDir m_files;
};
SORTIA_ON_BOTH_KINDS(Concurrency);

TEST_P(Concurrency, TwoDrawingProcessesAndARegistrationDeskShareOneList)
{
    m_db.makeSheet(storetest::participantRows(kParticipants));
    const std::string source = m_db.dataSource();
    store::DbConnection connection;
    ASSERT_TRUE(connection.OpenFile(source)) << connection.error();  // adds the record's tables before the race
    constexpr int kDrawsEach = 30, kRegistrations = 150;
    const pid_t first = spawn(file("first"), [&] { return drawInLoop(source, kDrawsEach); });
    const pid_t second = spawn(file("second"), [&] { return drawInLoop(source, kDrawsEach); });
    const pid_t desk = spawn(file("desk"), [&] { return registerParticipants(source, kRegistrations); });
    Tally tallies[] = {collect(first, file("first")), collect(second, file("second"))};
    const Tally registered = collect(desk, file("desk"));

    long long done = 0;
    for (Tally& tally : tallies) {
        done += tally[draw::DrawStatus::Done];
        // Every draw either happened or was refused with a status of its own.
        EXPECT_EQ(tally[draw::DrawStatus::DatabaseError], 0);
        EXPECT_EQ(tally[draw::DrawStatus::Done] + tally[draw::DrawStatus::KeptConflicting] +
                      tally[draw::DrawStatus::ListKeptChanging],
                  kDrawsEach);
    }
    EXPECT_GT(done, kDrawsEach) << "both processes should have drawn";
    EXPECT_EQ(registered.at(draw::DrawStatus::Done), kRegistrations);
    EXPECT_EQ(single(connection, "select count(*) from sheet"), kParticipants + kRegistrations)
        << "a registration was lost";
    expectSoundRecord(connection, done);
}

// A server of its own, killed and started again while two processes draw.
TEST(ServerLoss, DrawsDuringACrashRecordNothingHalfAndGoOnAfterIt)
{
    testsupport::PgOwnServer server;
    if (!server.started())
        GTEST_SKIP() << server.why();
    storetest::TempDir dir;
    const std::string source = server.dataSource();
    ASSERT_EQ(testsupport::pgRun(source, "create table sheet (id bigint generated by default as identity primary key,"
                                         " user_name text, user_number text, isluck text default '否');"
                                         " insert into sheet (user_name, user_number, isluck) select 'p' || n, 'n' || n,"
                                         " '否' from generate_series(1, 2000) n"),
              "");
    store::DbConnection connection;
    ASSERT_TRUE(connection.OpenFile(source)) << connection.error();

    const std::string stop = dir.file("stop");
    const pid_t first = spawn(dir.file("first"), [&] { return drawInLoop(source, 1000, stop); });
    const pid_t second = spawn(dir.file("second"), [&] { return drawInLoop(source, 1000, stop); });
    std::this_thread::sleep_for(400ms);
    EXPECT_TRUE(server.kill());
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(server.restart());
    std::this_thread::sleep_for(600ms);
    std::ofstream{stop};
    Tally tallies[] = {collect(first, dir.file("first")), collect(second, dir.file("second"))};

    long long done = 0, lost = 0, unknown = 0;
    for (Tally& tally : tallies) {
        done += tally[draw::DrawStatus::Done];
        lost += tally[draw::DrawStatus::ConnectionLost];
        unknown += tally[draw::DrawStatus::OutcomeUnknown];
        EXPECT_EQ(tally[draw::DrawStatus::DatabaseError], 0) << "a lost server must not read as any other error";
    }
    EXPECT_GT(lost, 0) << "the draws should have met the dead server";
    long long recorded = 0;
    {
        store::DbConnection after;
        ASSERT_TRUE(after.OpenFile(source)) << after.error();
        recorded = single(after, "select count(*) from draw_record");
        // A commit cut off may or may not have made it: nothing more, nothing less.
        EXPECT_GE(recorded, done);
        EXPECT_LE(recorded, done + unknown);
        expectSoundRecord(after, recorded);
        // The connection opened before the crash is made again and keeps working.
        draw::DrawRequest request;
        request.count = 1;
        EXPECT_EQ(draw::RunDraw(connection, request).status, draw::DrawStatus::Done) << connection.error();
    }
    EXPECT_GT(done, 0);
}

// The server undoing a draw for a conflict (forced here by a trigger that
// fails the first `conflicts` records with a serialization failure): the
// draw is tried again, a bounded number of times, and a draw that never gets
// through is reported as such with nothing marked or recorded.
struct ConflictCase {
    const char* name;
    int conflicts;
    draw::DrawStatus status;
    int recorded;
};

class Conflicts : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(Conflicts, AreDrawnAgainUpToTheLimit)
{
    const ConflictCase& c = GetParam();
    storetest::ScratchDatabase db(storetest::Kind::PostgreSQL);
    if (!db.available())
        GTEST_SKIP() << db.why();
    db.makeSheet(storetest::participantRows(20));
    store::DbConnection connection;
    ASSERT_TRUE(connection.OpenFile(db.dataSource())) << connection.error();
    ASSERT_TRUE(draw::EnsureDrawTables(connection)) << connection.error();
    db.run("create sequence tries; create function conflict() returns trigger language plpgsql as $$ begin"
           " if nextval('tries') <= " + std::to_string(c.conflicts) + " then raise exception 'forced conflict'"
           " using errcode = 'serialization_failure'; end if; return new; end $$;"
           " create trigger conflict before insert on draw_record for each row execute function conflict();");
    draw::DrawRequest request;
    request.count = 3;
    const draw::DrawResult result = draw::RunDraw(connection, request);
    EXPECT_EQ(result.status, c.status) << result.error;
    EXPECT_EQ(single(connection, "select count(*) from draw_record"), c.recorded);
    EXPECT_EQ(single(connection, "select count(*) from sheet where isluck = '是'"), 3 * c.recorded);
    if (c.status == draw::DrawStatus::KeptConflicting) {
        EXPECT_EQ(result.attempts, draw::kMaxConflictAttempts);
        EXPECT_EQ(single(connection, "select last_value from tries"), draw::kMaxConflictAttempts);
        EXPECT_NE(draw::DescribeRefusal(result).find("nobody was marked"), std::string::npos)
            << draw::DescribeRefusal(result);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Server, Conflicts,
    ::testing::Values(ConflictCase{"OnceThenThrough", 1, draw::DrawStatus::Done, 1},
                      ConflictCase{"UpToTheLastTry", draw::kMaxConflictAttempts - 1, draw::DrawStatus::Done, 1},
                      ConflictCase{"Always", 1000, draw::DrawStatus::KeptConflicting, 0}),
    [](const ::testing::TestParamInfo<ConflictCase>& info) { return std::string(info.param.name); });

}  // namespace
