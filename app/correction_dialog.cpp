#include "app/correction_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/draw_view.h"
#include "draw/draw_picks.h"
#include "platform/ui/message_box.h"

using drawview::Say;

CorrectionDialog::CorrectionDialog(long long drawId, const QStringList& levels, const QString& level,
                                   const QString& prize, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(Say("Correct draw %1", "更正第 %1 次抽奖").arg(drawId));
    auto* layout = new QFormLayout(this);
    layout->addRow(new QLabel(Say("The draw stays as recorded; the correction is added to the record after it.",
                                  "原抽奖记录不变，更正将追加记入抽奖记录。"),
                              this));
    m_level = new QComboBox(this);
    m_level->setEditable(true);
    m_level->addItems(levels);
    m_level->setCurrentText(level);
    m_prize = new QLineEdit(prize, this);
    m_reason = new QLineEdit(this);
    m_reason->setMaxLength(int(draw::kMaxRecordText));
    m_reason->setPlaceholderText(Say("required", "必填"));
    layout->addRow(Say("Level:", "等级："), m_level);
    layout->addRow(Say("Prize:", "奖品："), m_prize);
    layout->addRow(Say("Reason:", "原因："), m_reason);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Say("Correct", "更正"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Say("Cancel", "取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
    m_reason->setFocus();
}

QString CorrectionDialog::level() const
{
    return m_level->currentText().trimmed();
}

QString CorrectionDialog::prize() const
{
    return m_prize->text().trimmed();
}

QString CorrectionDialog::reason() const
{
    return m_reason->text().trimmed();
}

void CorrectionDialog::accept()
{
    QString missing;
    if (level().isEmpty())
        missing = Say("Choose or type the level the draw should have.", "请选择或输入正确的等级。");
    else if (reason().isEmpty())
        missing = Say("Say why the level is corrected; the record keeps the reason.", "请填写更正原因，抽奖记录会保存该原因。");
    if (!missing.isEmpty()) {
        ui::messageBox().show(missing, windowTitle(), ui::Buttons::Ok, ui::Icon::Exclamation);
        return;
    }
    QDialog::accept();
}
