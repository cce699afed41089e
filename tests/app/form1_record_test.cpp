// The window and the draw record: what the audience sees (the start of a
// long value, every winner reachable), marking whatever the numbers hold,
// another program marking during a stop, voiding an absent winner, export,
// printing again any earlier draw, and the preview's close button.

#include <thread>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <sqlite3.h>

#include "app/grid.h"
#include "app/history_dialog.h"
#include "app/printing.h"
#include "platform/language/language.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_file_dialogs.h"

namespace {

void drawWinners(form1& w, int level, int count)
{
    w.Combo1->setCurrentIndex(level);
    w.txtci->setText(QString::number(count));
    w.DrawOrStop();
    w.DrawOrStop();
}

void runSql(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    const QString text = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(text));
}

// Records what would have been printed.
struct PrintoutCatcher {
    PrintoutCatcher()
    {
        printing::setPreviewHandler([this](QPrinter&, const printing::WinnerPrintout& printout,
                                           const std::function<void(QPrinter&)>&) {
            seen.push_back(printout);
            return QString();
        });
    }
    ~PrintoutCatcher() { printing::setPreviewHandler(nullptr); }
    std::vector<printing::WinnerPrintout> seen;
};

}  // namespace

class Form1RecordTest : public QObject {
    Q_OBJECT
private slots:
    void init() { lang::setUiLanguage(lang::Language::Chinese); }
    void cleanup() { lang::resetUiLanguage(); }

    void theDisplayShowsTheStartOfALongValue()
    {
        AppFolder folder;
        const std::string name = "场部张三丰（工号A10086）与他的一位非常长的名字的同事";
        folder.createDatabase({{name, "N1", "否"}});
        auto w = folder.start();
        w->show();
        drawWinners(*w, 0, 1);
        QCOMPARE(w->Text1->text(), QString::fromStdString(name));
        QCOMPARE(w->Text1->cursorPosition(), 0);
        w->RollStep();
        QCOMPARE(w->Text1->cursorPosition(), 0);
    }

    void everyWinnerCanBeReachedWithoutChangingTheLook()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(40));
        auto w = folder.start();
        w->show();
        drawWinners(*w, 1, 10);
        QVERIFY(!w->Grid2->verticalScrollBar()->isVisible());
        drawWinners(*w, 1, 25);
        QCoreApplication::processEvents();
        QCOMPARE(w->Grid2->Rows(), 26);
        QVERIFY(w->Grid2->verticalScrollBar()->isVisible());
        QVERIFY(!w->Grid2->horizontalScrollBar()->isVisible());
        QCOMPARE(w->Grid2->geometry(), QRect(0, 96, 309, 577));
        const QModelIndex last = w->Grid2->model()->index(25, 1);
        w->Grid2->scrollTo(last);
        const QRect shown = w->Grid2->visualRect(last);
        QVERIFY(shown.top() >= 0 && shown.bottom() <= w->Grid2->viewport()->height());
    }

    void winnersAreMarkedWhateverTheirNumbersHold()
    {
        AppFolder folder;
        runSql(folder.dbPath(), "create table sheet (id integer primary key, user_name text, user_number,"
                                " isluck text);"
                                "insert into sheet values (1, 'int', 13800000001, '否'),"
                                " (2, 'gbk', cast(X'B2E2CAD4' as text), '否'), (3, 'null', NULL, '否'),"
                                " (4, 'empty', '', 'x');");
        auto w = folder.start();
        drawWinners(*w, 0, 3);
        QCOMPARE(folder.flags(), (std::vector<std::string>{"是", "是", "是", "x"}));
        QCOMPARE(folder.boxes.texts(), QStringList{"没有找到相关信息！"} << "没有找到相关信息！");
        QCOMPARE(w->ShownDraw()->winners.size(), std::size_t(3));
    }

    // Another program marks all but one participant after the stop's list
    // was loaded and before its marks: the window must not pick any of them.
    void anotherProgramMarkingDuringTheStopWinsNobodyTwice()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(6));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(folder.dbPath().toUtf8().constData(), &other), SQLITE_OK);
        // Its commit waits for the window's brief read locks instead of failing
        // at the first one and leaving the window locked out.
        sqlite3_busy_timeout(other, 5000);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE; update sheet set isluck = '是' where id <> 4;", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        // The window reads the old list at once, then waits for this lock.
        std::thread releaser([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        w->DrawOrStop();
        releaser.join();
        sqlite3_close(other);
        QVERIFY(folder.exitCodes.empty());
        QVERIFY(w->ShownDraw());
        QCOMPARE(w->ShownDraw()->winners.size(), std::size_t(1));
        QCOMPARE(w->ShownDraw()->winners[0].id, std::int64_t(4));
        QCOMPARE(w->Grid2->TextMatrix(1, 1), QStringLiteral("name4"));
        QCOMPARE(folder.wonCount(), 6);
    }

    void aListWhoseIdsCannotNameRowsIsRefusedAtTheStop()
    {
        AppFolder folder;
        runSql(folder.dbPath(), "create table sheet (id text, user_name text, user_number text, isluck text);"
                                "insert into sheet values ('b7', 'x', '1', '否'), ('a7', 'y', '2', '否');");
        auto w = folder.start();
        drawWinners(*w, 0, 1);
        QVERIFY(!w->Rolling());
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY2(folder.boxes.texts()[0].contains(QStringLiteral("不是整数")), qPrintable(folder.boxes.texts()[0]));
        QCOMPARE(folder.wonCount(), 0);
        QVERIFY(!w->ShownDraw());
    }

    void anAbsentWinnerIsVoidedAndReplacedAfterAConfirmation()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        auto w = folder.start();
        w->show();
        drawWinners(*w, 2, 3);
        const QString voided = w->Grid2->TextMatrix(2, 1);
        const QString third = w->Grid2->TextMatrix(3, 1);

        folder.boxes.answers = {ui::Result::No};
        w->VoidWinner(2);
        QCOMPARE(folder.boxes.shown.back().buttons, ui::Buttons::YesNo);
        QCOMPARE(folder.boxes.shown.back().defaultButton, ui::Result::No);
        QVERIFY(folder.boxes.shown.back().text.contains(voided));
        QCOMPARE(w->Grid2->Rows(), 4);
        QCOMPARE(folder.wonCount(), 3);

        // The Delete key on the selected row does the same.
        folder.boxes.answers = {ui::Result::Yes};
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Grid2->setFocus();
        w->Grid2->setCurrentIndex(w->Grid2->model()->index(2, 1));
        QTest::keyClick(w->Grid2, Qt::Key_Delete);
        QCOMPARE(w->Grid2->Rows(), 5);
        const QString replacement = w->Grid2->TextMatrix(2, 1);
        QVERIFY(replacement != voided);
        QCOMPARE(w->Grid2->TextMatrix(3, 1), third);
        QCOMPARE(w->Grid2->TextMatrix(4, 1), QStringLiteral("（作废）") + voided);
        QCOMPARE(w->Text1->text(), replacement);
        QCOMPARE(w->Label5->text(), QStringLiteral("本次中奖 3 人"));
        QCOMPARE(folder.wonCount(), 4);
        QCOMPARE(w->ShownDraw()->voids.size(), std::size_t(1));
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 6 人"));

        // The printout shows the same.
        PrintoutCatcher printouts;
        w->PrintCommand();
        QCOMPARE(printouts.seen.size(), std::size_t(1));
        QCOMPARE(printouts.seen[0].rows,
                 (QStringList{w->Grid2->TextMatrix(1, 1), replacement, third, QStringLiteral("（作废）") + voided}));
        QCOMPARE(printouts.seen[0].numbers.size(), 4);
        // Paper carries the digest `verify` ends with: the void's, not the draw's own.
        const std::string newest = w->ShownDraw()->voids.back().digest;
        QVERIFY(newest != w->ShownDraw()->digest);
        QVERIFY2(printouts.seen[0].recordLine.endsWith(QString::fromStdString(newest.substr(0, 16))),
                 qPrintable(printouts.seen[0].recordLine));
    }

    void voidingIsRefusedWhenItCannotBeDone()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(6));
        auto w = folder.start();
        w->VoidWinner(1);  // no draw yet
        drawWinners(*w, 0, 2);
        w->VoidWinner(3);  // not a winner's row
        w->DrawOrStop();   // rolling
        w->VoidWinner(1);
        w->DrawOrStop();
        QCOMPARE(folder.boxes.shown.size(), std::size_t(3));
        for (const ShownBox& box : folder.boxes.shown)
            QCOMPARE(box.buttons, ui::Buttons::Ok);
        // Another program has drawn since: this is no longer the last draw.
        store::DbConnection other;
        QVERIFY(other.OpenFile(folder.dbPath().toStdString()));
        draw::DrawRequest request;
        request.count = 1;
        QCOMPARE(draw::RunDraw(other, request).status, draw::DrawStatus::Done);
        folder.boxes.answers = {ui::Result::Yes};
        w->VoidWinner(1);
        QVERIFY(folder.boxes.texts().last().contains(QStringLiteral("最后一次")));
        QCOMPARE(folder.wonCount(), 5);
    }

    void theMenuOffersTheRecordCommandsThenTheParticipants()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        const QList<QAction*> actions = w->WinnersMenu()->actions();
        QStringList names;
        for (QAction* action : actions)
            names << action->objectName();
        QCOMPARE(names.first(), QStringLiteral("voidAction"));
        QCOMPARE(names.last(), QStringLiteral("importAction"));
        QVERIFY(actions[actions.size() - 2]->isSeparator());
        QCOMPARE(names[names.size() - 2], QStringLiteral("participantsSection"));
        for (const char* name : {"exportDrawAction", "exportAllAction", "historyAction"})
            QVERIFY2(names.contains(QLatin1String(name)), name);
        QCOMPARE(w->Grid2->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void exportWritesTheChosenFile()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(8));
        auto w = folder.start();
        FakeFileDialogs dialogs;
        w->findChild<QAction*>(QStringLiteral("exportDrawAction"))->trigger();  // no draw yet
        QCOMPARE(dialogs.asked.size(), 0);
        drawWinners(*w, 0, 2);
        drawWinners(*w, 1, 3);
        const QString csv = folder.path() + QStringLiteral("/this.csv");
        const QString all = folder.path() + QStringLiteral("/all.csv");
        dialogs.answers = {csv, all, QString()};
        w->findChild<QAction*>(QStringLiteral("exportDrawAction"))->trigger();
        w->findChild<QAction*>(QStringLiteral("exportAllAction"))->trigger();
        w->findChild<QAction*>(QStringLiteral("exportAllAction"))->trigger();  // cancelled
        QCOMPARE(dialogs.asked.size(), 3);
        QVERIFY(dialogs.suggested[0].endsWith(QStringLiteral("中奖名单-第2次.xlsx")));
        auto lines = [](const QString& path) {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        };
        QCOMPARE(lines(csv).size(), 4);
        QCOMPARE(lines(all).size(), 6);
        QVERIFY(lines(csv)[1].startsWith(QStringLiteral("一等奖,2,")));
        QCOMPARE(folder.boxes.shown.size(), std::size_t(3));  // the refusal, then two confirmations
    }

    // The record replaced under the window (another copy put in its place):
    // the draw the window shows is no longer there, and it says so.
    void aDrawThatIsGoneIsSaidToBeGone_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("export") << false;
        QTest::newRow("print again") << true;
    }
    void aDrawThatIsGoneIsSaidToBeGone()
    {
        QFETCH(bool, print);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(8));
        auto w = folder.start();
        drawWinners(*w, 0, 2);
        runSql(folder.dbPath(), "delete from draw_winner; delete from draw_record;");
        FakeFileDialogs dialogs;
        PrintoutCatcher printouts;
        if (print)
            w->ReprintDraw(w->ShownDraw()->id);
        else
            w->ExportDraws(w->ShownDraw()->id);
        QCOMPARE(dialogs.asked.size(), 0);
        QVERIFY(printouts.seen.empty());
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QCOMPARE(folder.boxes.shown[0].text, QStringLiteral("抽奖记录中没有第 1 次抽奖。"));
    }

    void anyEarlierDrawCanBePrintedAgainFromTheHistory()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(12));
        auto w = folder.start();
        drawWinners(*w, 0, 2);
        const QStringList first = {w->Grid2->TextMatrix(1, 1), w->Grid2->TextMatrix(2, 1)};
        const std::string firstDigest = w->ShownDraw()->digest;
        drawWinners(*w, 3, 3);
        PrintoutCatcher printouts;
        // The history lists the newest first; print the oldest from it.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<HistoryDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->table()->rowCount(), 2);
            dialog->table()->selectRow(1);
            dialog->printButton()->click();
            dialog->closeButton()->click();
        });
        w->ShowHistory();
        QCOMPARE(printouts.seen.size(), std::size_t(1));
        const printing::WinnerPrintout& printout = printouts.seen[0];
        QCOMPARE(printout.title, QStringLiteral("特等奖 中奖名单"));
        QCOMPARE(printout.rows, first);
        QVERIFY2(printout.recordLine.startsWith(QStringLiteral("第 1 次抽奖")), qPrintable(printout.recordLine));
        QVERIFY(printout.recordLine.endsWith(QString::fromStdString(firstDigest.substr(0, 16))));
        // The last draw's printout names it too.
        w->PrintCommand();
        QVERIFY(printouts.seen[1].recordLine.startsWith(QStringLiteral("第 2 次抽奖")));
        QCOMPARE(printouts.seen[1].title, QStringLiteral("三等奖 中奖名单"));
    }

    void thePreviewsCloseButtonClosesIt()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        drawWinners(*w, 0, 1);
        bool closedByButton = false;
        QTimer::singleShot(50, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("关闭"))
                    button->click();
            closedByButton = !dialog->isVisible();
            if (!closedByButton)
                dialog->close();  // so that the test ends either way
        });
        w->PrintCommand();
        QVERIFY(closedByButton);
    }
};

QTEST_MAIN(Form1RecordTest)
#include "form1_record_test.moc"
