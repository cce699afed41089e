// What a projector asks of the display: the draw button painted at device
// resolution (scales 1, 1.5 and 2, with its icon and caption as the window
// has them), one frame of the rolling display in full screen at
// 1920 x 1080 and 3840 x 2160, and what a roll costs the machine there as a
// share of one core, the console alone and with the audience view over it.
// Every frame must stay within the 16 ms of a 60 Hz display: besides the
// mean, each benchmark reports its slowest run.
//   make bench      or      build/bench/sortia-display-bench

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include "app/audience_screens.h"
#include "app/audience_view.h"
#include "app/conn.h"
#include "app/form1.h"
#include "app/startup.h"
#include "controls/lumenbutton/lumen_button.h"
#include "store/participants.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program's folder of the source tree: the real pictures and icons.
const QString kSourceImages = QStringLiteral(SORTIA_SOURCE_DIR "/images");

double cpuMs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double threadCpuMs()
{
    return cpuMs(CLOCK_THREAD_CPUTIME_ID);
}

// How long a roll runs for one measurement of its cost.
constexpr int kRollMs = 4000;

// Times each run of body and reports the slowest: by the clock (which counts
// whatever else the machine runs meanwhile) and by this thread's own time.
template <typename Body>
void timeRuns(benchmark::State& state, Body body)
{
    double slowest = 0, slowestCpu = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double cpuStart = threadCpuMs();
        body();
        slowestCpu = std::max(slowestCpu, threadCpuMs() - cpuStart);
        slowest = std::max(slowest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    state.counters["max_ms"] = slowest;
    state.counters["max_cpu_ms"] = slowestCpu;
}

// The draw button as the window sets it up: 217 x 49, Glass, an outlined
// caption in 宋体 26.25 pt, the gift icon.
void buttonPaint(benchmark::State& state, double scale)
{
    LumenButton button;
    button.resize(int(217 * scale + 0.5), int(49 * scale + 0.5));
    button.InitProperties();
    button.hoverTimer().stop();
    button.setDisplayScale(scale);
    button.setCaption(QStringLiteral("   开奖!"));
    button.setTheme(LumenButton::Glass);
    button.setCaptionEffect(LumenButton::Outline);
    button.setCaptionEffectColor(gdi::RGB(255, 255, 255));
    auto font = std::make_shared<gdi::LogFont>();
    font->faceName = QStringLiteral("宋体");
    font->pointSize = 26.25;
    font->charSet = 134;
    button.setFont(font);
    button.setIconSource(kSourceImages + QStringLiteral("/1.png"));
    button.setIcon(true);
    timeRuns(state, [&] {
        button.clearSurface();
        button.DrawButton();
    });
}

// A program folder with the real pictures and a thousand participants.
class ProgramFolder {
public:
    ProgramFolder()
    {
        std::filesystem::copy(kSourceImages.toStdString(), (m_dir.path() + "/images").toStdString());
        std::string error;
        const std::string db = (m_dir.path() + "/Sbase.mdb").toStdString();
        store::CreateDatabase(db, error);
        store::DbConnection connection;
        connection.OpenFile(db);
        connection.BeginTransaction();
        for (int i = 0; i < 1000; ++i)
            connection.Run("insert into sheet (user_name, user_number, isluck) values (?, ?, '否')",
                           {"参与者" + std::to_string(i) + "（工号A" + std::to_string(10000 + i) + "）",
                            std::to_string(13800000000LL + i)});
        connection.CommitTransaction();
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// The screens the benchmark's offscreen display offers, side by side.
const QSize kScreens[] = {{1920, 1080}, {3840, 2160}};

QScreen* screenOfSize(QSize size)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->geometry().size() == size)
            return screen;
    return QGuiApplication::primaryScreen();
}

// The window in full screen on the screen of that size, rolling.
std::unique_ptr<form1> rollingWindow(const ProgramFolder& folder, QSize screen, bool byHand = true)
{
    conn::OpenDatabase(folder.path() + "/Sbase.mdb", QString(), QString());
    auto window = std::make_unique<form1>(folder.path());
    window->Form_Load();
    window->move(screenOfSize(screen)->geometry().topLeft());
    window->show();
    window->windowHandle()->setScreen(screenOfSize(screen));
    window->toggleFullScreen();
    window->Combo1->setCurrentIndex(0);
    window->DrawOrStop();
    if (byHand)
        window->Timer1->stop();  // the ticks are driven by the benchmark
    QApplication::processEvents();
    return window;
}

// One tick: the next participant in the large display, repainted at once,
// as the screen shows it.
void rollingTick(benchmark::State& state, QSize screen)
{
    ProgramFolder folder;
    auto window = rollingWindow(folder, screen);
    timeRuns(state, [&] { window->RollStep(); });
    state.SetLabel(QStringLiteral("%1x%2, scale %3").arg(screen.width()).arg(screen.height())
                       .arg(window->layoutScale(), 0, 'f', 3).toStdString());
    window.reset();
    conn::DbConnection.reset();
}

// The whole screen drawn anew during rolling: every control, the picture and
// every button painted for the device pixels.
void rollingFullFrame(benchmark::State& state, QSize screen)
{
    ProgramFolder folder;
    auto window = rollingWindow(folder, screen);
    QImage frame(screen, QImage::Format_ARGB32_Premultiplied);
    window->render(&frame);  // the first frame fills the caches of fonts and pictures
    timeRuns(state, [&] {
        window->RollStep();
        window->render(&frame);
    });
    state.SetLabel(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()).toStdString());
    window.reset();
    conn::DbConnection.reset();
}
// A roll left to its own clock for kRollMs, the console in full screen and,
// with `audience`, the audience view over it on the same screen: the
// process's CPU time (all its threads) as a share of one core.
void rollingCpu(benchmark::State& state, QSize screen, bool audience)
{
    ProgramFolder folder;
    auto window = rollingWindow(folder, screen, false);
    if (audience) {
        window->audienceScreens().showAtStart(int(QGuiApplication::screens().indexOf(screenOfSize(screen))));
        QApplication::processEvents();
    }
    double share = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer::singleShot(kRollMs, &loop, &QEventLoop::quit);
        const double cpuStart = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        const auto start = Clock::now();
        loop.exec();
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        share = (cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart) / wall * 100;
    }
    state.counters["pct"] = share;
    state.SetLabel(QStringLiteral("%1x%2, %3, %4 % of a core")
                       .arg(screen.width()).arg(screen.height())
                       .arg(audience ? QStringLiteral("console and audience view") : QStringLiteral("console"))
                       .arg(share, 0, 'f', 1).toStdString());
    window.reset();
    conn::DbConnection.reset();
}

// Named area/case/implementation for the table of make bench.
void registerBenchmarks()
{
    for (const double scale : {1.0, 1.5, 2.0, 3.0})
        benchmark::RegisterBenchmark(QStringLiteral("button/scale-%1/ours").arg(scale, 0, 'f', 1).toStdString().c_str(),
                                     buttonPaint, scale)
            ->Unit(benchmark::kMillisecond);
    for (const QSize& screen : kScreens) {
        const QString size = QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height());
        benchmark::RegisterBenchmark(("display/rolling-tick-" + size + "/ours").toStdString().c_str(), rollingTick,
                                     screen)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("display/full-frame-" + size + "/ours").toStdString().c_str(), rollingFullFrame,
                                     screen)
            ->Unit(benchmark::kMillisecond);
        const QString lines = QString::number(screen.height()) + QStringLiteral("p");
        for (const bool audience : {false, true})
            benchmark::RegisterBenchmark(
                ("display/rolling-cpu-" + lines + (audience ? "-audience" : "") + "/ours").toStdString().c_str(),
                rollingCpu, screen, audience)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // An offscreen display with one screen of each size.
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screens.json"));
    if (FILE* f = std::fopen(config.toLocal8Bit().constData(), "w")) {
        std::fprintf(f, "{\"screens\": [");
        int x = 0;
        for (const QSize& size : kScreens) {
            std::fprintf(f, "%s{\"name\": \"s%d\", \"x\": %d, \"y\": 0, \"width\": %d, \"height\": %d, "
                            "\"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}",
                         x ? ", " : "", x, x, size.width(), size.height());
            x += size.width();
        }
        std::fprintf(f, "]}\n");
        std::fclose(f);
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    startup::InstallFontSubstitutes();
    startup::CacheLargeGlyphs();
    // The audience view's switches stay out of the user's settings.
    AudienceScreens::setSettingsFile(configDir.filePath(QStringLiteral("audience.ini")));
    registerBenchmarks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
