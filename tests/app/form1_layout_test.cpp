// The window at other sizes and its keys: the design scaled as a whole
// (positions, fonts, the grid, the picture, the buttons), full screen
// letterboxed, opening scaled down to fit, the one-key control and the
// initial focus.

#include <cmath>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionComboBox>
#include <QtTest>

#include "app/grid.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_file_dialogs.h"

namespace {

// The design in its own pixels, from its twips (15 to a pixel).
int px(int twips)
{
    return (twips + 7) / 15;
}

struct Designed {
    const char* name;
    int left, top, width, height;  // twips
};

const Designed kControls[] = {
    {"Text1", 0, 0, 8655, 825},          {"Combo1", 8760, 360, 1935, 435},
    {"txtci", 10920, 360, 615, 420},     {"LumenButton1", 11880, 75, 3255, 735},
    {"Grid2", 0, 1440, 4635, 8655},      {"LumenButton4", 0, 10080, 2415, 645},
    {"LumenButton6", 2400, 10080, 2220, 645}, {"LumenButton8", 12480, 9840, 1260, 645},
    {"LumenButton7", 13920, 9840, 1260, 645}, {"Label7", 5400, 3120, 9255, 4455},
};

// Edges scaled and rounded, then moved to the design's origin.
QRect scaled(const Designed& c, double s, QPoint origin = {})
{
    const int l = px(c.left), t = px(c.top), r = l + px(c.width), b = t + px(c.height);
    const auto e = [s](int v) { return int(std::lround(v * s)); };
    return QRect(e(l), e(t), e(r) - e(l), e(b) - e(t)).translated(origin);
}

int scaledPixels(double points, double s)
{
    return int(std::lround(int(points * 96.0 / 72.0 + 0.5) * s));
}

void sendKey(QWidget* to, int key, bool repeat = false, QEvent::Type type = QEvent::KeyPress)
{
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : key == Qt::Key_Return ? QStringLiteral("\r") : QString();
    QKeyEvent event(type, key, Qt::NoModifier, text, repeat);
    QApplication::sendEvent(to, &event);
}

}  // namespace

class Form1LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void designScalesAsAWhole_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("2") << 2.0;
        QTest::newRow("0.8, fitted to a small screen") << 0.8;
    }
    void designScalesAsAWhole()
    {
        QFETCH(double, scale);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->setWindowScale(scale);
        QCOMPARE(w->size(), QSize(int(std::lround(1016 * scale)), int(std::lround(714 * scale))));
        QCOMPARE(w->layoutScale(), scale);
        for (const Designed& c : kControls) {
            auto* widget = w->findChild<QWidget*>(QLatin1String(c.name));
            QVERIFY(widget);
            QCOMPARE(widget->geometry(), scaled(c, scale));
        }
        QCOMPARE(w->Text1->font().pixelSize(), scaledPixels(36, scale));
        QVERIFY(w->Text1->font().bold());
        QCOMPARE(w->Combo1->font().pixelSize(), scaledPixels(15.75, scale));
        QCOMPARE(w->txtci->font().pixelSize(), scaledPixels(15, scale));
        QCOMPARE(w->Label5->font().pixelSize(), scaledPixels(14.25, scale));
        QCOMPARE(w->Label8->font().pixelSize(), scaledPixels(9, scale));  // the window's own font
        QCOMPARE(w->Label5->pos(), QPoint(int(std::lround(px(120) * scale)), int(std::lround(px(1080) * scale))));
        // The grid: its font, rows and columns; it still reports its designed widths.
        QCOMPARE(w->Grid2->font().pixelSize(), scaledPixels(20, scale));
        QCOMPARE(w->Grid2->rowHeight(0), int(std::lround(35 * scale)));
        QCOMPARE(w->Grid2->columnWidth(1), int(std::lround(320 * scale)));
        QCOMPARE(w->Grid2->ColWidth(1), 320);
        // The picture and the buttons' insides.
        QCOMPARE(w->Image1->pos(), QPoint(int(std::lround(px(3300) * scale)), int(std::lround(px(700) * scale))));
        QCOMPARE(w->Image1->size(), QSize(int(std::lround(790 * scale)), int(std::lround(600 * scale))));
        QCOMPARE(w->LumenButton1->displayScale(), scale);
        QCOMPARE(w->LumenButton1->Font()->pointSize, 26.25);  // the property stays as designed
        // The level list's drop-down button grows with the design, never below
        // its own size; at 1 the list keeps the platform's look.
        QStyleOptionComboBox option;
        option.initFrom(w->Combo1);
        const auto arrowWidth = [&](const QStyle* style) {
            return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, w->Combo1).width();
        };
        const int designedArrow = arrowWidth(QApplication::style());
        QVERIFY(std::abs(arrowWidth(w->Combo1->style()) - std::max(double(designedArrow), designedArrow * scale)) <= 1);
        QCOMPARE(w->Combo1->style() == QApplication::style(), scale == 1.0);
        // The count label keeps following its text.
        w->LoadParticipants();
        QCOMPARE(w->Label4->size(), w->Label4->sizeHint());
    }

    void scaleOneAgainIsTheDesign()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        const QImage designed = w->grab().toImage();
        w->setWindowScale(2);
        w->setWindowScale(1);
        QCOMPARE(w->grab().toImage(), designed);
    }

    void fullScreenIsLetterboxed_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080: bars left and right") << QSize(1920, 1080);
        QTest::newRow("1280x1024: bars above and below") << QSize(1280, 1024);
        QTest::newRow("3840x2160") << QSize(3840, 2160);
    }
    void fullScreenIsLetterboxed()
    {
        QFETCH(QSize, screen);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->toggleFullScreen();
        QVERIFY(w->fullScreen());
        w->setGeometry(QRect(QPoint(0, 0), screen));  // as a screen of that size would make it
        const double scale = std::min(screen.width() / 1016.0, screen.height() / 714.0);
        QCOMPARE(w->layoutScale(), scale);
        const QPoint origin((screen.width() - int(std::lround(1016 * scale))) / 2,
                            (screen.height() - int(std::lround(714 * scale))) / 2);
        QCOMPARE(w->contentRect().topLeft(), origin);
        QVERIFY(origin.x() == 0 || origin.y() == 0);
        for (const Designed& c : kControls)
            QCOMPARE(w->findChild<QWidget*>(QLatin1String(c.name))->geometry(), scaled(c, scale, origin));
        QCOMPARE(w->Text1->font().pixelSize(), scaledPixels(36, scale));
        // Bars are black; nothing of the design reaches into them.
        const QImage shot = w->grab().toImage();
        const QPoint bar = origin.x() > 0 ? QPoint(origin.x() / 2, screen.height() / 2)
                                          : QPoint(screen.width() / 2, origin.y() / 2);
        QCOMPARE(shot.pixelColor(bar), QColor(Qt::black));
        const QPoint beside = origin.x() > 0 ? QPoint(w->contentRect().right() + 2, 10) : QPoint(10, 2);
        QCOMPARE(shot.pixelColor(beside), QColor(Qt::black));
        // Esc goes back to the window as designed.
        sendKey(w->txtci, Qt::Key_Escape);
        QVERIFY(!w->fullScreen());
        QCOMPARE(w->size(), QSize(1016, 714));
        QCOMPARE(w->layoutScale(), 1.0);
        QCOMPARE(w->Text1->geometry(), scaled(kControls[0], 1));
    }

    void f11TogglesFullScreen()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        sendKey(w->Combo1, Qt::Key_F11);
        QVERIFY(w->fullScreen());
        QCOMPARE(w->geometry(), w->screen()->geometry());
        sendKey(w->Combo1, Qt::Key_F11, true);  // a held key does not flip back
        QVERIFY(w->fullScreen());
        sendKey(w->Combo1, Qt::Key_F11);
        QVERIFY(!w->fullScreen());
        // Esc outside full screen is left to the controls.
        sendKey(w->Combo1, Qt::Key_Escape);
        QVERIFY(!w->fullScreen());
    }

    void opensScaledDownToFit_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<double>("scale");
        // 1280 x 800 at a desktop scale of 1.25 leaves 1024 x 610 for windows.
        QTest::newRow("1280x800 at 1.25") << QRect(0, 0, 1024, 610) << (610.0 - 40) / 714;
        QTest::newRow("a large screen keeps the design") << QRect(0, 0, 1920, 1050) << 1.0;
        QTest::newRow("narrow") << QRect(0, 0, 900, 1000) << (900.0 - 16) / 1016;
    }
    void opensScaledDownToFit()
    {
        QFETCH(QRect, available);
        QFETCH(double, scale);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->fitInto(available);
        QCOMPARE(w->windowScale(), scale);
        QVERIFY(w->width() + 16 <= available.width());
        QVERIFY(w->height() + 40 <= available.height());
    }

    void focusStartsOnTheCountBox()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(QApplication::focusWidget(), w->txtci);
        // Typing replaces the count.
        QTest::keyClicks(w->txtci, "3");
        QCOMPARE(w->txtci->text(), QStringLiteral("3"));
    }

    // Space and the page keys start and stop the draw wherever the focus is;
    // a held key counts once.
    void drawKeysStartAndStop_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus");
        QTest::newRow("Space on the level selector") << int(Qt::Key_Space) << "Combo1";
        QTest::newRow("Space on the draw button") << int(Qt::Key_Space) << "LumenButton1";
        QTest::newRow("Space on the winners table") << int(Qt::Key_Space) << "Grid2";
        QTest::newRow("Space in the untouched count box") << int(Qt::Key_Space) << "txtci";
        QTest::newRow("Page Down in the count box") << int(Qt::Key_PageDown) << "txtci";
        QTest::newRow("Page Up on the exit button") << int(Qt::Key_PageUp) << "LumenButton7";
        QTest::newRow("Enter in the count box") << int(Qt::Key_Return) << "txtci";
    }
    void drawKeysStartAndStop()
    {
        QFETCH(int, key);
        QFETCH(QString, focus);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(30));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        auto* target = w->findChild<QWidget*>(focus);
        sendKey(target, key);
        QVERIFY(w->Rolling());
        for (int i = 0; i < 20; ++i)
            sendKey(target, key, true);
        sendKey(target, key, false, QEvent::KeyRelease);
        QVERIFY(w->Rolling());
        QCOMPARE(folder.wonCount(), 0);
        sendKey(target, key);
        QVERIFY(!w->Rolling());
        QCOMPARE(folder.wonCount(), 1);
        QCOMPARE(w->Grid2->Rows(), 2);
        // The key went to the draw, not to the control.
        QCOMPARE(w->Combo1->currentIndex(), 0);
        QVERIFY(!w->LumenButton1->Pressed());
    }

    // A held page key from a remote on a window system that cannot mark
    // repeats: release and press pairs with one time stamp. One start only.
    void heldPageKeyWithUnmarkedRepeatsStartsOnce()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(30));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        auto send = [&](QEvent::Type type, ulong time) {
            QKeyEvent event(type, Qt::Key_PageDown, Qt::NoModifier);
            event.setTimestamp(time);
            QApplication::sendEvent(w->Combo1, &event);
        };
        send(QEvent::KeyPress, 1000);
        for (ulong t = 1500; t < 2700; t += 40) {
            send(QEvent::KeyRelease, t);
            send(QEvent::KeyPress, t);
        }
        send(QEvent::KeyRelease, 2800);
        QVERIFY(w->Rolling());
        QCOMPARE(folder.wonCount(), 0);
        send(QEvent::KeyPress, 3200);
        QVERIFY(!w->Rolling());
        QCOMPARE(folder.wonCount(), 1);
    }

    // A remote's two page keys pressed in quick succession: the second is a
    // fresh press of another key, not a repeat of the first.
    void anotherKeyRightAfterARelease_data()
    {
        QTest::addColumn<int>("second");
        QTest::addColumn<bool>("acts");
        QTest::newRow("Page Up after Page Down") << int(Qt::Key_PageUp) << true;
        QTest::newRow("Page Down again: a repeat") << int(Qt::Key_PageDown) << false;
    }
    void anotherKeyRightAfterARelease()
    {
        QFETCH(int, second);
        QFETCH(bool, acts);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(30));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        auto send = [&](QEvent::Type type, int key, ulong time) {
            QKeyEvent event(type, key, Qt::NoModifier);
            event.setTimestamp(time);
            QApplication::sendEvent(w->Combo1, &event);
        };
        send(QEvent::KeyPress, Qt::Key_PageDown, 1000);
        send(QEvent::KeyRelease, Qt::Key_PageDown, 1200);
        QVERIFY(w->Rolling());
        send(QEvent::KeyPress, second, 1205);
        QCOMPARE(w->Rolling(), !acts);
    }

    // Enter goes through the draw command with its checks.
    void enterInTheCountBoxChecksTheCount()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        sendKey(w->txtci, Qt::Key_Return);
        QCOMPARE(folder.boxes.texts(), QStringList{"请先选择等级"});
        QVERIFY(!w->Rolling());
    }

    // The window's command keys act whatever control has the focus, also
    // the count box, which holds it from the start: a text box must not
    // take them as editing keys.
    void commandKeysActFromEveryControl_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("key");
        for (const char* focus : {"txtci", "Text1", "Combo1", "Grid2"}) {
            QTest::addRow("Ctrl+E in %s", focus) << focus << "exportDrawAction" << (Qt::CTRL | Qt::Key_E).toCombined();
            QTest::addRow("Ctrl+Shift+E in %s", focus)
                << focus << "exportAllAction" << (Qt::CTRL | Qt::SHIFT | Qt::Key_E).toCombined();
            QTest::addRow("Ctrl+H in %s", focus) << focus << "historyAction" << (Qt::CTRL | Qt::Key_H).toCombined();
            QTest::addRow("Ctrl+I in %s", focus) << focus << "importAction" << (Qt::CTRL | Qt::Key_I).toCombined();
        }
    }
    void commandKeysActFromEveryControl()
    {
        QFETCH(QString, focus);
        QFETCH(QString, action);
        QFETCH(int, key);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        FakeFileDialogs dialogs;  // every file dialog is cancelled
        auto w = folder.start();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto* target = w->findChild<QWidget*>(focus);
        QVERIFY(target);
        target->setFocus();
        auto* command = w->findChild<QAction*>(action);
        QVERIFY(command);
        QSignalSpy triggered(command, &QAction::triggered);
        const QString before = w->txtci->text();
        QTest::keyClick(target, Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(w->txtci->text(), before);
    }

    // Once the operator types into a text box, Space is a character there.
    void spaceInATextBoxBeingTypedIsTyped_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("count box") << "txtci";
        QTest::newRow("large display") << "Text1";
    }
    void spaceInATextBoxBeingTypedIsTyped()
    {
        QFETCH(QString, box);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        auto* edit = w->findChild<QLineEdit*>(box);
        edit->clear();
        QTest::keyClicks(edit, "2");
        sendKey(edit, Qt::Key_Space);
        QVERIFY(!w->Rolling());
        QCOMPARE(edit->text(), QStringLiteral("2 "));
        // Enter in the count box starts the draw and ends the typing: Space stops it.
        if (edit == w->txtci) {
            edit->setText("2");
            sendKey(edit, Qt::Key_Return);
            QVERIFY(w->Rolling());
            sendKey(edit, Qt::Key_Space);
            QVERIFY(!w->Rolling());
            QCOMPARE(folder.wonCount(), 2);
        }
    }
};

QTEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
