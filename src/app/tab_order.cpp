#include "app/tab_order.h"

#include <algorithm>
#include <numeric>

std::vector<int> readingOrder(const std::vector<QRect>& places, int rowTolerance) {
  std::vector<int> order(places.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return places[a].top() < places[b].top(); });
  // Rows: a run of controls whose tops lie near the run's first top.
  auto rowStart = order.begin();
  while (rowStart != order.end()) {
    const int top = places[*rowStart].top();
    auto rowEnd = std::find_if(rowStart, order.end(),
                               [&](int i) { return places[i].top() - top > rowTolerance; });
    std::stable_sort(rowStart, rowEnd,
                     [&](int a, int b) { return places[a].left() < places[b].left(); });
    rowStart = rowEnd;
  }
  return order;
}
