// sortia-db: creates, fills, inspects and resets the participant database,
// and draws winners exactly as the window does.

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/folders/program_folders.h"
#include "platform/language/language.h"
#include "store/connection.h"
#include "store/data_source.h"
#include "import/access_child.h"
#include "import/database_import.h"
#include "import/participant_import.h"
#include "store/participants.h"
#include "store/settings_file.h"
#include "tools/demo_participants.h"
#include "tools/record_commands.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr long long kMaxDemo = 1000000;
constexpr long long kMaxWaitSeconds = 3600;

std::string usage()
{
    return lang::tr(
        "usage: sortia-db [--db PATH] COMMAND\n"
        "  create [--demo N]       make a new database (with N made-up participants)\n"
        "  import FILE             add participants from a CSV (UTF-8 or GB18030), XLSX or Access file\n"
        "  import-mdb FILE.mdb [--table T] [--name COL] [--number COL]\n"
        "                          the same from a table of an Access file (default: sheet,\n"
        "                          user_name, user_number; isluck is kept when the table has it)\n"
        "  list [--won|--not-won]  print id, user_name, user_number, isluck\n"
        "  stats                   count all, won and not-won participants\n"
        "  reset                   make every winner eligible again (recorded)\n"
        "  draw N [--level TEXT] [--prize TEXT] [--group RULE] [--public TEXT]\n"
        "                          draw N winners, mark and record them, print them; the\n"
        "                          commitment to the organiser seed is shown first (--public -\n"
        "                          then reads the public input from the standard input)\n"
        "  draw --next|--round R [--public TEXT]   draw the next (or a given) round of the plan\n"
        "  draw --announced ID --public TEXT       draw from an announcement\n"
        "  void DRAW POSITION [--reason TEXT] [--public TEXT]\n"
        "                          void a winner of the last draw and draw a replacement\n"
        "  relabel DRAW --level TEXT [--prize TEXT] --reason TEXT   correct a draw's level\n"
        "  announce --source TEXT (--level L --count N | --round R) [--prize P]\n"
        "           [--notice FILE.txt|FILE.pdf] [--list FILE]\n"
        "                          freeze the eligible list for a draw decided by a public value\n"
        "  plan | plan import FILE | plan export FILE   the prize plan (CSV or XLSX)\n"
        "  history [DRAW_ID]       list the recorded draws, or the winners of one\n"
        "  verify [DRAW_ID] [--against DRAW:HEX ...]\n"
        "                          check the record (against anchors written down before)\n"
        "  anchor                  print the newest entry's anchor (as its QR code shows it)\n"
        "  export [DRAW_ID] FILE [--masked]\n"
        "                          write the winners to FILE.csv or FILE.xlsx (--masked: names\n"
        "                          and numbers as published, 张*丰 and 138****5678)\n"
        "  evidence DRAW_ID FOLDER [--masked] [--event TEXT]\n"
        "                          write the draw's evidence pack: certificate.pdf, entries.json,\n"
        "                          eligible.csv and verify.html, which checks the draw offline\n"
        "  copy FROM TO            copy participants and draws to a new or empty database\n"
        "                          (both data sources given; --db is not used)\n"
        "The database defaults to what sortia.ini beside this program names, else to Sbase.mdb\n"
        "beside it; an installed copy keeps it in the user's data folder ($XDG_DATA_HOME/sortia,\n"
        "by default ~/.local/share/sortia).\n"
        "PATH is a file, or a PostgreSQL database: postgresql://user@host/dbname\n"
        "--wait SECONDS sets how long to wait for another program's lock on it (default 8).\n"
        "list, stats, plan, history, verify, anchor, export and evidence also work on a database that cannot be\n"
        "changed.\n",
        "用法：sortia-db [--db 路径] 命令\n"
        "  create [--demo N]       新建数据库（可带 N 个虚构的参与者）\n"
        "  import 文件             从 CSV（UTF-8 或 GB18030）、XLSX 或 Access 文件添加参与者\n"
        "  import-mdb 文件.mdb [--table 表] [--name 列] [--number 列]\n"
        "                          从 Access 文件的某个表添加参与者（默认：sheet、\n"
        "                          user_name、user_number；表中有 isluck 时保留它）\n"
        "  list [--won|--not-won]  列出 id、user_name、user_number、isluck\n"
        "  stats                   统计全部、已中奖和未中奖的参与者\n"
        "  reset                   让所有中奖者重新参加抽奖（记入记录）\n"
        "  draw N [--level 等级] [--prize 奖品] [--group 规则] [--public 公开输入]\n"
        "                          抽出 N 名中奖者，标记并记录，再列出他们；先显示组织者种子的\n"
        "                          承诺值（--public - 则随后从标准输入读取公开输入）\n"
        "  draw --next|--round 轮次 [--public 公开输入]   抽奖项计划的下一轮（或指定轮次）\n"
        "  draw --announced 公告编号 --public 公开输入    按公告抽奖\n"
        "  void 抽奖编号 名次 [--reason 原因] [--public 公开输入]\n"
        "                          作废最后一次抽奖的某名中奖者并补抽\n"
        "  relabel 抽奖编号 --level 等级 [--prize 奖品] --reason 原因   更正某次抽奖的等级\n"
        "  announce --source 来源 (--level 等级 --count 人数 | --round 轮次) [--prize 奖品]\n"
        "           [--notice 文件.txt|文件.pdf] [--list 文件]\n"
        "                          冻结候选名单，由公开数值决定中奖者\n"
        "  plan | plan import 文件 | plan export 文件   奖项计划（CSV 或 XLSX）\n"
        "  history [抽奖编号]      列出记录的抽奖，或其中一次的中奖者\n"
        "  verify [抽奖编号] [--against 抽奖编号:摘要 ...]\n"
        "                          核对记录（并与事先记下的锚点比较）\n"
        "  anchor                  显示最新一条记录的锚点（即二维码的内容）\n"
        "  export [抽奖编号] 文件 [--masked]\n"
        "                          把中奖者写入 文件.csv 或 文件.xlsx（--masked：姓名和号码按公布的\n"
        "                          样子遮盖，如 张*丰 和 138****5678）\n"
        "  evidence 抽奖编号 文件夹 [--masked] [--event 活动名称]\n"
        "                          写出这次抽奖的证据包：certificate.pdf、entries.json、\n"
        "                          eligible.csv 和可离线核验的 verify.html\n"
        "  copy 来源 目标          把参与者和抽奖记录复制到新的或空的数据库\n"
        "                          （两个数据源都要给出；不使用 --db）\n"
        "数据库默认是本程序旁边的 sortia.ini 所指定的，否则是本程序旁边的 Sbase.mdb；\n"
        "安装后的程序把它放在用户的数据文件夹（$XDG_DATA_HOME/sortia，默认 ~/.local/share/sortia）。\n"
        "路径可以是文件，也可以是 PostgreSQL 数据库：postgresql://用户@主机/数据库名\n"
        "--wait 秒数 设定等待其他程序释放数据库锁的时间（默认 8 秒）。\n"
        "list、stats、plan、history、verify、anchor、export 和 evidence 也能用于不能修改的数据库。\n");
}

struct Invocation {
    std::string dbPath;
    int lockWaitMs = store::kDefaultLockWaitMs;
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
    std::fprintf(stderr, "sortia-db: %s\n%s", message.c_str(), usage().c_str());
    return kExitUsage;
}

// What sortia.ini beside this program names (as it does for the window),
// else the file beside the program or in the user's data folder.
std::string defaultDatabasePath(std::string& error)
{
    const store::Settings settings = store::ReadSettings(folders::programFolder());
    error = settings.error;
    if (!settings.warning.empty())
        std::fprintf(stderr, "sortia-db: %s\n", settings.warning.c_str());
    return settings.dataSource ? *settings.dataSource : folders::databasePath();
}

bool openDatabase(store::DbConnection& connection, const Invocation& call, store::Access access)
{
    connection.setLockWait(call.lockWaitMs);
    if (connection.OpenFile(call.dbPath, access))
        return true;
    fail(connection.error());
    return false;
}

bool fillDemo(const std::string& path, std::size_t count, std::string& error)
{
    std::vector<importer::ImportRow> rows;
    for (dbtool::DemoParticipant& p : dbtool::makeDemoParticipants(count))
        rows.push_back({0, std::move(p.name), std::move(p.number), store::kNotWon, {}});
    store::DbConnection connection;
    if (!connection.OpenFile(path)) {
        error = connection.error();
        return false;
    }
    return importer::insertParticipants(connection, rows, error);
}

int commandCreate(const Invocation& call)
{
    long long demo = 0;
    if (call.args.size() == 2 && call.args[0] == "--demo") {
        if (!dbrecord::ParseInteger(call.args[1], demo) || demo < 0 || demo > kMaxDemo)
            return usageError(lang::trf("--demo needs a count from 0 to %1", "--demo 需要 0 到 %1 之间的数目",
                                        {std::to_string(kMaxDemo)}));
    } else if (!call.args.empty()) {
        return usageError(lang::tr("create takes only --demo N", "create 只接受 --demo N"));
    }
    std::string error;
    if (!store::CreateDatabase(call.dbPath, error))
        return fail(error);
    const std::string shown = store::RedactedDataSource(call.dbPath);
    if (!fillDemo(call.dbPath, std::size_t(demo), error)) {
        // A half-made database would be taken for a real one next time.
        std::string ignored;
        store::UndoCreateDatabase(call.dbPath, ignored);
        return fail(lang::trf("cannot fill '%1': %2", "无法填写“%1”：%2", {shown, error}));
    }
    std::printf("%s\n", lang::trf("created %1 with %2 participants", "已创建 %1，其中有 %2 名参与者",
                                  {shown, std::to_string(demo)})
                           .c_str());
    return 0;
}

// Shows how far a long import has come on a terminal; quiet for short ones
// and when the messages go to a file.
class TerminalProgress {
public:
    bool operator()(const importer::Progress& progress)
    {
        using namespace std::chrono;
        if (!m_terminal || steady_clock::now() - m_start < milliseconds(500))
            return true;
        using Stage = importer::Progress::Stage;
        std::string stage = progress.stage == Stage::Reading    ? lang::tr("reading", "读取中")
                            : progress.stage == Stage::Waiting  ? lang::tr("waiting for another program's lock",
                                                                           "等待另一个程序释放锁")
                            : progress.stage == Stage::Checking ? lang::tr("checking", "核对中")
                                                                : lang::tr("writing", "写入中");
        // A lock wait's share of its limit is no progress: it is shown as going on.
        if (progress.total > 0 && progress.stage != Stage::Waiting)
            stage += " " + std::to_string(progress.done * 100 / progress.total) + "%";
        std::fprintf(stderr, "\r%s\033[K", stage.c_str());
        m_shown = true;
        return true;
    }
    ~TerminalProgress()
    {
        if (m_shown)
            std::fprintf(stderr, "\r\033[K");
    }

private:
    bool m_terminal = isatty(STDERR_FILENO) == 1;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

int reportImport(const std::string& path, const importer::ImportReport& report)
{
    if (report.status == importer::ImportStatus::Imported) {
        std::printf("%s\n", importer::summaryText(report).c_str());
        return 0;
    }
    // The importer keeps the first few problems by line and counts the rest.
    for (const importer::Problem& problem : report.problems) {
        const std::string where = problem.line ? path + ":" + std::to_string(problem.line) : path;
        std::fprintf(stderr, "%s: %s\n", where.c_str(), problem.message.c_str());
    }
    if (report.problemCount > report.problems.size())
        std::fprintf(stderr, "%s\n",
                     lang::trf("... and %1 more problems", "……另有 %1 处问题",
                               {std::to_string(report.problemCount - report.problems.size())})
                         .c_str());
    if (report.status != importer::ImportStatus::Refused)
        return fail(importer::summaryText(report));
    const std::string columns = importer::describeColumns(report.columns);
    if (!columns.empty())
        std::fprintf(stderr, "%s\n", lang::trf("columns read: %1", "读取的列：%1", {columns}).c_str());
    return fail(lang::trf("nothing was imported from '%1'", "未从“%1”导入任何数据", {path}));
}

int runImport(const Invocation& call, const std::string& path, const importer::ImportRequest& request)
{
    store::DbConnection connection;
    if (!openDatabase(connection, call, store::Access::Change))
        return kExitFailure;
    importer::ImportReport report;
    {
        TerminalProgress progress;  // its line is cleared before the report
        report = importer::importFile(connection, path, request,
                                      [&progress](const importer::Progress& p) { return progress(p); });
    }
    return reportImport(path, report);
}

int commandImport(const Invocation& call)
{
    if (call.args.size() != 1)
        return usageError(lang::tr("import needs one file", "import 需要一个文件"));
    return runImport(call, call.args[0], {});
}

int commandImportMdb(const Invocation& call)
{
    importer::ImportRequest request;
    request.format = importer::FileFormat::Access;
    std::string path;
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        const std::string& arg = call.args[i];
        std::vector<std::string>* names = arg == "--name"     ? &request.access.columns.name
                                          : arg == "--number" ? &request.access.columns.number
                                                              : nullptr;
        const bool option = names || arg == "--table";
        if (option && i + 1 < call.args.size() && !call.args[i + 1].empty()) {
            // A column given replaces the names looked for by default.
            if (names)
                *names = {call.args[++i]};
            else
                request.access.table = call.args[++i];
        } else if (option || !path.empty() || arg.rfind("--", 0) == 0) {
            return usageError(lang::trf("import-mdb does not understand '%1'", "import-mdb 不理解“%1”", {arg}));
        } else {
            path = arg;
        }
    }
    if (path.empty())
        return usageError(lang::tr("import-mdb needs an Access file", "import-mdb 需要一个 Access 文件"));
    return runImport(call, path, request);
}

int commandList(const Invocation& call)
{
    std::string sql = "select id, user_name, user_number, isluck from sheet";
    std::vector<std::string> parameters;
    if (call.args.size() == 1 && (call.args[0] == "--won" || call.args[0] == "--not-won")) {
        sql += " where isluck = ?";
        parameters.push_back(call.args[0] == "--won" ? store::kWon : store::kNotWon);
    } else if (!call.args.empty()) {
        return usageError(lang::tr("list takes --won or --not-won", "list 只接受 --won 或 --not-won"));
    }
    sql += " order by id";
    store::DbConnection connection;
    if (!openDatabase(connection, call, store::Access::Read))
        return kExitFailure;
    auto result = connection.Execute(sql, parameters);
    if (!result)
        return fail(connection.error());
    while (!result->EndOfFile()) {
        std::printf("%s\t%s\t%s\t%s\n", result->Field(0).c_str(), dbrecord::EscapeField(result->Field(1)).c_str(),
                    dbrecord::EscapeField(result->Field(2)).c_str(), result->Field(3).c_str());
        if (!result->MoveNext())
            return fail(result->error());
    }
    return 0;
}

int commandStats(const Invocation& call)
{
    if (!call.args.empty())
        return usageError(lang::tr("stats takes no arguments", "stats 不接受参数"));
    store::DbConnection connection;
    if (!openDatabase(connection, call, store::Access::Read))
        return kExitFailure;
    store::Counts counts;
    if (!store::CountParticipants(connection, counts))
        return fail(connection.error());
    std::printf("all\t%lld\nwon\t%lld\nnot won\t%lld\n", counts.all, counts.won, counts.notWon);
    // Only a database that another program filled has such rows; say so where it matters.
    if (counts.neverDrawn > 0) {
        std::printf("never drawn\t%lld\n", counts.neverDrawn);
        std::fprintf(stderr, "%s\n",
                     lang::trf("%1 participants have an isluck other than 是 or 否 and are never drawn; "
                               "set it to 否 to let them take part",
                               "%1 名参与者的 isluck 既不是“是”也不是“否”，永远不会被抽中；"
                               "把它改为“否”即可让他们参加抽奖",
                               {std::to_string(counts.neverDrawn)})
                         .c_str());
    }
    return 0;
}

bool parseArguments(int argc, char** argv, Invocation& call, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--db") {
            if (i + 1 >= argc) {
                error = lang::tr("--db needs a path", "--db 需要一个路径");
                return false;
            }
            call.dbPath = argv[++i];
        } else if (arg == "--wait") {
            long long seconds = -1;
            if (i + 1 >= argc || !dbrecord::ParseInteger(argv[i + 1], seconds) || seconds < 0 || seconds > kMaxWaitSeconds) {
                error = lang::trf("--wait needs a number of seconds from 0 to %1", "--wait 需要 0 到 %1 之间的秒数",
                                  {std::to_string(kMaxWaitSeconds)});
                return false;
            }
            ++i;
            call.lockWaitMs = int(seconds * 1000);
        } else if (call.command.empty()) {
            call.command = arg;
        } else {
            call.args.push_back(arg);
        }
    }
    if (call.command.empty()) {
        error = lang::tr("no command given", "没有给出命令");
        return false;
    }
    if (call.dbPath.empty())
        call.dbPath = defaultDatabasePath(error);
    return error.empty();
}

}  // namespace

int main(int argc, char** argv)
{
    // The window and this tool read Access files through this same program
    // in a child process (see import/access_child.h).
    if (argc >= 2 && std::string(argv[1]) == importer::kAccessChildCommand)
        return importer::serveAccessRead(STDIN_FILENO, STDOUT_FILENO, std::vector<std::string>(argv + 2, argv + argc));
    Invocation call;
    std::string error;
    if (!parseArguments(argc, argv, call, error))
        return usageError(error);
    if (call.command == "--help" || call.command == "-h" || call.command == "help") {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    try {
        if (call.command == "create")
            return commandCreate(call);
        if (call.command == "import")
            return commandImport(call);
        if (call.command == "import-mdb")
            return commandImportMdb(call);
        if (call.command == "list")
            return commandList(call);
        if (call.command == "stats")
            return commandStats(call);
        const dbrecord::Call recordCall{call.dbPath, call.lockWaitMs, call.args, fail, usageError};
        const std::pair<const char*, int (*)(const dbrecord::Call&)> recordCommands[] = {
            {"reset", dbrecord::Reset},     {"draw", dbrecord::Draw},         {"void", dbrecord::Void},
            {"relabel", dbrecord::Relabel}, {"announce", dbrecord::Announce}, {"plan", dbrecord::Plan},
            {"history", dbrecord::History}, {"verify", dbrecord::Verify},     {"anchor", dbrecord::Anchor},
            {"export", dbrecord::Export},   {"copy", dbrecord::Copy},         {"evidence", dbrecord::Evidence},
        };
        for (const auto& [name, command] : recordCommands)
            if (call.command == name)
                return command(recordCall);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    return usageError(lang::trf("unknown command '%1'", "未知命令“%1”", {call.command}));
}
