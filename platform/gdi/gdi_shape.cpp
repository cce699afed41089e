#include "platform/gdi/gdi_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gdi {

std::vector<std::pair<int, int>> roundRectSpans(int left, int top, int right, int bottom, int ellipseWidth,
                                                int ellipseHeight)
{
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    const long long w = (long long)right - left;
    const long long h = (long long)bottom - top;
    std::vector<std::pair<int, int>> spans;
    if (w <= 0 || h <= 0 || w > kMaxShapeExtent || h > kMaxShapeExtent)
        return spans;
    // Corner ellipses sit in the box's corners; a pixel belongs to the shape
    // when its centre lies inside. Measuring from both edges with the same
    // inset keeps the shape symmetric, as the window's corners must match.
    const double rx = std::min<long long>(std::abs((long long)ellipseWidth), w) / 2.0;
    const double ry = std::min<long long>(std::abs((long long)ellipseHeight), h) / 2.0;
    const bool rounded = rx >= 1.0 && ry >= 1.0;
    spans.reserve(std::size_t(h));
    for (long long i = 0; i < h; ++i) {
        const double yc = double(i) + 0.5;
        double inset = 0.0;
        if (rounded) {
            double dy = 0.0;
            if (yc < ry)
                dy = (ry - yc) / ry;
            else if (yc > double(h) - ry)
                dy = (yc - (double(h) - ry)) / ry;
            if (dy > 0.0)
                inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        }
        const long long first = (long long)std::ceil(inset - 0.5 - 1e-9);
        const long long end = w - first;
        if (first >= end)
            spans.emplace_back(left, left);
        else
            spans.emplace_back(int(left + first), int(left + end));
    }
    return spans;
}

}  // namespace gdi
