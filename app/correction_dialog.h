#pragma once
// Asks how a recorded draw's level is to be corrected: the level (one of the
// levels, or typed), the prize (may stay empty) and the reason, which the
// record requires. The draw's own entry never changes; the correction is
// added after it.

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;

class CorrectionDialog : public QDialog {
    Q_OBJECT
public:
    // `levels` to choose from; the current level is preselected.
    CorrectionDialog(long long drawId, const QStringList& levels, const QString& level, const QString& prize,
                     QWidget* parent = nullptr);

    QString level() const;
    QString prize() const;
    QString reason() const;
    QComboBox* levelBox() const { return m_level; }
    QLineEdit* prizeEdit() const { return m_prize; }
    QLineEdit* reasonEdit() const { return m_reason; }

    // Refuses to close without a level and a reason, saying which is missing.
    void accept() override;

private:
    QComboBox* m_level;
    QLineEdit* m_prize;
    QLineEdit* m_reason;
};
