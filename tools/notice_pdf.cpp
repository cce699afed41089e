#include "tools/notice_pdf.h"

#include <memory>

#include <QtCore/QFile>
#include <QtCore/QSaveFile>
#include <QtGui/QGuiApplication>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtGui/QPdfWriter>
#include <QtGui/QTextDocument>

#include "platform/language/language.h"

namespace dbrecord {
namespace {

// Fonts need a GUI application; a command-line tool has none, so it makes
// one on the screenless platform while the page is written.
std::unique_ptr<QGuiApplication> applicationForFonts()
{
    if (QCoreApplication::instance())
        return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "sortia-db";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// Qt's remarks on the environment (no runtime folder, no screen) mean
// nothing to someone writing a notice.
class QuietQt {
public:
    QuietQt() : m_previous(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~QuietQt() { qInstallMessageHandler(m_previous); }

private:
    QtMessageHandler m_previous;
};

}  // namespace

bool WriteNoticePdf(const std::vector<std::string>& lines, const std::string& path, std::string& error)
{
    const QuietQt quiet;
    const std::unique_ptr<QGuiApplication> application = applicationForFonts();
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        error = lang::trf("cannot write '%1': %2", "无法写入“%1”：%2", {path, file.errorString().toStdString()});
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(QString::fromStdString(lines.empty() ? std::string() : lines.front()));
        writer.setCreator(QStringLiteral("sortia-db"));
        QTextDocument document;
        QString text;
        for (const std::string& line : lines)
            text += QString::fromStdString(line).toHtmlEscaped() + QStringLiteral("<br>");
        document.setHtml(QStringLiteral("<div style=\"font-size: 11pt\">") + text + QStringLiteral("</div>"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = lang::trf("cannot write '%1'", "无法写入“%1”", {path});
            file.cancelWriting();
            return false;
        }
        const QRectF page = writer.pageLayout().paintRectPixels(writer.resolution());
        document.setPageSize(page.size());
        document.setTextWidth(page.width());
        document.drawContents(&painter);
        painter.end();
    }
    if (!file.commit()) {
        error = lang::trf("cannot write '%1': %2", "无法写入“%1”：%2", {path, file.errorString().toStdString()});
        return false;
    }
    return true;
}

}  // namespace dbrecord
