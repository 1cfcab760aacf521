// The weight table, made on first use (thread-safe, as any local static).
#include "modified_rule.h"

#include <array>
#include <cmath>

namespace {

double computedWeight(uint32_t valence, uint32_t j) {
  if (valence == 3) return j == 0 ? 5.0 / 12.0 : -1.0 / 12.0;
  if (valence == 4) return j == 0 ? 3.0 / 8.0 : j == 2 ? -1.0 / 8.0 : 0.0;
  const double pi = 3.14159265358979323846;
  const double angle = 2.0 * pi * static_cast<double>(j) / static_cast<double>(valence);
  return (0.25 + std::cos(angle) + 0.5 * std::cos(2.0 * angle)) / static_cast<double>(valence);
}

using WeightTable = std::array<std::array<double, kTabledValences>, kTabledValences + 1>;

WeightTable makeTable() {
  WeightTable table{};
  for (uint32_t valence = 3; valence <= kTabledValences; ++valence) {
    for (uint32_t j = 0; j < valence; ++j) table[valence][j] = computedWeight(valence, j);
  }
  return table;
}

}  // namespace

double irregularWeight(uint32_t valence, uint32_t j) {
  static const WeightTable table = makeTable();
  return table[valence][j];
}
