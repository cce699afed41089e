// Input of the themed button: events, their order and arguments, the flags
// they set, the Enabled gate and the hover poll.

#include <QApplication>
#include <QtTest>

#include "controls/lumenbutton/lumen_button.h"

namespace {

struct EventLog {
    QStringList events;
    QStringList moves;  // kept apart: the platform may add moves to any sequence
    void attach(LumenButton& b)
    {
        QObject::connect(&b, &LumenButton::Click, [this] { events << "Click"; });
        QObject::connect(&b, &LumenButton::DoubleClick, [this] { events << "DoubleClick"; });
        QObject::connect(&b, &LumenButton::KeyDown,
                         [this](std::int16_t& k, std::int16_t& s) { events << QString("KeyDown %1 %2").arg(k).arg(s); });
        QObject::connect(&b, &LumenButton::KeyUp,
                         [this](std::int16_t& k, std::int16_t& s) { events << QString("KeyUp %1 %2").arg(k).arg(s); });
        QObject::connect(&b, &LumenButton::KeyPress, [this](std::int16_t& k) { events << QString("KeyPress %1").arg(k); });
        QObject::connect(&b, &LumenButton::MouseDown, [this](std::int16_t& bt, std::int16_t&, float& x, float& y) {
            events << QString("MouseDown %1 %2 %3").arg(bt).arg(x).arg(y);
        });
        QObject::connect(&b, &LumenButton::MouseUp, [this](std::int16_t& bt, std::int16_t&, float&, float&) {
            events << QString("MouseUp %1").arg(bt);
        });
        QObject::connect(&b, &LumenButton::MouseMove, [this](std::int16_t& bt, std::int16_t&, float& x, float& y) {
            moves << QString("MouseMove %1 %2 %3").arg(bt).arg(x).arg(y);
        });
        QObject::connect(&b, &LumenButton::MouseEnters,
                         [this](std::int32_t x, std::int32_t y) { events << QString("MouseEnters %1 %2").arg(x).arg(y); });
        QObject::connect(&b, &LumenButton::MouseLeaves,
                         [this](std::int32_t x, std::int32_t y) { events << QString("MouseLeaves %1 %2").arg(x).arg(y); });
    }
};

}  // namespace

class LumenButtonInputTest : public QObject {
    Q_OBJECT
private:
    void makeButton(LumenButton& button)
    {
        button.resize(80, 24);
        button.InitProperties();
        button.hoverTimer().stop();  // the poll is driven by hand below
    }
    // The button 4, 3 into its shown parent, so that input can come through
    // the window system.
    bool showHosted(LumenButton& button)
    {
        makeButton(button);
        button.move(4, 3);
        button.parentWidget()->show();
        return QTest::qWaitForWindowExposed(button.parentWidget());
    }

private slots:
    void spaceShowsThePressedLookWithoutClick()
    {
        LumenButton button;
        makeButton(button);
        EventLog log;
        log.attach(button);
        QTest::keyPress(&button, Qt::Key_Space);
        QVERIFY(button.Pressed());
        QTest::keyRelease(&button, Qt::Key_Space);
        QVERIFY(!button.Pressed());
        QCOMPARE(log.events, (QStringList{"KeyDown 32 0", "KeyPress 32", "KeyUp 32 0"}));
    }

    void enterRaisesKeyPressThenClick()
    {
        LumenButton button;
        makeButton(button);
        EventLog log;
        log.attach(button);
        QTest::keyPress(&button, Qt::Key_Return);
        QVERIFY(!button.Pressed());
        QCOMPARE(log.events, (QStringList{"KeyDown 13 0", "KeyPress 13", "Click"}));
    }

    void hostThatClearsKeyCodeSuppressesThePressedLook()
    {
        LumenButton button;
        makeButton(button);
        QObject::connect(&button, &LumenButton::KeyDown, [](std::int16_t& k, std::int16_t&) { k = 0; });
        QTest::keyPress(&button, Qt::Key_Space);
        QVERIFY(!button.Pressed());
    }

    void hostThatClearsKeyAsciiSuppressesTheClick()
    {
        LumenButton button;
        makeButton(button);
        int clicks = 0;
        QObject::connect(&button, &LumenButton::KeyPress, [](std::int16_t& k) { k = 0; });
        QObject::connect(&button, &LumenButton::Click, [&] { ++clicks; });
        QTest::keyPress(&button, Qt::Key_Return);
        QCOMPARE(clicks, 0);
    }

    void leftButtonPressesAndClicks()
    {
        LumenButton button;
        makeButton(button);
        EventLog log;
        log.attach(button);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 5));
        QVERIFY(button.Pressed());
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 5));
        QVERIFY(!button.Pressed());
        QCOMPARE(log.events, (QStringList{"MouseDown 1 10 5", "MouseUp 1", "Click"}));
    }

    // The platform's double click: press, release, double click, release.
    // One Click, from the first release; the second press is the double click.
    void doubleClickGivesOneClick()
    {
        QWidget host;
        LumenButton button(&host);
        QVERIFY(showHosted(button));
        EventLog log;
        log.attach(button);
        QTest::mouseDClick(host.windowHandle(), Qt::LeftButton, {}, QPoint(14, 8));
        QCOMPARE(log.events,
                 (QStringList{"MouseDown 1 10 5", "MouseUp 1", "Click", "DoubleClick", "MouseUp 1"}));
        QVERIFY(!button.Pressed());
        // The next single click clicks again.
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 5), 600);
        QCOMPARE(log.events.count("Click"), 2);
    }

    void everyMoveOverTheButtonRaisesMouseMove()
    {
        QWidget host;
        LumenButton button(&host);
        QVERIFY(showHosted(button));
        EventLog log;
        log.attach(button);
        QTest::mouseMove(host.windowHandle(), QPoint(24, 10));
        QTest::mouseMove(host.windowHandle(), QPoint(34, 12));
        QCOMPARE(log.moves, (QStringList{"MouseMove 0 20 7", "MouseMove 0 30 9"}));
    }

    // A held key: one press, repeats, one release.
    void heldKeyClicksAtMostOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Enter") << int(Qt::Key_Return) << QStringLiteral("\r") << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << QStringLiteral("\r") << 1;
        QTest::newRow("Space") << int(Qt::Key_Space) << QStringLiteral(" ") << 0;
    }
    void heldKeyClicksAtMostOnce()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, clicks);
        LumenButton button;
        makeButton(button);
        EventLog log;
        log.attach(button);
        for (int i = 0; i < 18; ++i) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, i > 0);
            QApplication::sendEvent(&button, &press);
        }
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&button, &release);
        QCOMPARE(int(log.events.count("Click")), clicks);
        QVERIFY(!button.Pressed());
    }

    // Where the window system cannot mark repeats, a held key arrives as
    // release and press pairs with one time stamp each: still one click.
    void heldEnterWithUnmarkedRepeatsClicksOnce()
    {
        LumenButton button;
        makeButton(button);
        int clicks = 0;
        QObject::connect(&button, &LumenButton::Click, [&] { ++clicks; });
        auto send = [&](QEvent::Type type, ulong time) {
            QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            event.setTimestamp(time);
            QApplication::sendEvent(&button, &event);
        };
        send(QEvent::KeyPress, 1000);
        for (ulong t = 1500; t < 2500; t += 40) {
            send(QEvent::KeyRelease, t);
            send(QEvent::KeyPress, t);
        }
        send(QEvent::KeyRelease, 2600);
        QCOMPARE(clicks, 1);
        // A real second press, a moment later, clicks again.
        send(QEvent::KeyPress, 2750);
        QCOMPARE(clicks, 2);
    }

    void rightButtonNeverPresses()
    {
        LumenButton button;
        makeButton(button);
        EventLog log;
        log.attach(button);
        QTest::mousePress(&button, Qt::RightButton, {}, QPoint(3, 3));
        QVERIFY(!button.Pressed());
        QTest::mouseRelease(&button, Qt::RightButton, {}, QPoint(3, 3));
        QCOMPARE(log.events, (QStringList{"MouseDown 2 3 3", "MouseUp 2"}));
    }

    void hostThatChangesTheButtonPreventsThePressedLook()
    {
        LumenButton button;
        makeButton(button);
        QObject::connect(&button, &LumenButton::MouseDown,
                         [](std::int16_t& b, std::int16_t&, float&, float&) { b = 2; });
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!button.Pressed());
    }

    void disabledButtonIgnoresInput()
    {
        LumenButton button;
        makeButton(button);
        button.setEnabled(false);
        EventLog log;
        log.attach(button);
        const int paints = button.paintCount();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::keyPress(&button, Qt::Key_Return);
        QTest::keyPress(&button, Qt::Key_Space);
        QFocusEvent focusIn(QEvent::FocusIn);
        QApplication::sendEvent(&button, &focusIn);
        button.setWindowFromPoint([&](const QPoint&) { return &button; });
        button.setCursorPos([] { return QPoint(1, 1); });
        QMetaObject::invokeMethod(&button.hoverTimer(), "timeout", Qt::DirectConnection);
        QVERIFY(log.events.isEmpty());
        QVERIFY(!button.Pressed() && !button.Focused() && !button.Hovering());
        QCOMPARE(button.paintCount(), paints);
    }

    void disabledWhilePressedKeepsPressed()
    {
        LumenButton button;
        makeButton(button);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(3, 3));
        button.setEnabled(false);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(button.Pressed());
    }

    void focusSetsTheFlagAndRepaintsOnce()
    {
        LumenButton button;
        makeButton(button);
        const int paints = button.paintCount();
        QFocusEvent focusIn(QEvent::FocusIn);
        QApplication::sendEvent(&button, &focusIn);
        QVERIFY(button.Focused());
        QCOMPARE(button.paintCount(), paints + 1);
        QFocusEvent focusOut(QEvent::FocusOut);
        QApplication::sendEvent(&button, &focusOut);
        QVERIFY(!button.Focused());
    }

    void hoverPollEntersAndLeavesOnce()
    {
        LumenButton button;
        makeButton(button);
        QWidget child(&button);
        QWidget other;
        EventLog log;
        log.attach(button);
        QWidget* under = &button;
        QPoint cursor(100, 200);
        button.setWindowFromPoint([&](const QPoint&) { return under; });
        button.setCursorPos([&] { return cursor; });
        auto poll = [&] { QMetaObject::invokeMethod(&button.hoverTimer(), "timeout", Qt::DirectConnection); };

        const int paints = button.paintCount();
        poll();
        poll();
        QVERIFY(button.Hovering());
        QCOMPARE(button.paintCount(), paints + 1);
        // A child lying over the button is not the button.
        under = &child;
        cursor = QPoint(101, 201);
        poll();
        QVERIFY(!button.Hovering());
        under = &other;
        poll();
        QCOMPARE(log.events, (QStringList{"MouseEnters 100 200", "MouseLeaves 101 201"}));
        QVERIFY(button.hoverTimer().isActive());
    }

    void terminationClearsFlagsAndStopsThePoll()
    {
        LumenButton button;
        makeButton(button);
        button.hoverTimer().start();
        button.setStateForTest(true, true, true);
        button.Terminate();
        QVERIFY(!button.Pressed() && !button.Hovering() && !button.Focused());
        QVERIFY(!button.hoverTimer().isActive());
    }
};

QTEST_MAIN(LumenButtonInputTest)
#include "lumen_button_input_test.moc"
