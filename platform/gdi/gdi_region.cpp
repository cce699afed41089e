// Regions and window shapes.
#include <QRegion>
#include <QWidget>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/gdi_shape.h"

namespace gdi {

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    auto spans = roundRectSpans(left, top, right, bottom, ellipseWidth, ellipseHeight);
    auto* region = new Region;
    region->left = std::min(left, right);
    region->top = std::min(top, bottom);
    region->width = spans.empty() ? 0 : std::abs(right - left);
    region->height = int(spans.size());
    region->spans = std::move(spans);
    return region;
}

bool PtInRegion(HRGN region, int x, int y)
{
    if (!region)
        return false;
    const long long row = (long long)y - region->top;
    if (row < 0 || row >= (long long)region->spans.size())
        return false;
    const auto& span = region->spans[std::size_t(row)];
    return x >= span.first && x < span.second;
}

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
