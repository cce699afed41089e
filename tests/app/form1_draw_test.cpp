// The draw as the operator runs it: the checks before a draw, rolling, the
// stop with its winners, display and reloads, the limits of the count, and
// all-or-nothing marking.

#include <set>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "app/grid.h"
#include "tests/app/app_fixture.h"

class Form1DrawTest : public QObject {
    Q_OBJECT
private:
    static void pickLevel(form1& w) { w.Combo1->setCurrentIndex(1); }

private slots:
    void noLevelIsRefusedAndARunningDrawKeepsRolling()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        w->DrawOrStop();
        QCOMPARE(folder.boxes.texts(), QStringList{"请先选择等级"});
        QCOMPARE(folder.boxes.shown[0].title, QStringLiteral("Sortia"));
        QVERIFY(!w->Rolling());
        pickLevel(*w);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        w->Combo1->setCurrentIndex(-1);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        QCOMPARE(w->LumenButton1->Caption(), QStringLiteral("   停止"));
        QCOMPARE(folder.wonCount(), 0);
    }

    void countThatIsNotANumberIsReplacedByOne()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        pickLevel(*w);
        w->txtci->setText("abc");
        w->DrawOrStop();
        QCOMPARE(folder.boxes.texts(), QStringList{"人数必须是一个数字"});
        QCOMPARE(w->txtci->text(), QStringLiteral("1"));
        QVERIFY(!w->Rolling());
    }

    void startRollsThroughTheListAndWraps()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        pickLevel(*w);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        QCOMPARE(w->LumenButton1->Caption(), QStringLiteral("   停止"));
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 3 人"));
        w->Timer1->stop();  // ticks by hand
        QStringList shown;
        for (int i = 0; i < 6; ++i) {
            w->RollStep();
            shown << w->Text1->text();
        }
        // Newest first, wrapping from the last participant to the first.
        const QStringList order = {"name3", "name2", "name1"};
        const int start = order.indexOf(shown[0]);
        QVERIFY(start >= 0);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(shown[i], order[(start + i) % 3]);
    }

    void rollingGoesOnBehindAMessageBox()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(4));
        auto w = folder.start();
        pickLevel(*w);
        w->DrawOrStop();
        // A box that stays open for a while: the timer keeps ticking meanwhile.
        int ticksWhileOpen = 0;
        class SlowBoxes : public FakeMessageBoxes {
        public:
            form1* window = nullptr;
            int* ticks = nullptr;
            ui::Result show(const QString& t, const QString& ti, ui::Buttons b, ui::Icon i, ui::Result d) override
            {
                const QString before = window->Text1->text();
                QElapsedTimer clock;
                clock.start();
                while (clock.elapsed() < 200)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                *ticks = before != window->Text1->text() ? 1 : 0;
                return FakeMessageBoxes::show(t, ti, b, i, d);
            }
        } slow;
        slow.window = w.get();
        slow.ticks = &ticksWhileOpen;
        w->Combo1->setCurrentIndex(-1);
        w->DrawOrStop();
        QCOMPARE(ticksWhileOpen, 1);
        QVERIFY(w->Rolling());
    }

    // A double click on the draw button is one click: the draw starts and
    // keeps rolling, nobody is marked.
    void doubleClickOnTheDrawButtonOnlyStarts()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        pickLevel(*w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QPoint centre = w->LumenButton1->geometry().center();
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, {}, centre);
        QVERIFY(w->Rolling());
        QCOMPARE(folder.wonCount(), 0);
        QCOMPARE(w->Grid2->Rows(), 1);
    }

    // Enter held on the focused draw button: its repeats start nothing more.
    void heldEnterOnTheDrawButtonRunsOneCommand()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(30));
        auto w = folder.start();
        pickLevel(*w);
        for (int i = 0; i < 18; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), i > 0);
            QApplication::sendEvent(w->LumenButton1, &press);
        }
        QVERIFY(w->Rolling());
        QCOMPARE(folder.wonCount(), 0);
    }

    void stopDrawsDistinctWinnersAndMarksThem()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        auto w = folder.start();
        pickLevel(*w);
        w->txtci->setText("3");
        w->DrawOrStop();
        w->DrawOrStop();
        QVERIFY(!w->Rolling());
        QCOMPARE(w->LumenButton1->Caption(), QStringLiteral("   开奖!"));
        QCOMPARE(w->Grid2->Rows(), 4);
        std::set<QString> names;
        for (int r = 1; r <= 3; ++r) {
            const QString name = w->Grid2->TextMatrix(r, 1);
            QCOMPARE(w->Grid2->TextMatrix(r, 2), QStringLiteral("N") + name.mid(4));
            names.insert(name);
        }
        QCOMPARE(names.size(), std::size_t(3));
        QCOMPARE(folder.wonCount(), 3);
        const std::vector<std::string> flags = folder.flags();
        for (const QString& name : names)
            QCOMPARE(flags[std::size_t(name.mid(4).toInt() - 1)], std::string("是"));
        QCOMPARE(w->Text1->text(), w->Grid2->TextMatrix(1, 1) + QStringLiteral(" 等3人"));
        QCOMPARE(w->Label5->text(), QStringLiteral("本次中奖 3 人"));
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 7 人"));
        QCOMPARE(w->Grid1->Rows(), 8);
        QVERIFY(folder.boxes.shown.empty());
    }

    // After a stop the hidden list holds exactly what reading the table
    // again gives, and it was read again only when someone else wrote.
    void listAfterAStopIsWhatAReadGives_data()
    {
        QTest::addColumn<int>("shareEvery");
        QTest::addColumn<QString>("outside");
        QTest::addColumn<int>("reads");
        QTest::newRow("distinct numbers") << 1 << QString() << 1;
        QTest::newRow("numbers shared by three") << 3 << QString() << 1;
        QTest::newRow("another program marks while rolling") << 1 << "update sheet set isluck = '是' where id = 12"
                                                              << 2;
        QTest::newRow("another program adds while rolling")
            << 2 << "insert into sheet (user_name, user_number) values ('late', 'N1')" << 2;
    }
    void listAfterAStopIsWhatAReadGives()
    {
        QFETCH(int, shareEvery);
        QFETCH(QString, outside);
        QFETCH(int, reads);
        AppFolder folder;
        std::vector<Row> rows = AppFolder::participants(20);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i].number = "N" + std::to_string(i / std::size_t(shareEvery));
        folder.createDatabase(rows);
        auto w = folder.start();
        pickLevel(*w);
        w->txtci->setText("4");
        w->DrawOrStop();
        if (!outside.isEmpty()) {
            store::DbConnection other;
            QVERIFY(other.OpenFile(folder.dbPath().toStdString()));
            QVERIFY(other.Run(outside.toStdString()));
        }
        w->DrawOrStop();
        QVERIFY(!w->Rolling());
        store::DbConnection fresh;
        QVERIFY(fresh.OpenFile(folder.dbPath().toStdString()));
        QStringList expected, shown;
        for (auto result = fresh.Execute(store::kSelectNotWon); !result->EndOfFile(); result->MoveNext())
            expected << QString::fromStdString(result->Field(0) + "|" + result->Field(1) + "|" + result->Field(2));
        for (int r = 1; r < w->Grid1->Rows(); ++r)
            shown << w->Grid1->TextMatrix(r, 1) + "|" + w->Grid1->TextMatrix(r, 2) + "|" + w->Grid1->TextMatrix(r, 3);
        QCOMPARE(shown, expected);
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 %1 人").arg(expected.size()));
        QCOMPARE(int(w->List().reads()), reads);
    }

    void singleWinnerIsShownAlone()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(4));
        auto w = folder.start();
        pickLevel(*w);
        w->DrawOrStop();
        w->DrawOrStop();
        QCOMPARE(w->Text1->text(), w->Grid2->TextMatrix(1, 1));
        QCOMPARE(w->Label5->text(), QStringLiteral("本次中奖 1 人"));
    }

    void halfwayCountsRoundToEven_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("winners");
        QTest::newRow("2.5") << "2.5" << 2;
        QTest::newRow("3.5") << "3.5" << 4;
        QTest::newRow("spaces") << " 3 " << 3;
        QTest::newRow("full-width") << "２" << 2;
    }
    void halfwayCountsRoundToEven()
    {
        QFETCH(QString, typed);
        QFETCH(int, winners);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(6));
        auto w = folder.start();
        pickLevel(*w);
        w->txtci->setText(typed);
        w->DrawOrStop();
        w->DrawOrStop();
        QCOMPARE(w->Grid2->Rows(), winners + 1);
        QCOMPARE(folder.wonCount(), winners);
    }

    void countOutOfRangeDrawsNothingAndKeepsRolling_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-1";
        QTest::newRow("more than left") << "6";
        QTest::newRow("huge") << "99999999";
        QTest::newRow("exponent") << "1e3";
    }
    void countOutOfRangeDrawsNothingAndKeepsRolling()
    {
        QFETCH(QString, typed);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        pickLevel(*w);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        w->txtci->setText(typed);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY(folder.boxes.shown[0].text.contains(QStringLiteral("1 to 5")));
        QCOMPARE(folder.wonCount(), 0);
        QCOMPARE(w->Grid2->Rows(), 1);
    }

    void drawingTheLastParticipantsReportsTheEmptyListTwice()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5, 3));
        auto w = folder.start();
        pickLevel(*w);
        w->txtci->setText("2");
        w->DrawOrStop();
        w->DrawOrStop();
        QCOMPARE(folder.wonCount(), 5);
        QCOMPARE(folder.boxes.texts(), (QStringList{"没有找到相关信息！", "没有找到相关信息！"}));
        QCOMPARE(w->Label5->text(), QStringLiteral("本次中奖 2 人"));
        // A further press finds nobody and starts nothing.
        w->DrawOrStop();
        QVERIFY(!w->Rolling());
    }

    void failedMarkingRecordsNoneOfTheDraw()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(6));
        auto w = folder.start();
        pickLevel(*w);
        w->txtci->setText("6");
        w->DrawOrStop();
        {
            store::DbConnection db;
            db.OpenFile(folder.dbPath().toStdString());
            db.Run("create trigger refuse before update on sheet when new.user_number = 'N4' "
                   "begin select raise(abort, 'disk full'); end");
        }
        w->DrawOrStop();
        QCOMPARE(folder.wonCount(), 0);
        QCOMPARE(folder.exitCodes, std::vector<int>{1});
        QVERIFY(folder.boxes.texts().value(0).contains(QStringLiteral("disk full")));
        QCOMPARE(w->Grid2->Rows(), 1);
    }

    void aQuoteInTheNumberCannotChangeTheStatement()
    {
        AppFolder folder;
        folder.createDatabase({{"quoted", "x' or '1'='1", "否"}, {"other", "N2", "是"}, {"third", "N3", "是"}});
        auto w = folder.start();
        pickLevel(*w);
        w->DrawOrStop();
        w->DrawOrStop();
        QCOMPARE(folder.flags(), (std::vector<std::string>{"是", "是", "是"}));
        QCOMPARE(w->Grid2->TextMatrix(1, 1), QStringLiteral("quoted"));
        QVERIFY(folder.exitCodes.empty());
    }
};

QTEST_MAIN(Form1DrawTest)
#include "form1_draw_test.moc"
