#include "platform/ui/message_box.h"

#include <QMessageBox>
#include <QPointer>

namespace ui {
namespace {

QPointer<QWidget> g_parent;

class QtMessageBoxes : public MessageBoxService {
public:
    Result show(const QString& text, const QString& title, Buttons buttons, Icon icon, Result defaultButton) override
    {
        QMessageBox box(g_parent);
        box.setWindowTitle(title);
        box.setText(text);
        switch (icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
        }
        if (buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(defaultButton == Result::Yes ? QMessageBox::Yes : QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? Result::Yes : Result::No;
        }
        if (buttons == Buttons::RetryCancel) {
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            box.setDefaultButton(defaultButton == Result::Cancel ? QMessageBox::Cancel : QMessageBox::Retry);
            box.setEscapeButton(QMessageBox::Cancel);
            return box.exec() == QMessageBox::Retry ? Result::Retry : Result::Cancel;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Result::Ok;
    }
};

QtMessageBoxes g_qtBoxes;
MessageBoxService* g_service = nullptr;

}  // namespace

MessageBoxService& messageBox()
{
    return g_service ? *g_service : g_qtBoxes;
}

void setMessageBoxService(MessageBoxService* service)
{
    g_service = service;
}

void setMessageBoxParent(QWidget* parent)
{
    g_parent = parent;
}

bool confirmOverwrite(const QString&)
{
    return messageBox().show(QStringLiteral("Overwrite current file?"), QStringLiteral("Overwrite Confirmation"),
                             Buttons::YesNo, Icon::Question, Result::No) == Result::Yes;
}

}  // namespace ui
