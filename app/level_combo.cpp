#include "app/level_combo.h"

#include <QAbstractItemView>
#include <QScreen>

void LevelCombo::showPopup()
{
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (!popup || popup == window())
        return;
    QRect shown = popup->geometry();
    const QRect room = screen()->availableGeometry();
    shown.moveTopLeft(mapToGlobal(QPoint(0, height())));
    if (shown.bottom() > room.bottom())
        shown.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);
    popup->setGeometry(shown);
}
