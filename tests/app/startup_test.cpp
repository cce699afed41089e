// Start-up services: Qt's own translations under a Chinese system language,
// the report of an installed copy's missing database, the underscore in a
// Chinese dialog's text, and the --audience argument.

#include <cstdlib>

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/dialog_labels.h"
#include "app/startup.h"
#include "platform/folders/program_folders.h"
#include "platform/language/language.h"
#include "tests/support/fake_message_boxes.h"

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        lang::resetUiLanguage();
        folders::setProgramFolderForTest("");
    }

    // Runs first: nothing is installed yet, so English stays English.
    void englishKeepsQtsOwnTexts()
    {
        lang::setUiLanguage(lang::Language::English);
        QVERIFY(!startup::InstallTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
    }

    void chineseLoadsQtsTranslations()
    {
        qputenv("LANG", "zh_CN.UTF-8");
        lang::resetUiLanguage();
        QVERIFY(startup::InstallTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("是(&Y)"));
        // The standard buttons of the program's message boxes.
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        // And the file dialog's own words.
        QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("文件名称(&N)："));
    }

    void missingDatabaseOfAnInstalledCopyIsExplained_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }
    void missingDatabaseOfAnInstalledCopyIsExplained()
    {
        QFETCH(bool, chinese);
        lang::setUiLanguage(chinese ? lang::Language::Chinese : lang::Language::English);
        QTemporaryDir root;
        QDir(root.path()).mkpath("bin");
        QDir(root.path()).mkpath("share/sortia/images");
        folders::setProgramFolderForTest((root.path() + "/bin").toStdString());
        const QString database = root.path() + "/data/sortia/Sbase.mdb";
        FakeMessageBoxes boxes;
        QVERIFY(startup::ReportMissingDatabase(database));
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        const QString text = boxes.shown[0].text;
        QVERIFY(text.contains(database));
        QVERIFY(text.contains("sortia-db create"));
        QVERIFY(text.contains("sortia-db import"));
        QCOMPARE(text.contains(QStringLiteral("找不到参与者数据库")), chinese);
        QCOMPARE(boxes.shown[0].title, QStringLiteral("Sortia"));
        QVERIFY(!QFile::exists(database));
        // Once it is there, nothing is said.
        QDir().mkpath(root.path() + "/data/sortia");
        QFile(database).open(QIODevice::WriteOnly);
        QVERIFY(!startup::ReportMissingDatabase(database));
        QCOMPARE(boxes.shown.size(), std::size_t(1));
    }

    void aProgramFolderKeepsTodaysReport()
    {
        QTemporaryDir dist;
        QDir(dist.path()).mkpath("images");
        folders::setProgramFolderForTest(dist.path().toStdString());
        FakeMessageBoxes boxes;
        QVERIFY(!startup::ReportMissingDatabase(dist.path() + "/Sbase.mdb"));
        QVERIFY(boxes.shown.empty());
    }

    // The dialog font of a Chinese system draws `user_name` with its
    // underscore: the text must not look the same as `user name`.
    void underscoresShowInDialogs()
    {
        const QFont before = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("AR PL UMing CN"), 9));
        dialoglabels::Install();
        auto shown = [](const QString& text) {
            QMessageBox box;
            box.setText(text);
            box.show();
            auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            return label->grab().toImage();
        };
        auto dark = [](const QImage& image) {
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += qGray(image.pixel(x, y)) < 128;
            return count;
        };
        const int underscore = dark(shown(QStringLiteral("第 3 行：缺少 user_name 列")));
        const int space = dark(shown(QStringLiteral("第 3 行：缺少 user name 列")));
        QApplication::setFont(before);
        // An underscore is a line of several pixels.
        QVERIFY2(underscore >= space + 4, qPrintable(QStringLiteral("%1 against %2").arg(underscore).arg(space)));
    }

    void audienceScreenArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("screen");  // -1: none
        QTest::addColumn<bool>("refused");
        QTest::newRow("none") << QStringList{"sortia"} << -1 << false;
        QTest::newRow("--audience 1") << QStringList{"sortia", "--audience", "1"} << 1 << false;
        QTest::newRow("--audience=0") << QStringList{"sortia", "--audience=0"} << 0 << false;
        QTest::newRow("not a number") << QStringList{"sortia", "--audience", "HDMI"} << -1 << true;
        QTest::newRow("negative") << QStringList{"sortia", "--audience", "-1"} << -1 << true;
        QTest::newRow("no value") << QStringList{"sortia", "--audience"} << -1 << true;
        QTest::newRow("unknown option") << QStringList{"sortia", "--audiance", "1"} << -1 << true;
        QTest::newRow("stray argument") << QStringList{"sortia", "1"} << -1 << true;
    }
    void audienceScreenArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, screen);
        QFETCH(bool, refused);
        QString error;
        const std::optional<int> chosen = startup::AudienceScreenArgument(arguments, error);
        QCOMPARE(chosen.value_or(-1), screen);
        QCOMPARE(!error.isEmpty(), refused);
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
