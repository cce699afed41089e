// The main window: its state after start, start-up refusals, the participant
// list, printing, reset, the background cycle and the small commands.

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QtTest>

#include <sqlite3.h>

#include "app/grid.h"
#include "app/printing.h"
#include "tests/app/app_fixture.h"
#include "tests/support/access_sample.h"

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void stateAfterStart()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(5));
        auto w = folder.start();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Sortia v1.3"));
        QCOMPARE(w->size(), QSize(1016, 714));
        QCOMPARE(w->Combo1->currentText(), QString());
        QCOMPARE(w->Combo1->count(), 4);
        QCOMPARE(w->Combo1->itemText(0), QStringLiteral("特等奖"));
        QCOMPARE(w->Combo1->itemText(3), QStringLiteral("三等奖"));
        QCOMPARE(w->txtci->text(), QStringLiteral("1"));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Label5->text(), QString());
        QCOMPARE(w->Label4->text(), QStringLiteral("共有"));
        QCOMPARE(w->Grid2->Rows(), 1);
        QCOMPARE(w->Grid2->TextMatrix(0, 1), QStringLiteral("号码"));
        QCOMPARE(w->Grid2->ColWidth(0), 0);
        QCOMPARE(w->Grid2->ColWidth(2), 0);
        QCOMPARE(w->Grid1->TextMatrix(0, 3), QStringLiteral("已中奖"));
        QCOMPARE(w->BackgroundIndex(), 1);
        QCOMPARE(w->RollIndex(), std::size_t(1));
        QVERIFY(!w->Rolling());
        QCOMPARE(w->Timer1->interval(), 2);
        QCOMPARE(w->LumenButton1->Caption(), QStringLiteral("   开奖!"));
        QCOMPARE(w->LumenButton1->Theme(), 6);
        QCOMPARE(w->LumenButton7->Theme(), 5);
        QCOMPARE(w->LumenButton7->Caption(), QStringLiteral("退  出"));
        QCOMPARE(w->LumenButton1->CaptionEffect(), 4);
        QCOMPARE(w->LumenButton1->Font()->pointSize, 26.25);
        QCOMPARE(w->LumenButton4->Font()->charSet, 134);
        QVERIFY(w->LumenButton1->Icon() && w->LumenButton4->Icon() && w->LumenButton6->Icon());
        QVERIFY(!w->LumenButton7->Icon() && !w->LumenButton8->Icon());
        QVERIFY(w->LumenButton1->IconSource().endsWith(QStringLiteral("/images/1.png")));
        QVERIFY(w->LumenButton4->IconSource().endsWith(QStringLiteral("/images/3.png")));
        QVERIFY(w->LumenButton6->IconSource().endsWith(QStringLiteral("/images/2.png")));
        w->show();
        QVERIFY(!w->Grid1->isVisible());
        QVERIFY(!w->LumenButton2->isVisible());
        QVERIFY(w->Label7->isVisible());
        QVERIFY(folder.boxes.shown.empty());
    }

    void controlsAtTheirDesignedPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Text1") << "Text1" << QRect(0, 0, 577, 55);
        QTest::newRow("Combo1") << "Combo1" << QRect(584, 24, 129, 29);
        QTest::newRow("txtci") << "txtci" << QRect(728, 24, 41, 28);
        QTest::newRow("LumenButton1") << "LumenButton1" << QRect(792, 5, 217, 49);
        QTest::newRow("Grid2") << "Grid2" << QRect(0, 96, 309, 577);
        QTest::newRow("Label7") << "Label7" << QRect(360, 208, 617, 297);
        QTest::newRow("LumenButton4") << "LumenButton4" << QRect(0, 672, 161, 43);
        QTest::newRow("LumenButton6") << "LumenButton6" << QRect(160, 672, 148, 43);
        QTest::newRow("LumenButton8") << "LumenButton8" << QRect(832, 656, 84, 43);
        QTest::newRow("LumenButton7") << "LumenButton7" << QRect(928, 656, 84, 43);
        QTest::newRow("Image1") << "Image1" << QRect(220, 47, 790, 600);
    }
    void controlsAtTheirDesignedPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        auto w = folder.start();
        QVERIFY(w);
        auto* control = w->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), rect);
    }

    void startRefusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << "missing" << "Could not find file";
        QTest::newRow("text file") << "text" << "not a database file";
        QTest::newRow("access file") << "access" << "Access database";
        QTest::newRow("no sheet") << "nosheet" << "no table 'sheet'";
    }
    void startRefusals()
    {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        AppFolder folder;
        if (setup == "text") {
            QFile f(folder.dbPath());
            f.open(QIODevice::WriteOnly);
            f.write("user_name,user_number\nA,1\n");
        } else if (setup == "access") {
            testsupport::writeAccessHeader(folder.dbPath().toStdString());
        } else if (setup == "nosheet") {
            std::string error;
            store::CreateDatabase(folder.dbPath().toStdString(), error);
            sqlite3_exec_drop(folder.dbPath());
        }
        QVERIFY(!folder.start());
        QCOMPARE(folder.exitCodes, std::vector<int>{1});
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY2(folder.boxes.shown[0].text.contains(expected), qPrintable(folder.boxes.shown[0].text));
        QCOMPARE(folder.boxes.shown[0].title, QStringLiteral("Sortia"));
        QCOMPARE(folder.boxes.shown[0].buttons, ui::Buttons::Ok);
        if (setup == "missing")
            QVERIFY(!QFile::exists(folder.dbPath()));
    }

    void missingBackgroundEndsTheProgram()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        QFile::remove(folder.path() + "/images/bg1.jpg");
        QVERIFY(!folder.start());
        QCOMPARE(folder.exitCodes, std::vector<int>{1});
        QVERIFY(folder.boxes.texts().value(0).contains(QStringLiteral("bg1.jpg")));
    }

    void listHoldsTheNotYetWonNewestFirst()
    {
        AppFolder folder;
        std::vector<Row> rows = AppFolder::participants(10);
        rows[1].isluck = rows[4].isluck = rows[7].isluck = "是";
        rows[8].name.reset();  // id 9 has no user_name
        folder.createDatabase(rows);
        auto w = folder.start();
        w->LoadParticipants();
        QCOMPARE(w->Grid1->Rows(), 8);
        const QStringList ids = {"10", "9", "7", "6", "4", "3", "1"};
        for (int r = 1; r <= 7; ++r)
            QCOMPARE(w->Grid1->TextMatrix(r, 1), ids[r - 1]);
        QCOMPARE(w->Grid1->TextMatrix(1, 2), QStringLiteral("name10"));
        QCOMPARE(w->Grid1->TextMatrix(2, 2), QString());
        QCOMPARE(w->Grid1->TextMatrix(2, 3), QStringLiteral("N9"));
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 7 人"));
        QVERIFY(w->RollIndex() >= 1 && w->RollIndex() <= 7);
    }

    void emptyListKeepsTheCountLabel()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->LoadParticipants();
        store::DbConnection db;
        db.OpenFile(folder.dbPath().toStdString());
        db.Run("update sheet set isluck = '是'");
        w->LoadParticipants();
        QCOMPARE(w->Grid1->Rows(), 1);
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 3 人"));
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QCOMPARE(folder.boxes.shown[0].text, QStringLiteral("没有找到相关信息！"));
        QCOMPARE(folder.boxes.shown[0].title, QStringLiteral("提示信息"));
        QCOMPARE(folder.boxes.shown[0].icon, ui::Icon::Information);
    }

    void printRefusedBeforeTheFirstDraw()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        int previews = 0;
        printing::setPreviewHandler([&](QPrinter&, const printing::WinnerPrintout&, const std::function<void(QPrinter&)>&) {
            ++previews;
            return QString();
        });
        w->PrintCommand();
        printing::setPreviewHandler(nullptr);
        QCOMPARE(previews, 0);
        QCOMPARE(folder.boxes.texts(), QStringList{"无打印数据"});
        QCOMPARE(folder.boxes.shown[0].title, QStringLiteral("出错"));
    }

    void printoutListsTheLastDrawUnderTheLevel()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(1);
        w->txtci->setText("3");
        w->DrawOrStop();
        w->DrawOrStop();
        QCOMPARE(w->Grid2->Rows(), 4);
        const QString pdf = folder.path() + "/winners.pdf";
        printing::WinnerPrintout seen;
        printing::setPreviewHandler([&](QPrinter& printer, const printing::WinnerPrintout&,
                                        const std::function<void(QPrinter&)>& render) {
            seen = printing::CollectPrintout(*w->Grid2);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            render(printer);
            return QString();
        });
        w->PrintCommand();
        QCOMPARE(seen.title, QStringLiteral("一等奖 中奖名单"));
        // Names and, so that namesakes differ on paper, their numbers.
        QCOMPARE(seen.heading, QStringLiteral("姓名"));
        QCOMPARE(seen.numberHeading, QStringLiteral("号码"));
        QCOMPARE(seen.rows, (QStringList{w->Grid2->TextMatrix(1, 1), w->Grid2->TextMatrix(2, 1),
                                         w->Grid2->TextMatrix(3, 1)}));
        QCOMPARE(seen.numbers, (QStringList{w->Grid2->TextMatrix(1, 2), w->Grid2->TextMatrix(2, 2),
                                            w->Grid2->TextMatrix(3, 2)}));
        QVERIFY(QFileInfo(pdf).size() > 500);
        // The level is read when printing; the winners stay those of the draw.
        w->Combo1->setCurrentIndex(3);
        w->PrintCommand();
        printing::setPreviewHandler(nullptr);
        QCOMPARE(seen.title, QStringLiteral("三等奖 中奖名单"));
        QCOMPARE(seen.rows.size(), 3);
    }

    void printErrorIsShownAndTheProgramGoesOn()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        w->DrawOrStop();
        w->DrawOrStop();
        printing::setPreviewHandler([](QPrinter&, const printing::WinnerPrintout&, const std::function<void(QPrinter&)>&) {
            return QStringLiteral("no printer");
        });
        w->PrintCommand();
        printing::setPreviewHandler(nullptr);
        QCOMPARE(folder.boxes.texts().last(), QStringLiteral("no printer"));
        QVERIFY(folder.exitCodes.empty());
    }

    void aPrinterThatCannotStartIsReported()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        w->DrawOrStop();
        w->DrawOrStop();
        // A file the printer cannot open: nothing can be drawn.
        printing::setPreviewHandler([&](QPrinter& printer, const printing::WinnerPrintout&,
                                        const std::function<void(QPrinter&)>& render) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(folder.path() + "/no such folder/winners.pdf");
            render(printer);
            return QString();
        });
        w->PrintCommand();
        printing::setPreviewHandler(nullptr);
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY2(folder.boxes.shown[0].text.contains("printer"), qPrintable(folder.boxes.shown[0].text));
        QVERIFY(folder.exitCodes.empty());
    }

    void resetAsksWithNoAsDefault()
    {
        AppFolder folder;
        std::vector<Row> rows = AppFolder::participants(4, 2);
        rows[3].isluck = "?";
        folder.createDatabase(rows);
        auto w = folder.start();
        w->Text1->setText("shown");
        folder.boxes.answers = {ui::Result::No};
        w->ResetCommand();
        QCOMPARE(folder.flags(), (std::vector<std::string>{"是", "是", "否", "?"}));
        QCOMPARE(folder.boxes.shown[0].title, QStringLiteral("确定复位"));
        QCOMPARE(folder.boxes.shown[0].buttons, ui::Buttons::YesNo);
        QCOMPARE(folder.boxes.shown[0].defaultButton, ui::Result::No);
        QCOMPARE(folder.boxes.shown[0].icon, ui::Icon::Question);
        QCOMPARE(folder.boxes.shown[0].text,
                 QStringLiteral("如果使用数据复位，将会把所有客户标记为未中奖状态，客户可继续参与开奖!，慎用！"));
        folder.boxes.answers = {ui::Result::Yes};
        w->ResetCommand();
        QCOMPARE(folder.flags(), (std::vector<std::string>{"否", "否", "否", "?"}));
        QCOMPARE(w->Text1->text(), QStringLiteral("shown"));
    }

    void backgroundCyclesAndTheLinkWorksOnlyAtTheFourth()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        auto w = folder.start();
        w->show();
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        w->OpenLink();
        QVERIFY(catcher.urls.isEmpty());
        struct Step {
            int index;
            int linksOpened;
        };
        const Step steps[] = {{2, 0}, {3, 0}, {4, 1}, {1, 1}};
        for (const Step& step : steps) {
            w->NextBackground();
            QCOMPARE(w->BackgroundIndex(), step.index);
            QCOMPARE(w->Label7->isVisible(), step.index == 4);
            w->OpenLink();
            QCOMPARE(int(catcher.urls.size()), step.linksOpened);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.value(0), QUrl::fromLocalFile(w->helpPagePath()));
    }

    void aboutBoxText()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        auto w = folder.start();
        w->ShowAbout();
        QCOMPARE(folder.boxes.texts(),
                 QStringList{"Sortia，适用于各电视台、超市、公司等举办大型开奖活动！\r\n\r\n定制界面可以适用于不同单位或公司"});
    }

    void exitButtonEndsTheProgram()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        auto w = folder.start();
        emit w->LumenButton7->Click();
        QCOMPARE(folder.exitCodes, std::vector<int>{0});
    }

private:
    static void sqlite3_exec_drop(const QString& path)
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, "drop table sheet", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
