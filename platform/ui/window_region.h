#pragma once
// Window shapes: a raster-layer region given to a widget as its mask.

#include "platform/gdi/gdi.h"

class QWidget;

namespace gdi {

// Gives the region to a window, which owns it from then on (it becomes the
// widget's mask; nullptr clears the mask). Without a window the region is
// deleted and 0 returned; otherwise 1.
int SetWindowRgn(QWidget* window, HRGN region, bool redraw);

}  // namespace gdi
