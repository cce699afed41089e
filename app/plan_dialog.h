#pragma once
// The event's prize plan as the operator edits it: the rounds in order with
// their level, prize, count, group rule and state. Rounds drawn or announced
// already are shown but cannot change or move; the others can be added,
// removed, moved and edited, and the whole plan read from or written to a
// plan file. Saving hands the rounds to the caller, who stores them and says
// why not when it cannot.

#include <functional>
#include <vector>

#include <QDialog>

#include "draw/prize_plan.h"

class QPushButton;
class QTableWidget;

class PlanDialog : public QDialog {
    Q_OBJECT
public:
    // Stores the rounds; returns "" when they were stored, else why not, in
    // plain words.
    using Saver = std::function<QString(const std::vector<draw::PlanRound>&)>;

    PlanDialog(const std::vector<draw::PlanRound>& rounds, Saver saver, QWidget* parent = nullptr);

    // The rounds as the table now holds them; false with `problem` (naming
    // the round) for a count or a group rule that cannot be read.
    bool rounds(std::vector<draw::PlanRound>& rounds, QString& problem) const;
    // Replaces the rounds shown (an imported file); rounds at the same place
    // as a drawn or announced one keep its state, so that saving an
    // unchanged file changes nothing.
    void setRounds(const std::vector<draw::PlanRound>& rounds);

    QTableWidget* table() const { return m_table; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* upButton() const { return m_up; }
    QPushButton* downButton() const { return m_down; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* saveButton() const { return m_save; }

    // Columns of the table.
    enum Column { Number, Level, Prize, Count, Groups, State, Columns };

private:
    void fillRow(int row, const draw::PlanRound& round);
    bool locked(int row) const;
    void addRound();
    void removeRound();
    void moveRound(int step);
    void importPlan();
    void exportPlan();
    void save();
    void renumber();
    void refuse(const QString& why);

    QTableWidget* m_table;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
    QPushButton* m_import;
    QPushButton* m_export;
    QPushButton* m_save;
    Saver m_saver;
    std::vector<draw::PlanRound> m_stored;  // as read: whose states an import keeps
};
