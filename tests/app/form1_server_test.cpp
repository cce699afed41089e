// The window on a participant list kept on a database server: drawing, the
// server going away (a message, the program keeps running, nothing recorded)
// and drawing again once it is back.

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "app/grid.h"
#include "draw/draw_verify.h"
#include "tests/app/app_fixture.h"
#include "tests/support/pg_test_server.h"

class Form1ServerTest : public QObject {
    Q_OBJECT
private:
    static long long drawCount(const std::string& source)
    {
        store::DbConnection db;
        if (!db.OpenFile(source))
            return -1;
        auto row = db.Execute("select count(*) from draw_record");
        return row ? row->FieldInteger(0) : -1;
    }

    static void draw(form1& w)
    {
        w.DrawOrStop();
        w.DrawOrStop();
    }

private slots:
    void aLostServerIsReportedAndTheNextStopWorksOnceItIsBack()
    {
        testsupport::PgOwnServer server;
        if (!server.started())
            QSKIP(server.why().c_str());
        const std::string source = server.dataSource();
        std::string error;
        QVERIFY2(store::CreateDatabase(source, error), error.c_str());
        QCOMPARE(testsupport::pgRun(source, "insert into sheet (user_name, user_number, isluck) select 'name' || n,"
                                            " 'N' || n, '否' from generate_series(1, 20) n"),
                 std::string());
        AppFolder folder;
        QVERIFY(conn::OpenDatabase(QString::fromStdString(source), QString(), QString()));
        form1 w(folder.path());
        QVERIFY(w.Form_Load());
        w.Combo1->setCurrentIndex(1);
        w.txtci->setText("2");
        draw(w);
        QCOMPARE(w.Grid2->Rows(), 3);
        QVERIFY(folder.boxes.shown.empty());

        QVERIFY(server.kill());
        draw(w);
        QVERIFY(folder.exitCodes.empty());  // the program keeps running
        QVERIFY(!folder.boxes.shown.empty());
        QVERIFY2(folder.boxes.texts().join('\n').contains(QStringLiteral("database server")) ||
                     folder.boxes.texts().join('\n').contains(QStringLiteral("数据库服务器")),
                 qPrintable(folder.boxes.texts().join('\n')));
        // libpq's indented lines and full stop do not show through the sentence around them.
        const QString shown = folder.boxes.shown.front().text;
        QVERIFY2(!shown.contains('\n') && !shown.contains('\t') && !shown.contains(QStringLiteral("..")),
                 qPrintable(shown));
        QVERIFY(!w.Rolling());

        QVERIFY(server.restart());
        folder.boxes.shown.clear();
        draw(w);
        QVERIFY2(folder.boxes.shown.empty(), qPrintable(folder.boxes.texts().join('\n')));
        QCOMPARE(w.Label5->text(), QStringLiteral("本次中奖 2 人"));
        QCOMPARE(w.Label4->text(), QStringLiteral("共有 16 人"));
        QCOMPARE(drawCount(source), 2LL);
        draw::VerifyReport report;
        QVERIFY(draw::VerifyDraws(*conn::DbConnection, std::nullopt, report));
        QVERIFY(report.ok());
    }
};

QTEST_MAIN(Form1ServerTest)
#include "form1_server_test.moc"
