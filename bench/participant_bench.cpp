// A large participant list in the window and in the store, at 10k, 100k and
// 1M participants on an SQLite file in a temporary folder:
//   list/N-load     the window's list load after another program changed the
//                   table (ours) against a bare select of the same rows
//   list/N-tick     one step of the rolling display
//   list/N-memory   what the held list takes (counter MB)
//   draw/N-stop-K   a stop with K winners, from the press until the window
//                   answers again (ours), against marking K rows spread
//                   over the table, as winners are, in one transaction
//                   through SQLite alone
//   import/N-csv, import/N-xlsx   a list file into a new database
//   startup/N-first-paint   from opening the database to the first paint of
//                   the window, as the program starts

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>

#include "app/conn.h"
#include "app/form1.h"
#include "app/startup.h"
#include "bench_support.h"
#include "import/participant_import.h"

namespace {

namespace fs = std::filesystem;

const fs::path& scratch()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("sortia-participant-bench-" + std::to_string(getpid()));
        fs::create_directories(path / "images");
        QImage bg(790, 600, QImage::Format_RGB32);
        bg.fill(Qt::darkBlue);
        bg.save(QString::fromStdString((path / "images" / "bg1.jpg").string()), "JPG");
        return path;
    }();
    return folder;
}

std::string label(long count)
{
    return count >= 1000000 ? std::to_string(count / 1000000) + "M" : std::to_string(count / 1000) + "k";
}

// Runs SQL on the file through a connection of its own: another program.
void byAnother(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", sql, message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

// The window on a database of `count` participants, made once per size.
struct Scene {
    explicit Scene(long count) : path((scratch() / ("Sbase-" + label(count) + ".mdb")).string()), size(count)
    {
        fs::remove(path);
        bench::fillParticipants(path, count);
        fs::copy_file(path, scratch() / "Sbase.mdb", fs::copy_options::overwrite_existing);
        conn::OpenDatabase(QString::fromStdString((scratch() / "Sbase.mdb").string()), QString(), QString());
        window = std::make_unique<form1>(QString::fromStdString(scratch().string()));
        window->Form_Load();
        window->Combo1->setCurrentIndex(0);
    }
    std::string dbPath() const { return (scratch() / "Sbase.mdb").string(); }
    // Makes every participant eligible again, when fewer than `needed` are.
    void keepEligible(long needed)
    {
        if (long(window->List().size()) < needed + 1)
            byAnother(dbPath(), "update sheet set isluck = '否'");
    }

    std::string path;
    long size;
    std::unique_ptr<form1> window;
};

// Kept until main ends it, while the application still exists.
std::unique_ptr<Scene> current;

Scene& scene(long count)
{
    if (!current || current->size != count) {
        current.reset();
        conn::DbConnection.reset();
        current = std::make_unique<Scene>(count);
    }
    return *current;
}

void listLoadOurs(benchmark::State& state, long count)
{
    Scene& s = scene(count);
    for (auto _ : state) {
        state.PauseTiming();
        byAnother(s.dbPath(), "update sheet set user_name = 'changed ' || random() where id = 1");
        state.ResumeTiming();
        s.window->LoadParticipants();
    }
    state.counters["rows"] = double(s.window->List().size());
    state.counters["reads"] = double(s.window->List().reads());
}

// The same read into the store's list alone, without the window.
void listLoadStore(benchmark::State& state, long count)
{
    Scene& s = scene(count);
    draw::ParticipantList list;
    for (auto _ : state) {
        state.PauseTiming();
        byAnother(s.dbPath(), "update sheet set user_name = 'changed ' || random() where id = 1");
        state.ResumeTiming();
        draw::RefreshNotWon(*conn::DbConnection, list);
    }
}

void listLoadSelect(benchmark::State& state, long count)
{
    Scene& s = scene(count);
    sqlite3* db = nullptr;
    sqlite3_open_v2(s.dbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, store::kSelectNotWon, -1, &statement, nullptr);
        std::size_t bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            // Each field in the form it is stored in: the id as a number.
            for (int field = 0; field < 3; ++field) {
                if (sqlite3_column_type(statement, field) == SQLITE_INTEGER) {
                    bytes += std::size_t(sqlite3_column_int64(statement, field));
                    continue;
                }
                benchmark::DoNotOptimize(sqlite3_column_text(statement, field));
                bytes += std::size_t(sqlite3_column_bytes(statement, field));
            }
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_close(db);
}

void listTick(benchmark::State& state, long count)
{
    Scene& s = scene(count);
    s.window->LoadParticipants();
    for (auto _ : state)
        s.window->RollStep();
}

void listMemory(benchmark::State& state, long count)
{
    Scene& s = scene(count);
    for (auto _ : state)
        s.window->LoadParticipants();
    state.counters["MB"] = double(s.window->List().bytesHeld()) / 1e6;
}

void stopOurs(benchmark::State& state, long count, long winners)
{
    Scene& s = scene(count);
    s.window->txtci->setText(QString::number(winners));
    for (auto _ : state) {
        state.PauseTiming();
        s.keepEligible(winners);
        s.window->DrawOrStop();  // starts rolling
        state.ResumeTiming();
        s.window->DrawOrStop();
        QApplication::processEvents();
    }
}

// The floor: marking that many rows by id in one transaction (set back
// between runs, so that every run changes them). The rows are spread over the
// table as a draw's winners are: each lies on a page of its own, which the
// file's journal keeps a copy of before it is changed.
void stopSqlite(benchmark::State& state, long count, long winners)
{
    Scene& s = scene(count);
    sqlite3* db = nullptr;
    sqlite3_open(s.dbPath().c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* mark = nullptr;
    sqlite3_prepare_v2(db, "update sheet set isluck = ? where id = ?", -1, &mark, nullptr);
    const auto setFlags = [&](const char* flag, long first) {
        sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr);
        for (long k = 0; k < winners; ++k) {
            sqlite3_bind_text(mark, 1, flag, -1, SQLITE_STATIC);
            sqlite3_bind_int64(mark, 2, (first + k * (count / winners)) % count + 1);
            sqlite3_step(mark);
            sqlite3_reset(mark);
        }
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    };
    long first = 0;
    for (auto _ : state) {
        setFlags("是", first);
        state.PauseTiming();
        setFlags("否", first);
        ++first;
        state.ResumeTiming();
    }
    sqlite3_finalize(mark);
    sqlite3_close(db);
}

std::string nameOf(long i)
{
    return "参与者" + std::to_string(i);
}

void writeCsv(const std::string& path, long count)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fputs("user_name,user_number,isluck\n", out);
    for (long i = 0; i < count; ++i)
        std::fprintf(out, "%s,%ld,否\n", nameOf(i).c_str(), 13800000000L + i);
    std::fclose(out);
}

void writeXlsx(const std::string& path, long count)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    worksheet_write_string(sheet, 0, 0, "user_name", nullptr);
    worksheet_write_string(sheet, 0, 1, "user_number", nullptr);
    for (long i = 0; i < count; ++i) {
        worksheet_write_string(sheet, lxw_row_t(i + 1), 0, nameOf(i).c_str(), nullptr);
        worksheet_write_number(sheet, lxw_row_t(i + 1), 1, double(13800000000L + i), nullptr);
    }
    workbook_close(workbook);
}

void importInto(benchmark::State& state, long count, const char* kind, void (*write)(const std::string&, long))
{
    const std::string file = (scratch() / ("list-" + label(count) + "." + kind)).string();
    if (!fs::exists(file))
        write(file, count);
    const std::string db = (scratch() / "import.mdb").string();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(db);
        std::string error;
        store::CreateDatabase(db, error);
        store::DbConnection connection;
        connection.OpenFile(db);
        state.ResumeTiming();
        const importer::ImportReport report = importer::importFile(connection, file, {});
        if (report.imported != std::size_t(count))
            state.SkipWithError(importer::summaryText(report).c_str());
    }
}

// Watches a window's first paint pass: it has ended when an event other
// than a paint follows the first paint (the count queued by the window's
// paint is such an event).
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, const QElapsedTimer& clock) : m_window(window), m_clock(clock)
    {
        qApp->installEventFilter(this);
    }
    ~FirstPaint() override { qApp->removeEventFilter(this); }
    bool painted() const { return m_paintedAt >= 0; }
    // On the clock given.
    double paintedSeconds() const { return double(m_paintedAt) / 1e9; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        const bool paint = event->type() == QEvent::Paint && object->isWidgetType() &&
                           static_cast<QWidget*>(object)->window() == m_window;
        if (paint)
            m_painting = true;
        else if (m_painting && m_paintedAt < 0)
            m_paintedAt = m_clock.nsecsElapsed();
        return false;
    }

private:
    QWidget* m_window;
    const QElapsedTimer& m_clock;
    bool m_painting = false;
    qint64 m_paintedAt = -1;
};

// What the program does from main() on: opens the database (with its checks),
// makes the window, loads it and shows it, until its first paint pass has
// ended. The count of those not won yet follows the paint; the time until it
// is shown is a counter of its own.
void startupFirstPaint(benchmark::State& state, long count)
{
    current.reset();
    conn::DbConnection.reset();
    const fs::path folder = scratch() / "startup";
    const std::string db = (folder / "Sbase.mdb").string();
    if (!fs::exists(db)) {
        fs::create_directories(folder);
        fs::copy(scratch() / "images", folder / "images");
        bench::fillParticipants(db, count);
    }
    const QString app = QString::fromStdString(folder.string());
    double counted = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        conn::OpenDatabase(QString::fromStdString(db), QString(), QString());
        auto window = std::make_unique<form1>(app);
        window->Form_Load();
        auto watch = std::make_unique<FirstPaint>(window.get(), clock);
        window->show();
        while (!watch->painted() && clock.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        QApplication::processEvents();  // the count, queued by the paint
        counted += double(clock.nsecsElapsed()) / 1e6;
        if (!watch->painted()) {
            state.SkipWithError("the window was not painted within 10 seconds");
            break;
        }
        state.SetIterationTime(watch->paintedSeconds());
        watch.reset();
        window.reset();
        conn::DbConnection.reset();
    }
    state.counters["counted_ms"] = counted / double(state.iterations());
}

// One run per name, its sizes in the name (area/case/implementation) rather
// than as arguments, so that the table pairs ours with the references.
template <typename Body>
void add(const std::string& name, int iterations, benchmark::TimeUnit unit, Body body)
{
    auto* run = benchmark::RegisterBenchmark(name.c_str(), body)->Unit(unit)->UseRealTime();
    if (iterations > 0)
        run->Iterations(iterations);
}

// Sizes in the order the scenes are made, so each is filled once.
void registerAll()
{
    using benchmark::kMicrosecond;
    using benchmark::kMillisecond;
    for (long count : {10000L, 100000L, 1000000L}) {
        const std::string n = label(count);
        const int few = count >= 1000000 ? 3 : 10;
        add("list/" + n + "-load/ours", few, kMillisecond, [count](auto& st) { listLoadOurs(st, count); });
        add("list/" + n + "-load/ours-store", few, kMillisecond, [count](auto& st) { listLoadStore(st, count); });
        add("list/" + n + "-load/select", few, kMillisecond, [count](auto& st) { listLoadSelect(st, count); });
        add("list/" + n + "-tick/ours", 0, kMicrosecond, [count](auto& st) { listTick(st, count); });
        add("list/" + n + "-memory/ours", 1, kMillisecond, [count](auto& st) { listMemory(st, count); });
        for (long winners : {1L, 100L, 1000L}) {
            const std::string c = "draw/" + n + "-stop-" + std::to_string(winners);
            add(c + "/ours", few, kMillisecond, [=](auto& st) { stopOurs(st, count, winners); });
            add(c + "/sqlite", few, kMillisecond, [=](auto& st) { stopSqlite(st, count, winners); });
        }
    }
    for (long count : {10000L, 100000L, 1000000L}) {
        const std::string n = label(count);
        add("import/" + n + "-csv/ours", 1, kMillisecond, [count](auto& st) { importInto(st, count, "csv", writeCsv); });
        add("import/" + n + "-xlsx/ours", 1, kMillisecond,
            [count](auto& st) { importInto(st, count, "xlsx", writeXlsx); });
    }
    // Last: it closes the scenes' window and connection.
    benchmark::RegisterBenchmark("startup/1M-first-paint/ours", [](auto& st) { startupFirstPaint(st, 1000000); })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(5);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    startup::InstallFontSubstitutes();
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    current.reset();
    conn::DbConnection.reset();
    std::error_code ec;
    fs::remove_all(scratch(), ec);
    return 0;
}
