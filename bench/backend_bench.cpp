// The participant database on a PostgreSQL server beside the SQLite file:
// loading the window's list and a stop with 100 winners, at 100,000 and
// 1,000,000 participants. The server is a throwaway one of the benchmark's
// own (tests/support/pg_server.sh), reached over its Unix socket. Names are
// backend/CASE/IMPL; the file is the reference the server is measured against.
//   make bench      or      build/bench/sortia-backend-bench

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <memory>
#include <string>
#include <unordered_set>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include "bench_support.h"
#include "draw/participant_list.h"
#include "draw/prize_draw.h"

namespace {

namespace fs = std::filesystem;

constexpr long long kWinners = 100;

// The benchmark's own server: started before the runs, stopped after them.
class Server {
public:
    Server() : m_state(fs::temp_directory_path() / ("sortia-backend-bench-" + std::to_string(getpid())))
    {
        // The server's watcher stops it when this program dies without doing so.
        const std::string command = "SORTIA_PG_STARTER=" + std::to_string(getpid()) + " " + SORTIA_PG_SERVER_SCRIPT +
                                    " start " + m_state.string() + " >&2";
        std::ifstream host;
        if (std::system(command.c_str()) == 0)
            host.open(m_state / "host");
        std::getline(host, m_host);
    }
    ~Server()
    {
        std::system((std::string(SORTIA_PG_SERVER_SCRIPT) + " stop " + m_state.string()).c_str());
        fs::remove_all(m_state);
    }
    bool running() const { return !m_host.empty(); }

    // A data source whose tables live in schema `schema`, made here.
    std::string dataSource(const std::string& schema) const
    {
        const std::string base = "postgresql://sortia@/sortia?host=" + m_host;
        run(base, "create schema " + schema);
        return base + "&options=-csearch_path%3D" + schema;
    }

    static void run(const std::string& dataSource, const std::string& sql)
    {
        PGconn* connection = PQconnectdb(dataSource.c_str());
        PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
        PGresult* result = PQexec(connection, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
            std::fprintf(stderr, "%s: %s\n", sql.c_str(), PQerrorMessage(connection));
        PQclear(result);
        PQfinish(connection);
    }

private:
    fs::path m_state;
    std::string m_host;
};

// A database of one kind with `count` participants, made on first use and
// kept open for every run of that kind and size.
struct Database {
    store::DbConnection connection;
    std::vector<std::int64_t> eligible;  // the ids a window would have listed
    int serverProcess = 0;               // the server's process for this connection, 0 for a file
};

// CPU time (user and system) a process has used so far, in milliseconds.
double cpuMs(int process)
{
    std::ifstream in("/proc/" + std::to_string(process) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)  // utime, stime
            ticks += std::stod(field);
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// What the server's process spent per run, beside the program's own time:
// on a machine where both compete for the cores, the sum is what counts.
class ServerTime {
public:
    explicit ServerTime(const Database& db)
        : m_process(db.serverProcess), m_start(m_process ? cpuMs(m_process) : 0)
    {
    }
    void report(benchmark::State& state) const
    {
        if (m_process)
            state.counters["server_cpu_ms"] =
                benchmark::Counter(cpuMs(m_process) - m_start, benchmark::Counter::kAvgIterations);
    }

private:
    int m_process;
    double m_start;
};

std::unique_ptr<Server> g_server;
std::map<std::string, std::unique_ptr<Database>> g_databases;
fs::path g_folder;

Database* database(bool server, long count)
{
    const std::string key = (server ? "pg" : "file") + std::to_string(count);
    std::unique_ptr<Database>& slot = g_databases[key];
    if (slot)
        return slot.get();
    std::string source;
    if (server) {
        source = g_server->dataSource("bench_" + std::to_string(count));
        std::string error;
        store::CreateDatabase(source, error);
        // The same names and numbers as the file's participants.
        Server::run(source, "insert into sheet (user_name, user_number, isluck) select '参与者' || (n - 1),"
                            " '138' || (10000000 + n - 1), '否' from generate_series(1, " +
                                std::to_string(count) + ") n");
        // As a server that has run a while has it: vacuumed, so that the
        // server's own vacuum of a million new rows does not fall into a run.
        Server::run(source, "vacuum analyze sheet");
    } else {
        source = (g_folder / (key + ".mdb")).string();
        bench::fillParticipants(source, count);
    }
    slot = std::make_unique<Database>();
    if (!slot->connection.OpenFile(source)) {
        std::fprintf(stderr, "%s\n", slot->connection.error().c_str());
        return nullptr;
    }
    if (server)
        if (auto row = slot->connection.Execute("select pg_backend_pid()"))
            slot->serverProcess = int(row->FieldInteger(0));
    draw::EligibleListBuilder list;
    draw::LoadEligibleIds(slot->connection, list);
    slot->eligible = std::move(list.ids());
    return slot.get();
}

// What the window does before a stop when the list changed: every
// participant not won yet, read into the list it holds.
void loadList(benchmark::State& state, bool server, long count)
{
    Database* db = database(server, count);
    if (!db)
        return state.SkipWithError("the database could not be made");
    draw::ParticipantList list;
    const ServerTime serverTime(*db);
    for (auto _ : state) {
        list.clear();  // as a change by another program would make it read again
        if (!draw::RefreshNotWon(db->connection, list))
            return state.SkipWithError(db->connection.error().c_str());
        benchmark::DoNotOptimize(list.size());
    }
    state.counters["rows"] = double(list.size());
    serverTime.report(state);
}

// The stop: 100 winners drawn from the listed ids, checked, marked and
// recorded in one transaction. The winners leave the listed ids between runs,
// as the window's reload would take them out.
void stop(benchmark::State& state, bool server, long count)
{
    Database* db = database(server, count);
    if (!db)
        return state.SkipWithError("the database could not be made");
    const ServerTime serverTime(*db);
    for (auto _ : state) {
        draw::DrawRequest request;
        request.level = "一等奖";
        request.count = kWinners;
        request.listedIds = &db->eligible;
        const draw::DrawResult result = draw::RunDraw(db->connection, request);
        state.PauseTiming();
        if (result.status != draw::DrawStatus::Done) {
            state.SkipWithError(draw::DescribeRefusal(result).c_str());
            break;
        }
        std::unordered_set<std::int64_t> won;
        for (const draw::RecordedWinner& winner : result.record.winners)
            won.insert(winner.id);
        std::erase_if(db->eligible, [&](std::int64_t id) { return won.count(id) != 0; });
        state.ResumeTiming();
    }
    serverTime.report(state);
}

void registerRuns(bool server)
{
    const char* impl = server ? "ours-postgresql" : "sqlite";
    for (const auto& [label, count] : {std::pair{"100k", 100000L}, std::pair{"1M", 1000000L}}) {
        const std::string suffix = std::string("/") + impl;
        benchmark::RegisterBenchmark(("backend/" + std::string(label) + "-list-load" + suffix).c_str(),
                                     [=](benchmark::State& s) { loadList(s, server, count); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark(("backend/" + std::string(label) + "-stop-100" + suffix).c_str(),
                                     [=](benchmark::State& s) { stop(s, server, count); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(10);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    g_folder = fs::temp_directory_path() / ("sortia-backend-bench-files-" + std::to_string(getpid()));
    fs::create_directories(g_folder);
    g_server = std::make_unique<Server>();
    registerRuns(false);
    if (g_server->running())
        registerRuns(true);
    else
        std::fprintf(stderr, "no PostgreSQL server could be started: only the SQLite file is measured\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_databases.clear();  // connections closed before their server stops
    g_server.reset();
    fs::remove_all(g_folder);
    return 0;
}
