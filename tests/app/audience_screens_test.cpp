// The audience view among several screens, on Qt's offscreen platform set
// up with three: the console's, a projector, and a sharper one at a device
// pixel ratio of 2. The view opens full screen beside the console, where it
// was wanted before, on the screen asked for; a screen plugged in is
// offered; the operator's dialogs never land on the view; its QR code
// reads back at any pixel ratio.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/audience_screens.h"
#include "app/audience_view.h"
#include "draw/draw_record.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qr_decode.h"

namespace {

QScreen* screenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

// The QR texts a phone would read from a picture of the view.
std::vector<std::string> readQr(AudienceView& view)
{
    const QImage grey = view.grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < grey.height(); ++y)
        bytes.insert(bytes.end(), grey.constScanLine(y), grey.constScanLine(y) + grey.width());
    return testqr::decode(bytes, grey.width(), grey.height());
}

AudienceState resultWithAnchor(long long drawId, const QString& digest)
{
    AudienceState state;
    state.phase = AudienceState::Phase::Result;
    state.level = QStringLiteral("一等奖");
    state.winners = {{QStringLiteral("钟丽强"), QStringLiteral("13800001234")},
                     {QStringLiteral("钟丽强"), QStringLiteral("13900005678")}};
    state.anchor = AudienceAnchor{drawId, digest, false};
    return state;
}

}  // namespace

class AudienceScreensTest : public QObject {
    Q_OBJECT
private slots:
    void choosesTheScreenBesideTheConsole_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("console");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("declined");
        QTest::addColumn<int>("chosen");
        const QStringList two = {"eDP-1", "HDMI-1"};
        const QStringList three = {"eDP-1", "HDMI-1", "DP-2"};
        QTest::newRow("one screen: none") << QStringList{"eDP-1"} << 0 << QString() << QStringList() << -1;
        QTest::newRow("two: the other") << two << 0 << QString() << QStringList() << 1;
        QTest::newRow("console on the second") << two << 1 << QString() << QStringList() << 0;
        QTest::newRow("remembered") << three << 0 << "DP-2" << QStringList() << 2;
        QTest::newRow("remembered, now the console's") << three << 2 << "DP-2" << QStringList() << 0;
        QTest::newRow("remembered, not connected") << two << 0 << "DP-2" << QStringList() << 1;
        QTest::newRow("declined") << three << 0 << QString() << QStringList{"HDMI-1"} << 2;
        QTest::newRow("all declined") << two << 0 << QString() << QStringList{"HDMI-1"} << -1;
    }
    void choosesTheScreenBesideTheConsole()
    {
        QFETCH(QStringList, names);
        QFETCH(int, console);
        QFETCH(QString, remembered);
        QFETCH(QStringList, declined);
        QFETCH(int, chosen);
        QCOMPARE(audiencescreens::Choose(names, console, remembered, declined), chosen);
    }

    void opensFullScreenWhereItBelongs_data()
    {
        QTest::addColumn<int>("requested");  // -1: none
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("messages");
        QTest::newRow("beside the console") << -1 << QString() << "projector" << 0;
        QTest::newRow("where it was wanted before") << -1 << "sharp" << "sharp" << 0;
        QTest::newRow("--audience 2") << 2 << QString() << "sharp" << 0;
        QTest::newRow("--audience 0: over the console") << 0 << QString() << "console" << 0;
        QTest::newRow("--audience 7: said, then beside") << 7 << QString() << "projector" << 1;
    }
    void opensFullScreenWhereItBelongs()
    {
        QFETCH(int, requested);
        QFETCH(QString, remembered);
        QFETCH(QString, expected);
        QFETCH(int, messages);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        if (!remembered.isEmpty())
            QSettings(folder.path() + "/audience.ini", QSettings::IniFormat)
                .setValue("audience/screens", QStringList{remembered});
        auto w = folder.start();
        w->show();
        QCOMPARE(w->screen()->name(), QStringLiteral("console"));
        w->audienceScreens().showAtStart(requested >= 0 ? std::optional<int>(requested) : std::nullopt);
        AudienceView* view = w->audienceView();
        QVERIFY(view->isVisible());
        QVERIFY(view->isFullScreen());
        QCOMPARE(view->screen()->name(), expected);
        QCOMPARE(view->geometry(), screenNamed(expected)->geometry());
        QCOMPARE(int(folder.boxes.shown.size()), messages);
        QVERIFY(view->windowTitle().contains(QStringLiteral("观众")));
        // F12 takes it away and brings it back to the same place.
        w->audienceScreens().toggle();
        QVERIFY(!view->isVisible());
        w->audienceScreens().toggle();
        QCOMPARE(view->screen()->name(), expected == "console" ? QStringLiteral("projector") : expected);
    }

    void aScreenPluggedInIsOffered_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void aScreenPluggedInIsOffered()
    {
        QFETCH(bool, yes);
        const ui::Result answer = yes ? ui::Result::Yes : ui::Result::No;
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->show();
        w->audienceScreens().showAtStart(std::nullopt);
        folder.boxes.answers = {answer};
        w->audienceScreens().offerScreen(screenNamed("sharp"));
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY(folder.boxes.shown[0].text.contains(QStringLiteral("sharp")));
        const QString now = answer == ui::Result::Yes ? "sharp" : "projector";
        QCOMPARE(w->audienceView()->screen()->name(), now);
        // The answer is kept by the screen's name: not asked again, in this window or the next.
        w->audienceScreens().offerScreen(screenNamed("sharp"));
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        w.reset();
        auto again = folder.start();
        again->show();
        again->audienceScreens().showAtStart(std::nullopt);
        QCOMPARE(again->audienceView()->screen()->name(), now);
    }

    // Over the console the view makes way for every operator dialog and is
    // told to show no rolling name meanwhile; beside it, it stays.
    void dialogsNeverLandOnTheView_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("over the console") << 0;
        QTest::newRow("on the projector") << 1;
    }
    void dialogsNeverLandOnTheView()
    {
        QFETCH(int, screen);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        ui::setMessageBoxParent(w.get());
        w->show();
        w->audienceScreens().showAtStart(screen);
        AudienceView* view = w->audienceView();
        QRect boxOn;
        bool pausedMeanwhile = false, viewShownMeanwhile = true;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            boxOn = box->frameGeometry();
            pausedMeanwhile = w->audienceState().paused;
            viewShownMeanwhile = view->isVisible();
            box->close();
        });
        ui::setMessageBoxService(nullptr);  // a real box this time
        ui::messageBox().show(QStringLiteral("请先选择等级"), QStringLiteral("Sortia"), ui::Buttons::Ok, ui::Icon::None);
        ui::setMessageBoxService(&folder.boxes);
        ui::setMessageBoxParent(nullptr);
        QVERIFY(pausedMeanwhile);
        QVERIFY(screenNamed("console")->geometry().contains(boxOn.center()));
        QCOMPARE(viewShownMeanwhile, screen != 0);
        QVERIFY(!w->audienceState().paused);
        QVERIFY(view->isVisible());
    }

    // A photo of the screen reads back the draw and its digest, at a device
    // pixel ratio of 1 and of 2.
    void theQrCodeReadsBack_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::newRow("1920x1080") << "projector";
        QTest::newRow("3840x2160 at ratio 2") << "sharp";
    }
    void theQrCodeReadsBack()
    {
        QFETCH(QString, screen);
        AudienceView view;
        view.setScreen(screenNamed(screen));
        view.setGeometry(screenNamed(screen)->geometry());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const std::string digest(64, 'c');
        view.setState(resultWithAnchor(42, QString::fromStdString(digest)));
        QCOMPARE(view.grab().devicePixelRatio(), screenNamed(screen)->devicePixelRatio());
        QCOMPARE(readQr(view), std::vector<std::string>{draw::AnchorText(42, digest)});
        QCOMPARE(view.qrText().toStdString(), "sortia-draw:42:" + digest);
    }
};

int main(int argc, char** argv)
{
    // Three screens side by side; the first is the primary one, the console's.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [
        {"name": "console", "x": 0, "y": 0, "width": 1280, "height": 800, "logicalDpi": 96, "dpr": 1, "primary": true},
        {"name": "projector", "x": 1280, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 1},
        {"name": "sharp", "x": 3200, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 2}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    AudienceScreensTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "audience_screens_test.moc"
