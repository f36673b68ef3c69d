// The order in which Tab walks a page: as the page reads, row by row from
// the top, and left to right within a row.
#pragma once

#include <QRect>
#include <vector>

// Controls whose tops lie within this many pixels share a row (a label's
// field sits a pixel or two off its neighbour's).
inline constexpr int kTabRowTolerance = 8;

// The indices of `places` (window coordinates) in reading order. A control
// joins the row of the control above it when its top is within the
// tolerance of that row's first top; ties keep the given order.
std::vector<int> readingOrder(const std::vector<QRect>& places,
                              int rowTolerance = kTabRowTolerance);
