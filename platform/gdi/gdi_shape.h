#pragma once
// Shapes shared by the outline and region code of the raster layer.

#include <utility>
#include <vector>

namespace gdi {

// The pixel rows of a rounded rectangle filling the box [left, right) x
// [top, bottom) with corner ellipses ellipseWidth x ellipseHeight (clamped
// to the box; 0 or 1 gives square corners). Entry i is the half-open run of
// columns of row top + i; the runs are symmetric about both centre lines.
// An empty box, or one taller or wider than kMaxShapeExtent, yields no rows.
constexpr int kMaxShapeExtent = 1 << 16;
std::vector<std::pair<int, int>> roundRectSpans(int left, int top, int right, int bottom, int ellipseWidth,
                                                int ellipseHeight);

}  // namespace gdi
