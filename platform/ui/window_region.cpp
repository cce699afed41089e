#include "platform/ui/window_region.h"

#include <QRegion>
#include <QWidget>

#include "platform/gdi/gdi_internal.h"

namespace gdi {

int SetWindowRgn(QWidget* window, HRGN region, bool)
{
    // The window keeps the shape as its mask; the region object itself is
    // the window's to dispose of, and it needs no more than the copy.
    if (!window) {
        DeleteObject(region);
        return 0;
    }
    if (!region) {
        window->clearMask();
        return 1;
    }
    QRegion mask;
    for (std::size_t i = 0; i < region->spans.size(); ++i) {
        const auto& [a, b] = region->spans[i];
        if (b > a)
            mask += QRect(a, region->top + int(i), b - a, 1);
    }
    DeleteObject(region);
    window->setMask(mask);
    return 1;
}

}  // namespace gdi
