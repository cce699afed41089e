// How the window copes with a very large participant list: loading it, the
// rolling display, and a stop. Run by hand:
//   build/bench/sortia-list-bench [participants]   (default 1000000)

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>

#include "app/conn.h"
#include "app/form1.h"
#include "app/grid.h"
#include "app/startup.h"
#include "bench_support.h"

using bench::Clock;
using bench::msSince;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    startup::InstallFontSubstitutes();

    QTemporaryDir dir;
    const QString folder = dir.path();
    std::filesystem::create_directories((folder + "/images").toStdString());
    QImage bg(790, 600, QImage::Format_RGB32);
    bg.fill(Qt::darkBlue);
    bg.save(folder + "/images/bg1.jpg", "JPG");

    auto start = Clock::now();
    bench::fillParticipants((folder + "/Sbase.mdb").toStdString(), count);
    std::printf("fill %ld participants: %.0f ms\n", count, msSince(start));

    conn::OpenDatabase(folder + "/Sbase.mdb", QString(), QString());
    form1 window(folder);
    window.Form_Load();
    window.show();

    start = Clock::now();
    window.LoadParticipants();
    std::printf("load list: %.0f ms (%d rows)\n", msSince(start), window.Grid1->Rows() - 1);

    const int ticks = 20000;
    start = Clock::now();
    for (int i = 0; i < ticks; ++i)
        window.RollStep();
    std::printf("rolling step: %.1f us per tick\n", msSince(start) * 1000.0 / ticks);

    window.Combo1->setCurrentIndex(0);
    window.txtci->setText("100");
    window.DrawOrStop();
    window.Timer1->stop();
    window.Timer1->start();
    start = Clock::now();
    window.DrawOrStop();
    std::printf("stop with 100 winners (three list loads and the marks): %.0f ms\n", msSince(start));
    return 0;
}
