// What the draw record costs on a large list: reading the eligible ids,
// encoding and digesting them, a whole recorded draw, and verify. Run by hand:
//   build/bench/sortia-draw-bench [participants]   (default 1000000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sqlite3.h>

#include "store/draw_verify.h"
#include "store/prize_draw.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void fill(const std::string& path, long count)
{
    std::string error;
    store::CreateDatabase(path, error);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into sheet (user_name, user_number, isluck) values (?, ?, '否')", -1, &insert,
                       nullptr);
    for (long i = 0; i < count; ++i) {
        const std::string name = "参与者" + std::to_string(i);
        const std::string number = "138" + std::to_string(10000000 + i);
        sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, number.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "sortia-draw-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "Sbase.mdb").string();
    fill(path, count);

    store::DbConnection connection;
    if (!connection.OpenFile(path)) {
        std::fprintf(stderr, "%s\n", connection.error().c_str());
        return 1;
    }
    auto start = Clock::now();
    store::EligibleListBuilder list;
    store::LoadEligibleIds(connection, list);
    std::printf("read %zu eligible ids: %.0f ms\n", list.ids().size(), msSince(start));

    start = Clock::now();
    const std::string encoded = store::EncodeIds(list.ids());
    std::printf("encode them: %.1f ms (%zu bytes)\n", msSince(start), encoded.size());
    start = Clock::now();
    store::EligibleDigest(encoded);
    std::printf("digest them: %.1f ms\n", msSince(start));

    store::DrawRequest request;
    request.count = 100;
    request.listedIds = &list.ids();
    start = Clock::now();
    const store::DrawResult drawn = store::RunDraw(connection, request);
    std::printf("recorded draw of 100 from the loaded list (pick, check, mark, record, commit): %.0f ms\n",
                msSince(start));
    request.listedIds = nullptr;
    start = Clock::now();
    store::RunDraw(connection, request);
    std::printf("recorded draw of 100 reading the list inside the transaction: %.0f ms\n", msSince(start));
    start = Clock::now();
    store::VerifyReport report;
    store::VerifyDraws(connection, std::nullopt, report);
    std::printf("verify both draws: %.0f ms (%s)\n", msSince(start), report.ok() ? "match" : "DO NOT MATCH");
    std::filesystem::remove_all(folder);
    return drawn.status == store::DrawStatus::Done ? 0 : 1;
}
