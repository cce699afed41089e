#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFont>

#include "app/conn.h"
#include "app/form1.h"
#include "platform/ui/message_box.h"
#include "store/settings_file.h"

namespace startup {

void InstallFontSubstitutes()
{
    // A Song (Ming) face for the Chinese captions, a plain sans face for the grids.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("AR PL SungtiL GB")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

int Main(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Sortia"));
    QApplication::setApplicationVersion(QStringLiteral("1.3.4"));
    InstallFontSubstitutes();

    const QString appFolder = QDir::cleanPath(QApplication::applicationDirPath());
    // sortia.ini beside the program may name another database, such as a server's.
    std::string error;
    const std::optional<std::string> configured = store::ConfiguredDataSource(appFolder.toStdString(), error);
    if (!error.empty()) {
        ui::messageBox().show(QString::fromStdString(error), conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
        return 1;
    }
    const QString dbPath = configured ? QString::fromStdString(*configured) : appFolder + QStringLiteral("/Sbase.mdb");
    if (!conn::OpenDatabase(dbPath, QString(), QString()))
        return 1;

    form1 window(appFolder);
    ui::setMessageBoxParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    return app.exec();
}

}  // namespace startup
