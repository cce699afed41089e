// What the draw record costs on a large list: reading the eligible ids,
// encoding and digesting them, a whole recorded draw, and verify. Run by hand:
//   build/bench/sortia-draw-bench [participants]   (default 1000000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "store/draw_verify.h"
#include "store/prize_draw.h"

using bench::Clock;
using bench::msSince;

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "sortia-draw-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "Sbase.mdb").string();
    bench::fillParticipants(path, count);

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
