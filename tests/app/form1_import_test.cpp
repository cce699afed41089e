// The window's import: the shortcut and its file dialog, the summary box,
// refusals, the count label at the next load, a refusal while rolling and a
// cancelled import.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QProgressDialog>
#include <QMenu>
#include <QTimer>
#include <QtTest>

#include "app/grid.h"
#include "platform/language/language.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_file_dialogs.h"
#include "tests/support/workbooks.h"

class Form1ImportTest : public QObject {
    Q_OBJECT
private:
    static QString writeFile(const AppFolder& folder, const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.path() + QLatin1Char('/') + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

private slots:
    void initTestCase() { lang::setUiLanguage(lang::Language::English); }

    void importsAndSummarises_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("textParts");
        QTest::addColumn<int>("participants");
        QTest::newRow("new and present") << "in.csv" << QByteArray("user_name,user_number\nname1,N1\n张三,138\n李四,139\n")
                                         << int(ui::Icon::Information)
                                         << QStringList{"imported 2 participants; skipped 1 already in the database"} << 5;
        QTest::newRow("refused") << "bad.csv" << QByteArray("user_name,user_number\na,7\n,8\nc,7\n")
                                 << int(ui::Icon::Exclamation)
                                 << QStringList{"nothing was imported; problems found: 2", "line 3: user_name is empty",
                                                "line 4: user_number 7 appears again; it is already on line 2"}
                                 << 3;
        QTest::newRow("conflict") << "conflict.csv" << QByteArray("user_name,user_number\nsomeone,N2\n")
                                  << int(ui::Icon::Exclamation)
                                  << QStringList{"line 2: user_number N2 is already in the database for 'name2' (id 2)"}
                                  << 3;
        QTest::newRow("missing file") << "" << QByteArray() << int(ui::Icon::Critical)
                                      << QStringList{"cannot read", "nothing was imported"} << 3;
        QTest::newRow("old workbook") << "old.xls" << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)
                                      << int(ui::Icon::Critical) << QStringList{"Excel 97-2003"} << 3;
    }

    void importsAndSummarises()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(int, icon);
        QFETCH(QStringList, textParts);
        QFETCH(int, participants);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        QVERIFY(w);
        const QString path = file.isEmpty() ? folder.path() + QStringLiteral("/none.csv") : writeFile(folder, file, bytes);
        w->ImportParticipantsFrom(path);
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        const ShownBox& box = folder.boxes.shown[0];
        QCOMPARE(int(box.icon), icon);
        QCOMPARE(box.title, QStringLiteral("Sortia"));
        for (const QString& part : textParts)
            QVERIFY2(box.text.contains(part), qPrintable(box.text));
        QCOMPARE(int(folder.flags().size()), participants);
        QVERIFY(folder.exitCodes.empty());
    }

    void aWorkbookImportsAndTheCountFollowsAtTheNextLoad()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->LoadParticipants();
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 3 人"));
        const QString path = folder.path() + QStringLiteral("/list.xlsx");
        using namespace testsupport;
        QVERIFY(writeWorkbook(path.toStdString(), {{textCell("user_name"), textCell("user_number")},
                                                   {textCell("张三"), numberCell(13866512345.0)}}));
        w->ImportParticipantsFrom(path);
        QCOMPARE(folder.boxes.texts(), QStringList{"imported 1 participants"});
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 3 人"));
        w->LoadParticipants();
        QCOMPARE(w->Label4->text(), QStringLiteral("共有 4 人"));
        QCOMPARE(w->Grid1->TextMatrix(1, 3), QStringLiteral("13866512345"));
    }

    void theMenuAndItsKeyOpenAFileDialog()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        auto w = folder.start();
        const QString path = writeFile(folder, QStringLiteral("in.csv"), "user_name,user_number\nx,1\n");
        auto* menu = w->findChild<QMenu*>(QStringLiteral("WinnersMenu"));
        QVERIFY(menu);
        auto* action = w->findChild<QAction*>(QStringLiteral("importAction"));
        QVERIFY(action);
        QVERIFY(menu->actions().contains(action));
        // The import follows the participants' separator of the winners table's menu.
        const QList<QAction*> actions = menu->actions();
        const auto* section = w->findChild<QAction*>(QStringLiteral("participantsSection"));
        QVERIFY(section);
        QVERIFY(actions.indexOf(action) > actions.indexOf(const_cast<QAction*>(section)));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));

        FakeFileDialogs dialogs;
        dialogs.answers = {path, QString()};
        action->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(folder.boxes.texts(), QStringList{"imported 1 participants"});

        action->trigger();  // cancelled: no file, no box
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
    }

    void refusedWhileADrawIsRolling()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(3));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(0);
        w->DrawOrStop();
        QVERIFY(w->Rolling());
        w->ImportParticipantsFrom(writeFile(folder, QStringLiteral("in.csv"), "user_name,user_number\nx,1\n"));
        QCOMPARE(folder.boxes.texts(), QStringList{"Stop the draw before importing participants."});
        QCOMPARE(folder.flags().size(), std::size_t(3));
        QVERIFY(w->Rolling());
    }

    void cancellingTheProgressImportsNothing()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(1));
        auto w = folder.start();
        QByteArray list("user_name,user_number\n");
        for (int i = 0; i < 5000; ++i)
            list += "p" + QByteArray::number(i) + ",x" + QByteArray::number(i) + "\n";
        const QString path = writeFile(folder, QStringLiteral("big.csv"), list);
        QTimer::singleShot(0, [&] {
            if (auto* progress = w->findChild<QProgressDialog*>())
                progress->cancel();
        });
        w->ImportParticipantsFrom(path);
        QCOMPARE(folder.boxes.texts(), QStringList{"the import was stopped; nothing was imported"});
        QCOMPARE(folder.flags().size(), std::size_t(1));
        QVERIFY(!w->findChild<QProgressDialog*>());
    }
};

QTEST_MAIN(Form1ImportTest)
#include "form1_import_test.moc"
