#include "app/conn.h"

#include <cstdlib>

#include <QApplication>

#include "platform/ui/message_box.h"

namespace conn {

std::unique_ptr<store::DbConnection> DbConnection;

namespace {
std::function<void(int)> g_exit;
}

QString AppTitle()
{
    return QStringLiteral("Sortia");
}

void setExitHandler(std::function<void(int)> handler)
{
    g_exit = std::move(handler);
}

void ExitProgram(int code)
{
    if (g_exit) {
        g_exit(code);
        return;
    }
    // Nothing is saved: the database objects go with the process.
    std::exit(code);
}

void FatalError(const QString& description)
{
    ui::messageBox().show(description, AppTitle(), ui::Buttons::Ok, ui::Icon::Critical);
    ExitProgram(1);
}

// The database carries no user name of its own: the user of a server
// database comes with its address.
bool OpenDatabase(const QString& dbPath, const QString& extraText, const QString&)
{
    const std::string connectionString = store::BuildConnectionString(dbPath.toStdString(), extraText.toStdString());
    DbConnection = std::make_unique<store::DbConnection>();
    if (DbConnection->Open(connectionString))
        return true;
    ui::messageBox().show(QString::fromStdString(DbConnection->error()), AppTitle(), ui::Buttons::Ok,
                          ui::Icon::None);
    ExitProgram(1);
    return false;
}

}  // namespace conn
