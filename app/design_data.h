#pragma once
// The window's design data: the stored property bags of its controls.

#include <QMap>
#include <QString>

#include "controls/lumenbutton/property_bag.h"

namespace design {

// Parses design text ("Begin <Kind> <Name> ... End" blocks of "key = value"
// lines) into a bag per control name. Unparseable lines are skipped.
QMap<QString, PropertyBag> ParseDesignData(const QString& text);

// The main window's design data, from the program's resources.
const QMap<QString, PropertyBag>& Form1Design();

}  // namespace design
