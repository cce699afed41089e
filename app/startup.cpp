#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QScreen>

#include "app/conn.h"
#include "app/form1.h"
#include "platform/ui/message_box.h"

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
    if (!conn::OpenDatabase(appFolder + QStringLiteral("/Sbase.mdb"), QString(), QString()))
        return 1;

    form1 window(appFolder);
    ui::setMessageBoxParent(&window);
    if (!window.Form_Load())
        return 1;
    // A high desktop scale or a small screen: scaled down rather than off-screen.
    window.fitInto(window.screen()->availableGeometry());
    window.show();
    return app.exec();
}

}  // namespace startup
