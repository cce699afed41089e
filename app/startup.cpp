#include "app/startup.h"

#include <optional>
#include <string>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

#include "app/audience_screens.h"
#include "app/conn.h"
#include "app/draw_view.h"
#include "app/dialog_labels.h"
#include "app/form1.h"
#include "platform/folders/program_folders.h"
#include "platform/language/language.h"
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

bool InstallTranslations()
{
    if (lang::uiLanguage() != lang::Language::Chinese)
        return false;
    // The system may name only the language (LANGUAGE=zh); China's catalogue then.
    QLocale locale = QLocale::system();
    if (locale.language() != QLocale::Chinese)
        locale = QLocale(QLocale::Chinese, QLocale::China);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

bool ReportMissingDatabase(const QString& databasePath)
{
    if (!folders::installed() || QFileInfo::exists(databasePath))
        return false;
    const std::string message = lang::trf(
        "The participant database was not found.\n\n"
        "Looked for: %1\n\n"
        "Create it with sortia-db, which uses this same file:\n"
        "  sortia-db create\n"
        "  sortia-db import participants.csv\n"
        "or, to try the program with 200 made-up participants:\n"
        "  sortia-db create --demo 200",
        "找不到参与者数据库。\n\n"
        "查找位置：%1\n\n"
        "请用 sortia-db 创建（它使用的就是这个文件）：\n"
        "  sortia-db create\n"
        "  sortia-db import participants.csv\n"
        "或者用 200 个虚构的参与者试用本程序：\n"
        "  sortia-db create --demo 200",
        {QDir::toNativeSeparators(databasePath).toStdString()});
    ui::messageBox().show(QString::fromStdString(message), conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Critical);
    return true;
}

std::optional<int> AudienceScreenArgument(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    const QCommandLineOption audience(QStringLiteral("audience"), QString(), QStringLiteral("screen"));
    parser.addOption(audience);
    error.clear();
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = drawview::Say("Unexpected argument: %1", "无法识别的参数：%1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }
    if (!parser.isSet(audience))
        return std::nullopt;
    bool number = false;
    const int screen = parser.value(audience).toInt(&number);
    if (!number || screen < 0) {
        error = drawview::Say("--audience takes the number of a screen (0 for the first): %1",
                              "--audience 后面应是屏幕编号（第一块屏幕为 0）：%1")
                    .arg(parser.value(audience));
        return std::nullopt;
    }
    return screen;
}

void CacheLargeGlyphs()
{
    // Qt's raster painter keeps glyphs up to 64 pixels and draws larger ones
    // from their outlines every time; the console's display in full screen
    // needs up to 150 pixels (48 at the design's size, 3840 x 2160) and
    // repaints at every frame of a roll.
    if (!qEnvironmentVariableIsSet("QT_MAX_CACHED_GLYPH_SIZE"))
        qputenv("QT_MAX_CACHED_GLYPH_SIZE", "160");
}

int Main(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Sortia"));
    QApplication::setApplicationVersion(QStringLiteral(SORTIA_VERSION));
    InstallFontSubstitutes();
    InstallTranslations();
    CacheLargeGlyphs();
    dialoglabels::Install();

    QString argumentError;
    const std::optional<int> audienceScreen = AudienceScreenArgument(QApplication::arguments(), argumentError);
    if (!argumentError.isEmpty()) {
        ui::messageBox().show(argumentError, conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
        return 2;
    }

    // sortia.ini beside the program may name another database, such as a
    // server's; else the file beside the program, or the user's data folder
    // when installed.
    const store::Settings settings = store::ReadSettings(folders::programFolder());
    if (!settings.error.empty()) {
        ui::messageBox().show(QString::fromStdString(settings.error), conn::AppTitle(), ui::Buttons::Ok,
                              ui::Icon::None);
        return 1;
    }
    if (!settings.warning.empty())
        ui::messageBox().show(QString::fromStdString(settings.warning), conn::AppTitle(), ui::Buttons::Ok,
                              ui::Icon::Exclamation);
    const std::optional<std::string>& configured = settings.dataSource;
    const QString database = QString::fromStdString(configured ? *configured : folders::databasePath());
    if (!configured && ReportMissingDatabase(database))
        return 1;
    if (!conn::OpenDatabase(database, QString(), QString()))
        return 1;

    form1 window(QDir::cleanPath(QString::fromStdString(folders::resourceFolder())));
    ui::setMessageBoxParent(&window);
    if (!window.Form_Load())
        return 1;
    // A high desktop scale or a small screen: scaled down rather than off-screen.
    window.fitInto(window.screen()->availableGeometry());
    window.show();
    // Beside the console: on the other screen, or the one asked for.
    window.audienceScreens().showAtStart(audienceScreen);
    return app.exec();
}

}  // namespace startup
