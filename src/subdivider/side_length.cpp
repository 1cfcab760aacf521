#include "side_length.h"

#include <algorithm>
#include <cmath>

double finiteDiagonal(const BigArray<FloatPoint>& positions) {
  double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  bool any = false;
  for (const FloatPoint& p : positions) {
    const double c[3] = {p.x, p.y, p.z};
    if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2])) continue;
    for (int k = 0; k < 3; ++k) {
      low[k] = any ? std::min(low[k], c[k]) : c[k];
      high[k] = any ? std::max(high[k], c[k]) : c[k];
    }
    any = true;
  }
  return std::sqrt((high[0] - low[0]) * (high[0] - low[0]) + (high[1] - low[1]) * (high[1] - low[1]) +
                   (high[2] - low[2]) * (high[2] - low[2]));
}

double resolvedMaxEdge(const BigArray<FloatPoint>& positions, double maxEdge, bool percent) {
  return percent ? maxEdge / 100 * finiteDiagonal(positions) : maxEdge;
}
