#pragma once
// The recorded draws, newest first, from which the operator prints or
// exports any one again.

#include <vector>

#include <QDialog>

#include "draw/draw_record.h"

class QPushButton;
class QTableWidget;

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryDialog(const std::vector<draw::DrawRecord>& draws, QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }
    QPushButton* printButton() const { return m_print; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* closeButton() const { return m_close; }
    // The draw of the selected row; 0 when no row is selected.
    long long selectedDraw() const;

signals:
    void printRequested(long long drawId);
    void exportRequested(long long drawId);

private:
    QTableWidget* m_table;
    QPushButton* m_print;
    QPushButton* m_export;
    QPushButton* m_close;
};
