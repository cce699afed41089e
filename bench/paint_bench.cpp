// A paint of a window-sized button with its icon, as the window does it on
// every repaint (the icon file is loaded afresh each time): the surface
// cleared and the whole button drawn.
//   make bench      or      build/bench/sortia-paint-bench

#include <fstream>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "controls/lumenbutton/lumen_button.h"
#include "image_inputs.h"

namespace {

constexpr int kWindowWidth = 1016, kWindowHeight = 714;  // the main window's client size
constexpr int kIconSize = 48;

void paintButton(benchmark::State& state, const QString& iconPath, bool withIcon)
{
    LumenButton button;
    button.resize(kWindowWidth, kWindowHeight);
    button.InitProperties();
    button.hoverTimer().stop();
    button.setCaption(QStringLiteral("开奖!"));
    button.setTheme(LumenButton::Frost);
    button.setIconSource(iconPath);
    button.setIcon(withIcon);
    for (auto _ : state) {
        button.clearSurface();
        button.DrawButton();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString iconPath = folder.filePath("icon.png");
    const bench::Bytes icon = bench::encodePng(bench::icon(kIconSize, 0), {});
    std::ofstream(iconPath.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(icon.data()), std::streamsize(icon.size()));
    benchmark::RegisterBenchmark("paint/button-window-icon/ours", [&](benchmark::State& state) {
        paintButton(state, iconPath, true);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("paint/button-window-icon/no-icon", [&](benchmark::State& state) {
        paintButton(state, iconPath, false);
    })->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
