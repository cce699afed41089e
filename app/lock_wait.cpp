#include "app/lock_wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include "app/conn.h"
#include "app/draw_view.h"
#include "platform/language/language.h"
#include "platform/ui/message_box.h"
#include "store/connection.h"

using drawview::Say;
using drawview::Text;

namespace lockwait {

namespace {

// Restores the connection's lock wait and the cursor however the wait ends.
class WaitScope {
public:
    explicit WaitScope(store::DbConnection& connection) : m_connection(connection), m_lockWait(connection.lockWait())
    {
        m_connection.setLockWait(kPollMs);
    }
    ~WaitScope()
    {
        m_connection.setLockWait(m_lockWait);
        if (m_cursor)
            QApplication::restoreOverrideCursor();
    }
    void showBusyCursor()
    {
        if (!m_cursor)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursor = true;
    }
    int lockWait() const { return m_lockWait; }

private:
    store::DbConnection& m_connection;
    int m_lockWait;
    bool m_cursor = false;
};

QString noticeText(const store::DbConnection& connection)
{
    return Text(lang::trf("Another program holds a lock on the database file '%1'. Waiting for it to finish…\n"
                          "Nothing has been marked yet.",
                          "另一个程序锁住了数据库文件“%1”。正在等待它完成……\n目前还没有标记任何人。",
                          {connection.shownDataSource()}));
}

// Waits up to `limitMs` with the notice shown; true when the attempt got in.
bool waitWithNotice(QWidget* window, const QString& text, int limitMs, const std::function<bool()>& attempt,
                    bool& gaveUp)
{
    QProgressDialog notice(text, Say("Give up", "放弃"), 0, 0, window);
    notice.setObjectName(QLatin1String(kNoticeName));
    notice.setWindowTitle(conn::AppTitle());
    notice.setWindowModality(Qt::WindowModal);
    notice.setMinimumDuration(0);
    notice.show();
    QElapsedTimer waited;
    waited.start();
    while (!notice.wasCanceled() && waited.elapsed() < limitMs) {
        QApplication::processEvents();
        if (notice.wasCanceled())
            break;
        if (!attempt())
            return true;
    }
    gaveUp = notice.wasCanceled();
    return false;
}

}  // namespace

Outcome RunWaiting(store::DbConnection& connection, QWidget* window, const std::function<bool()>& attempt)
{
    WaitScope scope(connection);
    if (!attempt())
        return Outcome::Finished;
    scope.showBusyCursor();
    const QString text = noticeText(connection);
    for (;;) {
        bool gaveUp = false;
        if (waitWithNotice(window, text, scope.lockWait(), attempt, gaveUp))
            return Outcome::Finished;
        if (gaveUp)
            return Outcome::GaveUp;
        const QString question =
            text + QStringLiteral("\n\n") +
            Text(lang::trf("The lock has been held for %1 seconds. Retry waits again; Cancel gives up, and the "
                           "program ends without marking anyone.",
                           "锁已被占用 %1 秒。按 Retry（重试）继续等待；按 Cancel（取消）则放弃，程序结束，不标记任何人。",
                           {std::to_string((scope.lockWait() + 999) / 1000)}));
        QApplication::restoreOverrideCursor();
        const ui::Result answer = ui::messageBox().show(question, conn::AppTitle(), ui::Buttons::RetryCancel,
                                                        ui::Icon::Exclamation, ui::Result::Retry);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (answer != ui::Result::Retry)
            return Outcome::GaveUp;
    }
}

}  // namespace lockwait
