// The weight table, worked out by the compiler: a pass that needs it pays
// nothing for it, not even the first call into the maths library (about a
// tenth of a millisecond, as much as a whole pass over a small mesh).
#include "modified_rule.h"

#include <array>

namespace {

using WeightTable = std::array<std::array<double, kTabledValences>, kTabledValences + 1>;

constexpr double kPi = 3.14159265358979323846;

// Power series, for the angle of one step around a fan of five or more
// (at most 2 pi / 5), where twenty terms are exact to the last bit.
constexpr double seriesCos(double x) {
  double term = 1.0, sum = 1.0;
  for (int n = 1; n < 20; ++n) {
    term *= -x * x / ((2.0 * n - 1.0) * (2.0 * n));
    sum += term;
  }
  return sum;
}

constexpr double seriesSin(double x) {
  double term = x, sum = x;
  for (int n = 1; n < 20; ++n) {
    term *= -x * x / ((2.0 * n) * (2.0 * n + 1.0));
    sum += term;
  }
  return sum;
}

// The cosines of a row by turning one step at a time.
constexpr void fillRow(uint32_t valence, std::array<double, kTabledValences>& row) {
  if (valence == 3) {
    row[0] = 5.0 / 12.0;
    row[1] = row[2] = -1.0 / 12.0;
    return;
  }
  if (valence == 4) {
    row[0] = 3.0 / 8.0;
    row[1] = row[3] = 0.0;
    row[2] = -1.0 / 8.0;
    return;
  }
  const double stepCos = seriesCos(2.0 * kPi / valence), stepSin = seriesSin(2.0 * kPi / valence);
  double c = 1.0, s = 0.0;
  for (uint32_t j = 0; j < valence; ++j) {
    const double twice = 2.0 * c * c - 1.0;
    row[j] = (0.25 + c + 0.5 * twice) / valence;
    const double turned = c * stepCos - s * stepSin;
    s = s * stepCos + c * stepSin;
    c = turned;
  }
}

constexpr WeightTable makeTable() {
  WeightTable table{};
  for (uint32_t valence = 3; valence <= kTabledValences; ++valence) fillRow(valence, table[valence]);
  return table;
}

constexpr WeightTable kWeights = makeTable();

}  // namespace

double irregularWeight(uint32_t valence, uint32_t j) { return kWeights[valence][j]; }
