// Regions.
#include <algorithm>
#include <cstdlib>

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

}  // namespace gdi
