// Another program holding the database's write lock at a stop, a void or a
// reset: the window waits with a busy cursor and a notice, the operator may
// wait again or give up, and nothing is marked unless the whole draw is. An
// import waits in its own progress dialog, which can stop it.

#include <algorithm>
#include <chrono>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>
#include <QtTest>

#include "app/grid.h"
#include "app/lock_wait.h"
#include "platform/language/language.h"
#include "tests/app/app_fixture.h"

namespace {

constexpr int kNever = -1;

// Another program's connection holding the write lock until released.
class LockHolder {
public:
    // A write lock, or with `exclusive` one that keeps readers out too.
    explicit LockHolder(const QString& path, bool exclusive = false)
    {
        m_db.OpenFile(path.toStdString());
        if (!(exclusive ? m_db.Run("begin exclusive") : m_db.BeginTransaction()))
            qFatal("cannot take the lock: %s", m_db.error().c_str());
    }
    void release() { m_db.RollbackTransaction(); }

private:
    store::DbConnection m_db;
};

// Stop: the press that stops a draw; StopExclusive: the same while even
// reading is kept out, so that the list's reload waits first; Void: voiding
// a winner of the draw just held.
enum class Command { Stop, StopExclusive, Reset, Void };

struct Case {
    const char* name;
    Command command;
    int releaseAtMs;                  // kNever: held throughout
    int giveUpAtMs;                   // kNever: the notice's button is not pressed
    std::vector<ui::Result> answers;  // to the wait-again questions
    int questions;                    // wait-again questions expected
    bool finished;                    // the command's change was made
};

const Case kCases[] = {
    {"released while the notice shows", Command::Stop, 300, kNever, {}, 0, true},
    {"held past the wait, cancel gives up", Command::Stop, kNever, kNever, {}, 1, false},
    {"held past the wait, retry, then released", Command::Stop, 600, kNever, {ui::Result::Retry}, 1, true},
    {"retried twice, then cancelled", Command::Stop, kNever, kNever, {ui::Result::Retry, ui::Result::Retry}, 3,
     false},
    {"given up from the notice", Command::Stop, kNever, 150, {}, 0, false},
    {"the list's reload waits for an exclusive lock", Command::StopExclusive, 300, kNever, {}, 0, true},
    {"an exclusive lock given up at the reload", Command::StopExclusive, kNever, kNever, {}, 1, false},
    {"reset waits too", Command::Reset, 300, kNever, {}, 0, true},
    {"reset given up", Command::Reset, kNever, kNever, {}, 1, false},
    {"a void waits too", Command::Void, 300, kNever, {}, 0, true},
    {"a void given up", Command::Void, kNever, kNever, {}, 1, false},
};

constexpr int kLockWaitMs = 400;

// Counts the times the waiting notice is shown.
class NoticeWatcher : public QObject {
public:
    NoticeWatcher() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show && object->objectName() == QLatin1String(lockwait::kNoticeName))
            ++shown;
        return false;
    }
    int shown = 0;
};

}  // namespace

class Form1LockTest : public QObject {
    Q_OBJECT
private slots:
    void waitsForAnotherProgramsLock_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kCases)); ++i)
            QTest::newRow(kCases[i].name) << i;
    }

    void waitsForAnotherProgramsLock()
    {
        QFETCH(int, index);
        const Case& c = kCases[index];
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(8, c.command == Command::Reset ? 2 : 0));
        auto w = folder.start();
        QVERIFY(w);
        conn::DbConnection->setLockWait(kLockWaitMs);
        w->Combo1->setCurrentIndex(1);
        w->txtci->setText(QStringLiteral("3"));
        if (c.command != Command::Reset)
            w->DrawOrStop();
        if (c.command == Command::Void)
            w->DrawOrStop();  // the draw whose winner is voided, before the lock
        folder.boxes.answers.assign(c.answers.begin(), c.answers.end());
        if (c.command == Command::Reset || c.command == Command::Void)
            folder.boxes.answers.push_front(ui::Result::Yes);  // the command's own question
        const int boxesBefore = int(folder.boxes.shown.size());

        LockHolder other(folder.dbPath(), c.command == Command::StopExclusive);
        NoticeWatcher notices;
        bool busyCursorSeen = false, nameStoodStill = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* notice = w->findChild<QProgressDialog*>(QLatin1String(lockwait::kNoticeName));
                notice && notice->isVisible()) {
                if (notice->labelText().contains(folder.dbPath()))
                    busyCursorSeen = QApplication::overrideCursor() &&
                                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
                // The room must not see a name held as if it had won.
                const AudienceState& room = w->audienceState();
                nameStoodStill = nameStoodStill || (room.phase == AudienceState::Phase::Rolling && !room.paused);
            }
        });
        watch.start(20);
        if (c.releaseAtMs != kNever)
            QTimer::singleShot(c.releaseAtMs, [&] { other.release(); });
        if (c.giveUpAtMs != kNever)
            QTimer::singleShot(c.giveUpAtMs, [&] {
                if (auto* notice = w->findChild<QProgressDialog*>(QLatin1String(lockwait::kNoticeName)))
                    notice->cancel();
            });

        if (c.command == Command::Reset)
            w->ResetCommand();
        else if (c.command == Command::Void)
            w->VoidWinner(1);
        else
            w->DrawOrStop();
        watch.stop();
        other.release();

        // A notice for the first wait and for each wait again.
        QCOMPARE(notices.shown, int(std::count(c.answers.begin(), c.answers.end(), ui::Result::Retry)) + 1);
        QVERIFY(busyCursorSeen);
        QVERIFY(!nameStoodStill);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(conn::DbConnection->lockWait(), kLockWaitMs);
        int questions = 0;
        for (const ShownBox& box : folder.boxes.shown)
            questions += box.buttons == ui::Buttons::RetryCancel;
        QCOMPARE(questions, c.questions);
        const bool stop = c.command == Command::Stop || c.command == Command::StopExclusive;
        const int expectedWon = c.command == Command::Void ? 3 + c.finished
                                : stop                     ? (c.finished ? 3 : 0)
                                                           : (c.finished ? 0 : 2);
        QCOMPARE(folder.wonCount(), expectedWon);
        if (c.command == Command::Void) {
            // Waiting is no failure: the void is made, or given up with the reason.
            QCOMPARE(w->ShownDraw()->voids.size(), std::size_t(c.finished));
            QCOMPARE(folder.exitCodes, c.finished ? std::vector<int>{} : std::vector<int>{1});
            if (c.finished)
                QCOMPARE(int(folder.boxes.shown.size()), boxesBefore + 1);  // its question only
            return;
        }
        if (c.finished) {
            QVERIFY(folder.exitCodes.empty());
            if (stop) {
                QCOMPARE(w->Grid2->Rows(), 4);
                QCOMPARE(w->Label5->text(), QStringLiteral("本次中奖 3 人"));
            }
            return;
        }
        // Giving up ends the program with the reason, naming the file; nothing is shown as won.
        QCOMPARE(folder.exitCodes, std::vector<int>{1});
        QVERIFY(folder.boxes.shown.back().text.contains(folder.dbPath()));
        QCOMPARE(w->Grid2->Rows(), 1);
        QVERIFY(w->Label5->text().isEmpty() || !w->Label5->text().contains(QStringLiteral("3")));
    }

    // Give up pressed in the very moment the other program lets go: given
    // up is given up, nobody is drawn.
    void givingUpAsTheLockGoesDrawsNobody()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(8));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(1);
        w->txtci->setText(QStringLiteral("3"));
        w->DrawOrStop();
        LockHolder other(folder.dbPath());
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* notice = w->findChild<QProgressDialog*>(QLatin1String(lockwait::kNoticeName));
                notice && notice->isVisible() && !notice->wasCanceled()) {
                notice->cancel();
                other.release();
            }
        });
        watch.start(20);
        w->DrawOrStop();
        watch.stop();
        other.release();
        QCOMPARE(folder.wonCount(), 0);
        QCOMPARE(folder.exitCodes, std::vector<int>{1});
        QCOMPARE(w->Grid2->Rows(), 1);
    }

    void aShortLockIsWaitedOutWithoutANotice()
    {
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(4));
        auto w = folder.start();
        w->Combo1->setCurrentIndex(1);
        w->txtci->setText(QStringLiteral("2"));
        w->DrawOrStop();
        NoticeWatcher notices;
        // Released well within one attempt's wait: the stop gets in at its first try.
        LockHolder other(folder.dbPath());
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(lockwait::kPollMs / 4));
            other.release();
        });
        w->DrawOrStop();
        releaser.join();
        QCOMPARE(folder.wonCount(), 2);
        QCOMPARE(notices.shown, 0);
        QVERIFY(folder.boxes.shown.empty());
    }

    void anImportWaitsInItsProgressDialog_data()
    {
        QTest::addColumn<int>("releaseAtMs");
        QTest::addColumn<int>("cancelAtMs");
        QTest::addColumn<QString>("summary");
        QTest::newRow("released while waiting") << 800 << kNever << "imported 1 participants";
        QTest::newRow("stopped from the dialog") << kNever << 800 << "the import was stopped; nothing was imported";
        QTest::newRow("held past the wait") << kNever << kNever << "in use by another program";
    }

    void anImportWaitsInItsProgressDialog()
    {
        QFETCH(int, releaseAtMs);
        QFETCH(int, cancelAtMs);
        QFETCH(QString, summary);
        lang::setUiLanguage(lang::Language::English);
        AppFolder folder;
        folder.createDatabase(AppFolder::participants(2));
        auto w = folder.start();
        QVERIFY(w);
        conn::DbConnection->setLockWait(1500);
        const QString list = folder.path() + QStringLiteral("/in.csv");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("user_name,user_number\nnew,N9\n");
        file.close();

        LockHolder other(folder.dbPath());
        bool waitingShown = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* progress = w->findChild<QProgressDialog*>(); progress && progress->isVisible())
                waitingShown = waitingShown || progress->labelText().contains(folder.dbPath());
        });
        watch.start(20);
        if (releaseAtMs != kNever)
            QTimer::singleShot(releaseAtMs, [&] { other.release(); });
        if (cancelAtMs != kNever)
            QTimer::singleShot(cancelAtMs, [&] {
                if (auto* progress = w->findChild<QProgressDialog*>())
                    progress->cancel();
            });
        w->ImportParticipantsFrom(list);
        watch.stop();
        other.release();

        QVERIFY2(waitingShown, "the wait is shown, naming the file, while the window stays alive");
        QCOMPARE(folder.boxes.shown.size(), std::size_t(1));
        QVERIFY2(folder.boxes.shown[0].text.contains(summary), qPrintable(folder.boxes.shown[0].text));
        QCOMPARE(folder.flags().size(), std::size_t(releaseAtMs != kNever ? 3 : 2));
        QCOMPARE(conn::DbConnection->lockWait(), 1500);
        QVERIFY(folder.exitCodes.empty());
    }
};

QTEST_MAIN(Form1LockTest)
#include "form1_lock_test.moc"
