// The window and its audience view: the one state the view is given at each
// step of a draw and a void, the console's level and anchor lines, the last
// draw shown again after a restart, the masking switches and title kept,
// the keys from either window, and the level list opening below its box.

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "app/audience_screens.h"
#include "app/audience_view.h"
#include "app/draw_view.h"
#include "app/grid.h"
#include "tests/app/app_fixture.h"

namespace {

void sendKey(QWidget* to, int key)
{
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::NoModifier, text);
        QApplication::sendEvent(to, &event);
    }
}

void drawWinners(form1& w, int level, int count)
{
    w.Combo1->setCurrentIndex(level);
    w.txtci->setText(QString::number(count));
    w.DrawOrStop();
    w.DrawOrStop();
}

}  // namespace

class Form1AudienceTest : public QObject {
    Q_OBJECT
private slots:
    void theRoomSeesTheDrawFromOneState_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("grand");
        QTest::newRow("一等奖") << 1 << false;
        QTest::newRow("特等奖, the highest") << 0 << true;
    }
    void theRoomSeesTheDrawFromOneState()
    {
        QFETCH(int, level);
        QFETCH(bool, grand);
        using Phase = AudienceState::Phase;
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10, 2));
        auto w = folder.start();
        const AudienceState& room = w->audienceState();
        QCOMPARE(room.phase, Phase::Idle);
        // The count follows the window's first paint.
        QVERIFY(!room.remaining);
        w->show();
        QTRY_COMPARE(room.remaining, std::optional<long long>(8));
        w->Combo1->setCurrentIndex(level);
        QCOMPARE(room.level, w->Combo1->currentText());
        QCOMPARE(room.grand, grand);
        QVERIFY(w->LevelLabel->text().contains(w->Combo1->currentText()));

        w->txtci->setText(QStringLiteral("3"));
        w->DrawOrStop();
        QCOMPARE(room.phase, Phase::Rolling);
        QVERIFY(room.winners.empty() && !room.anchor);
        w->Timer1->stop();  // steps by hand
        w->RollStep();
        QCOMPARE(room.rolling.size(), std::size_t(1));
        QCOMPARE(room.rolling[0].name, w->Text1->text());

        w->Timer1->start();
        w->DrawOrStop();
        QCOMPARE(room.phase, Phase::Result);
        QVERIFY(room.rolling.empty());
        QCOMPARE(room.remaining, std::optional<long long>(5));
        QCOMPARE(room.grand, grand);
        // The winners as the window lists them, each with the number that tells namesakes apart.
        QCOMPARE(room.winners.size(), std::size_t(3));
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(room.winners[std::size_t(row - 1)].name, w->Grid2->TextMatrix(row, 1));
            QCOMPARE(room.winners[std::size_t(row - 1)].number, w->Grid2->TextMatrix(row, 2));
        }
        // The anchor: the draw and its digest, in the QR code and on the console alike.
        const draw::DrawRecord& record = *w->ShownDraw();
        QVERIFY(room.anchor);
        QCOMPARE(room.anchor->drawId, record.id);
        QCOMPARE(room.anchor->digest.toStdString(), record.digest);
        QCOMPARE(w->audienceView()->qrText().toStdString(), draw::AnchorText(record.id, record.digest));
        QVERIFY(w->AnchorLabel->text().contains(QString::fromStdString(record.digest.substr(0, 16))));
    }

    void aVoidRollsShortlyThenShowsTheReplacement()
    {
        using Phase = AudienceState::Phase;
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        auto w = folder.start();
        drawWinners(*w, 2, 3);
        folder.boxes.answers = {ui::Result::Yes};
        w->VoidWinner(2);
        const AudienceState& room = w->audienceState();
        QCOMPARE(room.phase, Phase::Replacing);
        QTRY_COMPARE_WITH_TIMEOUT(room.phase, Phase::Result, 10000);
        const draw::DrawVoid& entry = w->ShownDraw()->voids.back();
        QCOMPARE(room.winners.size(), std::size_t(3));
        QVERIFY(room.winners[1].replacement);
        QCOMPARE(room.winners[1].name.toStdString(), entry.replacement.name.value_or(""));
        QVERIFY(!room.winners[0].replacement && !room.winners[2].replacement);
        QCOMPARE(room.anchor->digest.toStdString(), entry.digest);
        QVERIFY(room.anchor->afterVoid);
        QCOMPARE(w->audienceView()->qrText().toStdString(), draw::AnchorText(w->ShownDraw()->id, entry.digest));
        QVERIFY(w->AnchorLabel->text().contains(QString::fromStdString(entry.digest.substr(0, 16))));
    }

    // A crash, a power cut or a click on 退出 after a draw: the next start
    // shows that draw, and an absent winner can still be voided.
    void theLastDrawSurvivesARestart()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        auto w = folder.start();
        drawWinners(*w, 1, 3);
        folder.boxes.answers = {ui::Result::Yes};
        w->VoidWinner(1);
        const draw::DrawRecord before = *w->ShownDraw();
        w.reset();

        auto again = folder.start();
        QVERIFY(again->ShownDraw());
        QCOMPARE(again->ShownDraw()->id, before.id);
        QCOMPARE(again->Grid2->Rows(), 5);  // three winners and the void
        QCOMPARE(again->Grid2->TextMatrix(1, 1).toStdString(), before.voids[0].replacement.name.value_or(""));
        QCOMPARE(again->Label5->text(), QStringLiteral("本次中奖 3 人"));
        QCOMPARE(again->audienceState().phase, AudienceState::Phase::Result);
        QCOMPARE(again->audienceState().anchor->digest.toStdString(), before.voids[0].digest);
        folder.boxes.answers = {ui::Result::Yes};
        again->VoidWinner(3);
        QCOMPARE(again->ShownDraw()->voids.size(), std::size_t(2));
        QCOMPARE(folder.wonCount(), 5);
    }

    void maskingAndTitleAreKept()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        const AudiencePerson person{QStringLiteral("欧阳娜娜"), QStringLiteral("13812345678")};
        auto w = folder.start();
        AudienceView* view = w->audienceView();
        QVERIFY(view->shownName(person) != person.name && view->shownNumber(person) != person.number);
        w->findChild<QAction*>(QStringLiteral("maskNamesAction"))->trigger();
        QCOMPARE(view->shownName(person), person.name);
        QVERIFY(view->shownNumber(person) != person.number);
        w->setEventTitle(QStringLiteral("  2025 年会  "));
        QCOMPARE(w->audienceState().eventTitle, QStringLiteral("2025 年会"));
        w.reset();

        auto again = folder.start();
        QCOMPARE(again->audienceView()->shownName(person), person.name);
        QVERIFY(again->audienceView()->shownNumber(person) != person.number);
        QVERIFY(!again->findChild<QAction*>(QStringLiteral("maskNamesAction"))->isChecked());
        QVERIFY(again->findChild<QAction*>(QStringLiteral("maskNumbersAction"))->isChecked());
        QCOMPARE(again->audienceState().eventTitle, QStringLiteral("2025 年会"));
    }

    // With one screen F12 puts the view over the console; the draw keys act
    // from it, and neither Esc nor a close takes it away during a roll.
    void keysActFromEitherWindow()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(120));
        auto w = folder.start();
        w->show();
        AudienceView* view = w->audienceView();
        sendKey(w->txtci, Qt::Key_F12);
        QVERIFY(view->isVisible());
        QVERIFY(w->audienceScreens().coversConsole());
        w->Combo1->setCurrentIndex(3);
        sendKey(view, Qt::Key_Space);
        QVERIFY(w->Rolling());
        sendKey(view, Qt::Key_Escape);
        view->close();
        QVERIFY(view->isVisible());
        w->txtci->setText(QStringLiteral("100"));
        sendKey(view, Qt::Key_Return);
        QVERIFY(!w->Rolling());
        QCOMPARE(w->ShownDraw()->winners.size(), std::size_t(100));
        // A hundred do not fit at a readable size on a small screen: pages, turned by key.
        view->resize(1024, 768);
        const int pages = view->pageCount();
        QVERIFY(pages > 1);
        sendKey(view, Qt::Key_Right);
        QCOMPARE(view->page(), 1);
        sendKey(view, Qt::Key_Left);
        QCOMPARE(view->page(), 0);
        sendKey(view, Qt::Key_Escape);
        QVERIFY(!view->isVisible());
    }

    // Closing the console ends the program as it always has, the view shown or not.
    void closingTheConsoleEndsTheProgram()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->show();
        w->audienceScreens().toggle();
        QVERIFY(w->audienceView()->isVisible());
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, w.get(), [&] { w->close(); });
        // Should the view keep the program alive, the loop is ended otherwise.
        QTimer keptAlive;
        keptAlive.setSingleShot(true);
        QObject::connect(&keptAlive, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        keptAlive.start(10000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(lastClosed.count(), 1);
    }

    void theLevelListOpensBelowItsBox()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->Combo1->setCurrentIndex(2);
        w->Combo1->showPopup();
        QWidget* popup = w->Combo1->view()->window();
        QVERIFY(popup->isVisible());
        QVERIFY(popup->geometry().top() >= w->Combo1->mapToGlobal(QPoint(0, w->Combo1->height())).y());
        w->Combo1->hidePopup();
        QCOMPARE(w->Combo1->currentIndex(), 2);
    }
};

QTEST_MAIN(Form1AudienceTest)
#include "form1_audience_test.moc"
