// sortia-db: creates, fills, inspects and resets the participant database,
// and draws winners exactly as the window does.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/folders/program_folders.h"
#include "store/connection.h"
#include "store/participants.h"
#include "store/prize_draw.h"
#include "tools/csv_reader.h"
#include "tools/demo_participants.h"
#include "tools/text_encoding.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr long long kMaxDemo = 1000000;
constexpr std::uintmax_t kMaxImportBytes = 256u * 1024u * 1024u;
constexpr std::size_t kMaxProblemsShown = 50;
const char* const kInsert = "insert into sheet (user_name, user_number, isluck) values (?, ?, ?)";

const char* const kUsage =
    "usage: sortia-db [--db PATH] COMMAND\n"
    "  create [--demo N]       make a new database (with N made-up participants)\n"
    "  import FILE.csv         add participants from a CSV file (UTF-8 or GB18030)\n"
    "  list [--won|--not-won]  print id, user_name, user_number, isluck\n"
    "  stats                   count all, won and not-won participants\n"
    "  reset                   make every winner eligible again\n"
    "  draw N                  draw N winners, mark them, print them\n"
    "The database defaults to Sbase.mdb beside this program; an installed copy keeps it\n"
    "in the user's data folder ($XDG_DATA_HOME/sortia, by default ~/.local/share/sortia).\n";

struct Invocation {
    std::string dbPath;
    std::string command;
    std::vector<std::string> args;
};

int fail(const std::string& message)
{
    std::fprintf(stderr, "sortia-db: %s\n", message.c_str());
    return kExitFailure;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "sortia-db: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}


bool parseInteger(const std::string& text, long long& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool openDatabase(store::DbConnection& connection, const std::string& path)
{
    if (connection.OpenFile(path))
        return true;
    fail(connection.error());
    return false;
}

// Inserts rows inside one transaction: all of them or none.
template <typename Rows, typename Bind>
bool insertAll(store::DbConnection& connection, const Rows& rows, Bind bind)
{
    if (!connection.BeginTransaction())
        return false;
    for (const auto& row : rows) {
        if (!connection.Run(kInsert, bind(row))) {
            connection.RollbackTransaction();
            return false;
        }
    }
    if (connection.CommitTransaction())
        return true;
    connection.RollbackTransaction();
    return false;
}

bool fillDemo(const std::string& path, std::size_t count, std::string& error)
{
    store::DbConnection connection;
    const auto people = dbtool::makeDemoParticipants(count);
    const bool filled = connection.OpenFile(path) &&
                        insertAll(connection, people, [](const dbtool::DemoParticipant& p) {
                            return std::vector<std::string>{p.name, p.number, store::kNotWon};
                        });
    if (!filled)
        error = connection.error();
    return filled;
}

int commandCreate(const Invocation& call)
{
    long long demo = 0;
    if (call.args.size() == 2 && call.args[0] == "--demo") {
        if (!parseInteger(call.args[1], demo) || demo < 0 || demo > kMaxDemo)
            return usageError("--demo needs a count from 0 to " + std::to_string(kMaxDemo));
    } else if (!call.args.empty()) {
        return usageError("create takes only --demo N");
    }
    std::string error;
    // The user's data folder of an installed copy may not exist yet.
    const std::filesystem::path parent = std::filesystem::path(call.dbPath).parent_path();
    std::error_code ec;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    if (!store::CreateDatabase(call.dbPath, error))
        return fail(error);
    if (!fillDemo(call.dbPath, std::size_t(demo), error)) {
        // A half-made database would be taken for a real one next time.
        std::error_code ec;
        std::filesystem::remove(call.dbPath, ec);
        return fail("cannot fill '" + call.dbPath + "': " + error);
    }
    std::printf("created %s with %lld participants\n", call.dbPath.c_str(), demo);
    return 0;
}

bool readFile(const std::string& path, std::string& bytes, std::string& error)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot read '" + path + "': " + ec.message();
        return false;
    }
    if (size > kMaxImportBytes) {
        error = "'" + path + "' is too large to import";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || !in.is_open()) {
        error = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

int reportProblems(const std::string& path, const std::vector<dbtool::CsvProblem>& problems)
{
    for (std::size_t i = 0; i < problems.size() && i < kMaxProblemsShown; ++i)
        std::fprintf(stderr, "%s:%zu: %s\n", path.c_str(), problems[i].line, problems[i].message.c_str());
    if (problems.size() > kMaxProblemsShown)
        std::fprintf(stderr, "... and %zu more problems\n", problems.size() - kMaxProblemsShown);
    return fail("nothing was imported from '" + path + "'");
}

int commandImport(const Invocation& call)
{
    if (call.args.size() != 1)
        return usageError("import needs one CSV file");
    const std::string& path = call.args[0];
    std::string bytes, error;
    if (!readFile(path, bytes, error))
        return fail(error);
    const dbtool::DecodedText decoded = dbtool::decodeText(bytes);
    if (!decoded.ok)
        return reportProblems(path, {{decoded.errorLine, decoded.error}});
    std::vector<dbtool::CsvRecord> records;
    dbtool::CsvProblem problem;
    if (!dbtool::parseCsv(decoded.text, records, problem))
        return reportProblems(path, {problem});
    std::vector<dbtool::ImportRow> rows;
    std::vector<dbtool::CsvProblem> problems;
    dbtool::readParticipants(records, rows, problems);
    if (!problems.empty())
        return reportProblems(path, problems);

    store::DbConnection connection;
    if (!openDatabase(connection, call.dbPath))
        return kExitFailure;
    if (!insertAll(connection, rows, [](const dbtool::ImportRow& row) {
            return std::vector<std::string>{row.name, row.number, row.isluck};
        }))
        return fail(connection.error() + "; nothing was imported");
    std::printf("imported %zu participants\n", rows.size());
    return 0;
}

int commandList(const Invocation& call)
{
    std::string sql = "select id, user_name, user_number, isluck from sheet";
    std::vector<std::string> parameters;
    if (call.args.size() == 1 && (call.args[0] == "--won" || call.args[0] == "--not-won")) {
        sql += " where isluck = ?";
        parameters.push_back(call.args[0] == "--won" ? store::kWon : store::kNotWon);
    } else if (!call.args.empty()) {
        return usageError("list takes --won or --not-won");
    }
    sql += " order by id";
    store::DbConnection connection;
    if (!openDatabase(connection, call.dbPath))
        return kExitFailure;
    auto result = connection.Execute(sql, parameters);
    if (!result)
        return fail(connection.error());
    while (!result->EndOfFile()) {
        std::printf("%s\t%s\t%s\t%s\n", result->Field(0).c_str(), result->Field(1).c_str(), result->Field(2).c_str(),
                    result->Field(3).c_str());
        if (!result->MoveNext())
            return fail(result->error());
    }
    return 0;
}

int commandStats(const Invocation& call)
{
    if (!call.args.empty())
        return usageError("stats takes no arguments");
    store::DbConnection connection;
    if (!openDatabase(connection, call.dbPath))
        return kExitFailure;
    store::Counts counts;
    if (!store::CountParticipants(connection, counts))
        return fail(connection.error());
    std::printf("all\t%lld\nwon\t%lld\nnot won\t%lld\n", counts.all, counts.won, counts.notWon);
    return 0;
}

int commandReset(const Invocation& call)
{
    if (!call.args.empty())
        return usageError("reset takes no arguments");
    store::DbConnection connection;
    if (!openDatabase(connection, call.dbPath))
        return kExitFailure;
    if (!store::ResetWinners(connection))
        return fail(connection.error());
    std::printf("%d winners made eligible again\n", connection.changes());
    return 0;
}

int commandDraw(const Invocation& call)
{
    long long n = 0;
    if (call.args.size() != 1 || !parseInteger(call.args[0], n))
        return usageError("draw needs the number of winners");
    store::DbConnection connection;
    if (!openDatabase(connection, call.dbPath))
        return kExitFailure;
    store::RandomSource random;
    const store::DrawResult result = store::DrawWinners(connection, n, random);
    switch (result.status) {
    case store::DrawStatus::Done:
        for (const store::Participant& winner : result.winners)
            std::printf("%s\t%s\n", winner.name.c_str(), winner.number.c_str());
        // The marks are already committed; a lost list must not look like success.
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            return fail("the winners were marked but could not be written out; see list --won");
        return 0;
    case store::DrawStatus::NobodyLeft:
        std::fprintf(stderr, "没有找到相关信息！\n");
        return kExitFailure;
    case store::DrawStatus::CountOutOfRange:
        if (n < 1)
            return fail("the number of winners must be at least 1; nobody was marked");
        return fail("cannot draw " + std::to_string(n) + " winners: only " + std::to_string(result.available) +
                    " participants have not won yet; nobody was marked");
    case store::DrawStatus::DatabaseError:
        break;
    }
    return fail(result.error + "; nobody was marked");
}

bool parseArguments(int argc, char** argv, Invocation& call, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--db") {
            if (i + 1 >= argc) {
                error = "--db needs a path";
                return false;
            }
            call.dbPath = argv[++i];
        } else if (call.command.empty()) {
            call.command = arg;
        } else {
            call.args.push_back(arg);
        }
    }
    if (call.command.empty()) {
        error = "no command given";
        return false;
    }
    if (call.dbPath.empty())
        call.dbPath = folders::databasePath();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Invocation call;
    std::string error;
    if (!parseArguments(argc, argv, call, error))
        return usageError(error);
    if (call.command == "--help" || call.command == "-h" || call.command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        if (call.command == "create")
            return commandCreate(call);
        if (call.command == "import")
            return commandImport(call);
        if (call.command == "list")
            return commandList(call);
        if (call.command == "stats")
            return commandStats(call);
        if (call.command == "reset")
            return commandReset(call);
        if (call.command == "draw")
            return commandDraw(call);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    return usageError("unknown command '" + call.command + "'");
}
