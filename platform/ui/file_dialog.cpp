#include "platform/ui/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace ui {
namespace {

// The first "*.ext" of a filter such as "Excel (*.xlsx)".
QString suffixOf(const QString& filter)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

class QtFileDialogs : public FileDialogService {
public:
    // Qt's own dialogs: a desktop portal may be missing on a show machine.
    QString saveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                     const QString& filters) override
    {
        QString chosenFilter;
        QString file = QFileDialog::getSaveFileName(parent, title, suggestedPath, filters, &chosenFilter,
                                                    QFileDialog::DontUseNativeDialog);
        if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty()) {
            const QString suffix = suffixOf(chosenFilter.isEmpty() ? filters : chosenFilter);
            if (!suffix.isEmpty())
                file += QLatin1Char('.') + suffix;
        }
        return file;
    }
    QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filters) override
    {
        return QFileDialog::getOpenFileName(parent, title, folder, filters, nullptr, QFileDialog::DontUseNativeDialog);
    }
};

QtFileDialogs g_qtDialogs;
FileDialogService* g_service = nullptr;

}  // namespace

FileDialogService& fileDialogs()
{
    return g_service ? *g_service : g_qtDialogs;
}

void setFileDialogService(FileDialogService* service)
{
    g_service = service;
}

}  // namespace ui
