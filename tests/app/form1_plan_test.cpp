// The window and the evening's plan: rounds filled in and drawn in order
// (one only for a group), the organiser seed's commitment shown for the
// whole roll and the public input typed with F2 while names roll, both as
// recorded; the plan edited in its dialog; a wrong level corrected from the
// history; a round drawn by its announcement.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "app/audience_view.h"
#include "app/correction_dialog.h"
#include "app/history_dialog.h"
#include "app/plan_dialog.h"
#include "app/printing.h"
#include "draw/announced_draw.h"
#include "draw/draw_verify.h"
#include "draw/prize_plan.h"
#include "platform/language/language.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_file_dialogs.h"

namespace {

// Participants 1 to 4 are in sales, the others in research.
void addGroups(const AppFolder& folder)
{
    store::DbConnection db;
    QVERIFY(db.OpenFile(folder.dbPath().toStdString()));
    QVERIFY(db.Run("create table participant_group (participant_id integer primary key, group_name text not null)"));
    QVERIFY(db.Run("insert into participant_group select id, case when id <= 4 then '销售部' else '研发部' end "
                   "from sheet"));
}

void storePlan(const AppFolder& folder, const std::vector<draw::PlanRound>& rounds)
{
    store::DbConnection db;
    QVERIFY(db.OpenFile(folder.dbPath().toStdString()));
    std::string refusal;
    QCOMPARE(draw::ReplacePlan(db, rounds, refusal), draw::PlanStatus::Replaced);
}

draw::PlanRound round(const char* level, const char* prize, long long count, const char* rule = "")
{
    return {0, level, prize, count, rule, {}, {}};
}

draw::Seed fixedSeed(std::uint8_t fill)
{
    draw::Seed seed;
    seed.fill(fill);
    return seed;
}

bool verified(const AppFolder& folder)
{
    store::DbConnection db;
    draw::VerifyReport report;
    return db.OpenFile(folder.dbPath().toStdString()) && draw::VerifyDraws(db, std::nullopt, report) && report.ok();
}

// Runs `step` once the modal dialog of type T is up.
template <typename T>
void whenShown(std::function<void(T&)> step)
{
    QTimer::singleShot(0, [step] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        step(*dialog);
    });
}

}  // namespace

class Form1PlanTest : public QObject {
    Q_OBJECT
private slots:
    void init() { lang::setUiLanguage(lang::Language::Chinese); }
    void cleanup() { lang::resetUiLanguage(); }

    void thePlanIsFilledInAndDrawnInOrder()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(12));
        addGroups(folder);
        storePlan(folder, {round("三等奖", "保温杯", 3), round("二等奖", "笔记本电脑", 2, "only:销售部"),
                           round("一等奖", "手机", 1)});
        auto w = folder.start();
        const AudienceState& room = w->audienceState();
        const char* prizes[] = {"保温杯", "笔记本电脑", "手机"};
        for (long long number = 1; number <= 3; ++number) {
            const draw::PlanRound next = *w->NextPlanRound();
            QCOMPARE(next.number, number);
            QCOMPARE(w->Combo1->currentText().toStdString(), next.level);
            QCOMPARE(w->txtci->text(), QString::number(next.count));
            const QString roundLine = QStringLiteral("第 %1 轮 · %2 · %3")
                                          .arg(number)
                                          .arg(QString::fromStdString(next.level), QString::fromUtf8(prizes[number - 1]));
            QVERIFY2(w->LevelLabel->text().contains(roundLine), qPrintable(w->LevelLabel->text()));
            w->DrawOrStop();
            QVERIFY(w->LevelLabel->text().contains(roundLine));
            QCOMPARE(room.prizeName, QString::fromUtf8(prizes[number - 1]));
            QCOMPARE(room.round, int(number));
            QCOMPARE(room.rounds, 3);
            w->DrawOrStop();
            const draw::DrawRecord& drawn = *w->ShownDraw();
            QCOMPARE(drawn.planRound, std::optional<long long>(number));
            QCOMPARE(drawn.prizeName, next.prizeName);
            QCOMPARE(drawn.winners.size(), std::size_t(next.count));
            QCOMPARE(room.prizeName, QString::fromUtf8(prizes[number - 1]));
            if (number == 2)
                for (const draw::RecordedWinner& winner : drawn.winners)
                    QVERIFY2(winner.id <= 4, "the round is for sales only");
        }
        QVERIFY(!w->NextPlanRound());
        QVERIFY(verified(folder));
        // The last round is shown again after a restart.
        w.reset();
        w = folder.start();
        const AudienceState& restarted = w->audienceState();
        QCOMPARE(restarted.phase, AudienceState::Phase::Result);
        QCOMPARE(restarted.prizeName, QStringLiteral("手机"));
        QCOMPARE(restarted.round, 3);
        QCOMPARE(restarted.rounds, 3);
        // A draw the plan does not hold still works, outside any round.
        w->Combo1->setCurrentIndex(0);
        w->txtci->setText(QStringLiteral("1"));
        w->DrawOrStop();
        w->DrawOrStop();
        QVERIFY(!w->ShownDraw()->planRound);
        QCOMPARE(restarted.round, 0);
    }

    // Without a plan: nothing is filled in, and S is taken at the start.
    void theCommitmentAndThePublicInputAreWhatIsRecorded()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        auto w = folder.start();
        QCOMPARE(w->Combo1->currentIndex(), -1);
        int taken = 0;
        w->setSeedSource([&taken] { return fixedSeed(std::uint8_t(++taken)); });
        const AudienceState& room = w->audienceState();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F2);  // nothing rolls: nothing to type yet
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY(!w->PublicInputBox()->isVisible());

        w->Combo1->setCurrentIndex(1);
        w->txtci->setText(QStringLiteral("2"));
        w->DrawOrStop();
        const QString shown = room.commitment;
        QCOMPARE(shown.size(), 16);
        QVERIFY(w->AnchorLabel->text().contains(shown));
        QCOMPARE(room.prizeName, QString());
        QCOMPARE(room.round, 0);
        // F2 in the audience view opens the box on the console.
        QTest::keyClick(w->audienceView(), Qt::Key_F2);
        QVERIFY(w->PublicInputBox()->isVisible());
        QTest::keyClicks(w->PublicInputEdit(), QStringLiteral(" 03 15 22"));
        QCOMPARE(room.publicInput, QStringLiteral("03 15 22"));
        QVERIFY(w->AnchorLabel->text().contains(QStringLiteral("公开输入：03 15 22")));
        QCOMPARE(room.commitment, shown);
        // Stop with the box still open: the text as both screens show it.
        w->DrawOrStop();
        const draw::DrawRecord& record = *w->ShownDraw();
        QCOMPARE(record.publicInput, std::string("03 15 22"));
        QCOMPARE(QString::fromStdString(record.seedCommitment.substr(0, 16)), shown);
        QCOMPARE(record.organiserSeed, draw::SeedHex(fixedSeed(1)));
        QVERIFY(!w->PublicInputBox()->isVisible());
        QVERIFY(room.commitment.isEmpty() && room.publicInput.isEmpty());
        QVERIFY(verified(folder));

        // Esc gives the text back as it was when the box opened.
        w->DrawOrStop();
        QCOMPARE(taken, 2);
        w->OpenPublicInput();
        QTest::keyClicks(w->PublicInputEdit(), QStringLiteral("7"));
        QTest::keyClick(w->PublicInputEdit(), Qt::Key_Return);
        w->OpenPublicInput();
        QTest::keyClicks(w->PublicInputEdit(), QStringLiteral("8"));
        QTest::keyClick(w->PublicInputEdit(), Qt::Key_Escape);
        QVERIFY(!w->PublicInputBox()->isVisible());
        w->DrawOrStop();
        QCOMPARE(w->ShownDraw()->publicInput, std::string("7"));
    }

    void thePlanIsEditedInItsDialog()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(10));
        storePlan(folder, {round("三等奖", "保温杯", 2), round("二等奖", "", 1)});
        auto w = folder.start();
        w->DrawOrStop();
        w->DrawOrStop();
        FakeFileDialogs files;
        const QString exported = folder.path() + QStringLiteral("/plan.csv");
        files.answers = {exported, exported};
        whenShown<PlanDialog>([&folder](PlanDialog& dialog) {
            QTableWidget& table = *dialog.table();
            QCOMPARE(table.rowCount(), 2);
            QVERIFY(!(table.item(0, PlanDialog::Level)->flags() & Qt::ItemIsEditable));  // drawn
            table.setCurrentCell(0, PlanDialog::Level);
            dialog.removeButton()->click();
            QCOMPARE(table.rowCount(), 2);
            table.setCurrentCell(1, PlanDialog::Level);
            dialog.addButton()->click();
            table.item(2, PlanDialog::Level)->setText(QStringLiteral("特等奖"));
            table.item(2, PlanDialog::Count)->setText(QStringLiteral("0"));
            table.item(2, PlanDialog::Groups)->setText(QStringLiteral("除:研发部"));
            dialog.saveButton()->click();  // refused: no winners
            QVERIFY(dialog.isVisible());
            table.item(2, PlanDialog::Count)->setText(QStringLiteral("1"));
            dialog.upButton()->click();  // round 3 before round 2
            QCOMPARE(table.item(1, PlanDialog::Level)->text(), QStringLiteral("特等奖"));
            // Out to a file and back: the same rounds, the drawn one still drawn.
            dialog.exportButton()->click();
            dialog.importButton()->click();
            QCOMPARE(table.rowCount(), 3);
            QVERIFY(!(table.item(0, PlanDialog::Level)->flags() & Qt::ItemIsEditable));
            QCOMPARE(table.item(1, PlanDialog::Groups)->text(), QStringLiteral("除:研发部"));
            dialog.saveButton()->click();
            QCOMPARE(folder.boxes.shown.size(), std::size_t(2));
        });
        w->EditPlan();
        QCOMPARE(folder.boxes.shown.size(), std::size_t(2));
        QVERIFY(folder.boxes.texts()[0].contains(QStringLiteral("不能删除")));
        QVERIFY(folder.boxes.texts()[1].contains(QStringLiteral("第 3 轮")));
        QCOMPARE(w->NextPlanRound()->level, std::string("特等奖"));
        QCOMPARE(w->NextPlanRound()->groupRule, std::string("except:研发部"));
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("特等奖"));
    }

    void aWrongLevelIsCorrectedFromTheHistory()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(6));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(2);
        w->DrawOrStop();
        w->DrawOrStop();
        whenShown<HistoryDialog>([&folder](HistoryDialog& history) {
            whenShown<CorrectionDialog>([&folder](CorrectionDialog& ask) {
                ask.levelBox()->setCurrentText(QStringLiteral("一等奖"));
                ask.prizeEdit()->setText(QStringLiteral("手机"));
                ask.accept();  // refused: no reason
                QVERIFY(ask.isVisible());
                QVERIFY(folder.boxes.texts().last().contains(QStringLiteral("原因")));
                ask.reasonEdit()->setText(QStringLiteral("主持人念错了"));
                ask.accept();
            });
            history.correctButton()->click();
            QCOMPARE(history.table()->item(0, 2)->text(), QStringLiteral("一等奖"));
            QCOMPARE(history.table()->item(0, 3)->text(), QStringLiteral("手机"));
            const QString note = history.table()->item(0, 8)->text();
            QVERIFY2(note.contains(QStringLiteral("二等奖")) && note.contains(QStringLiteral("主持人念错了")),
                     qPrintable(note));
            // Paper and the evidence pack carry the corrected level.
            history.printButton()->click();
            history.evidenceButton()->click();
            history.closeButton()->click();
        });
        printing::WinnerPrintout printed;
        printing::setPreviewHandler([&printed](QPrinter&, const printing::WinnerPrintout& printout,
                                               const std::function<void(QPrinter&)>&) {
            printed = printout;
            return QString();
        });
        FakeFileDialogs files;
        const QString pack = folder.path() + QStringLiteral("/pack");
        files.answers = {pack};
        folder.boxes.answers = {ui::Result::No};
        w->ShowHistory();
        printing::setPreviewHandler(nullptr);
        QCOMPARE(printed.title, QStringLiteral("一等奖 中奖名单"));
        QVERIFY2(printed.recordLine.contains(QStringLiteral("手机")) && printed.recordLine.contains(QStringLiteral("二等奖")),
                 qPrintable(printed.recordLine));
        QFile page(pack + QStringLiteral("/verify.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().contains("\"prize_level\":\"一等奖\""));
        QVERIFY(QFile::exists(pack + QStringLiteral("/certificate.pdf")));
        QCOMPARE(w->ShownDraw()->corrections.size(), std::size_t(1));
        QCOMPARE(w->ShownDraw()->corrections[0].reason, std::string("主持人念错了"));
        QCOMPARE(w->audienceState().level, QStringLiteral("一等奖"));
        QCOMPARE(w->audienceState().prizeName, QStringLiteral("手机"));
        QVERIFY(verified(folder));
        // Shown again after a restart, before any level is chosen: printed
        // under the corrected level too.
        w.reset();
        w = folder.start();
        QVERIFY(w->Combo1->currentText().isEmpty());
        printed = {};
        printing::setPreviewHandler([&printed](QPrinter&, const printing::WinnerPrintout& printout,
                                               const std::function<void(QPrinter&)>&) {
            printed = printout;
            return QString();
        });
        w->PrintCommand();
        printing::setPreviewHandler(nullptr);
        QCOMPARE(printed.title, QStringLiteral("一等奖 中奖名单"));
    }

    // An announced round: the box opens by itself, no commitment is shown,
    // and the stop waits for the public value.
    void anAnnouncedRoundIsDrawnByItsAnnouncement()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(8));
        storePlan(folder, {round("一等奖", "手机", 2)});
        {
            store::DbConnection db;
            QVERIFY(db.OpenFile(folder.dbPath().toStdString()));
            draw::AnnounceRequest request;
            request.source = "体彩 7 月 1 日开奖号码";
            request.planRound = 1;
            QCOMPARE(draw::Announce(db, request).status, draw::DrawStatus::Done);
        }
        auto w = folder.start();
        w->show();
        const AudienceState& room = w->audienceState();
        w->DrawOrStop();
        QVERIFY(room.commitment.isEmpty());
        QCOMPARE(room.announcement, 1LL);
        QVERIFY(w->AnchorLabel->text().contains(QStringLiteral("按公告 1 抽奖")));
        QTRY_VERIFY(w->PublicInputBox()->isVisible());
        w->DrawOrStop();  // nothing typed: the names roll on
        QVERIFY(w->Rolling());
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QTest::keyClicks(w->PublicInputEdit(), QStringLiteral("0102"));
        w->DrawOrStop();
        const draw::DrawRecord& record = *w->ShownDraw();
        QCOMPARE(record.announcementId, std::optional<long long>(1));
        QCOMPARE(record.publicInput, std::string("0102"));
        QVERIFY(record.organiserSeed.empty());
        QVERIFY(verified(folder));
    }
};

QTEST_MAIN(Form1PlanTest)
#include "form1_plan_test.moc"
