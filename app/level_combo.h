#pragma once
// The level list: its popup opens below the box (above it only when the
// screen has no room below), never with the current entry laid over the
// box, where the release of a click that opened it picks a neighbour.

#include <QComboBox>

class LevelCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
};
