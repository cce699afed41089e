#include "export/evidence/document_pdf.h"

#include <memory>

#include <QtCore/QSaveFile>
#include <QtCore/QUrl>
#include <QtGui/QGuiApplication>
#include <QtGui/QPageSize>
#include <QtGui/QPdfWriter>
#include <QtGui/QTextDocument>

#include "platform/language/language.h"

namespace evidence {
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

std::string HtmlText(const std::string& text)
{
    return QString::fromStdString(text).toHtmlEscaped().toStdString();
}

PdfDocument LinesDocument(const std::vector<std::string>& lines)
{
    PdfDocument document;
    document.title = lines.empty() ? std::string() : lines.front();
    for (const std::string& line : lines)
        document.html += "<p>" + HtmlText(line) + "</p>";
    return document;
}

bool WritePdf(const PdfDocument& document, const std::string& path, std::string& error)
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
        writer.setTitle(QString::fromStdString(document.title));
        writer.setCreator(QStringLiteral("Sortia"));
        QTextDocument text;
        text.setDefaultStyleSheet(QStringLiteral("body { font-size: 11pt } .digest { font-family: monospace }"));
        for (const auto& [name, image] : document.images)
            text.addResource(QTextDocument::ImageResource, QUrl(QString::fromStdString(name)), image);
        text.setHtml(QStringLiteral("<body>") + QString::fromStdString(document.html) + QStringLiteral("</body>"));
        // Without a page size of its own the document is laid out on the
        // writer's pages, at the writer's resolution, and numbered.
        text.print(&writer);
    }
    if (!file.commit()) {
        error = lang::trf("cannot write '%1': %2", "无法写入“%1”：%2", {path, file.errorString().toStdString()});
        return false;
    }
    return true;
}

}  // namespace evidence
