#pragma once
// The recorded draws, newest first, from which the operator prints or
// exports any one again, writes its evidence pack, or corrects its level. A corrected draw shows its
// corrected level and prize with a note of what it was and why.

#include <vector>

#include <QDialog>

#include "draw/draw_record.h"

class QPushButton;
class QTableWidget;

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryDialog(const std::vector<draw::DrawRecord>& draws, QWidget* parent = nullptr);
    // Shows the draws afresh (after a correction), keeping the selected draw selected.
    void setDraws(const std::vector<draw::DrawRecord>& draws);

    QTableWidget* table() const { return m_table; }
    QPushButton* printButton() const { return m_print; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* correctButton() const { return m_correct; }
    QPushButton* evidenceButton() const { return m_evidence; }
    QPushButton* closeButton() const { return m_close; }
    // The draw of the selected row; 0 when no row is selected.
    long long selectedDraw() const;

signals:
    void printRequested(long long drawId);
    void exportRequested(long long drawId);
    void correctRequested(long long drawId);
    void evidenceRequested(long long drawId);

private:
    QTableWidget* m_table;
    QPushButton* m_print;
    QPushButton* m_export;
    QPushButton* m_correct;
    QPushButton* m_evidence;
    QPushButton* m_close;
};
