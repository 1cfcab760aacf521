#include "modified_points.h"

#include <cmath>

#include "fan_order.h"
#include "modified_rule.h"
#include "pair_table.h"
#include "parallel_ranges.h"
#include "stencil_rules.h"

namespace {

constexpr double kSixteenth = 1.0 / 16.0;
constexpr double kPi = 3.14159265358979323846;

// A crowded fan's neighbours summed against the cosine and sine of their
// place angles (2 pi m / K and twice that): since s(K, j) depends on j only
// through those cosines, the stencil from any of its K sides is then a
// handful of terms, and a hub of K neighbours costs K, not K squared.
struct FanSums {
  Point3 all, cos1, sin1, cos2, sin2;
};

struct CrowdedFans {
  PairTable slots;  // (vertex, 0) -> its sums
  BigArray<FanSums> sums;
};

Point3 positionIn(const StencilIndex& index, uint32_t v) {
  const FloatPoint& p = index.positions[v];
  return {p.x, p.y, p.z};
}

void sumCrowdedFans(const StencilIndex& index, CrowdedFans& crowded) {
  const SidesByStart& group = index.byRecords;
  for (uint32_t v = 0; v + 1 < group.first.size(); ++v) {
    const uint32_t valence = group.first[v + 1] - group.first[v];
    if (!index.closedFans[v] || valence <= kTabledValences) continue;
    FanSums sums{};
    for (uint32_t m = 0; m < valence; ++m) {
      const Point3 p = positionIn(index, fanNeighbour(group, v, m));
      const double angle = 2.0 * kPi * m / valence;
      sums.all = sums.all + p;
      sums.cos1 = sums.cos1 + std::cos(angle) * p;
      sums.sin1 = sums.sin1 + std::sin(angle) * p;
      sums.cos2 = sums.cos2 + std::cos(2.0 * angle) * p;
      sums.sin2 = sums.sin2 + std::sin(2.0 * angle) * p;
    }
    crowded.slots.findOrInsert(v, 0, static_cast<uint32_t>(crowded.sums.size()));
    crowded.sums.push_back(sums);
  }
}

struct FanLookup {
  const StencilIndex& index;
  const CrowdedFans& crowded;

  // The valence of v when its neighbours form one closed fan, else 0.
  uint32_t fanValence(uint32_t v) const {
    return index.closedFans[v] ? index.byRecords.first[v + 1] - index.byRecords.first[v] : 0;
  }
  Point3 neighbour(uint32_t v, uint32_t place) const {
    const FloatPoint& p = index.positions[fanNeighbour(index.byRecords, v, place)];
    return {p.x, p.y, p.z};
  }
  Point3 position(uint32_t v) const { return positionIn(index, v); }

  // 3/4 a + sum of s(K, j) v(j), v(0) = b, around a's fan of valence K.
  Point3 irregularStencil(uint32_t a, uint32_t b, uint32_t valence) const {
    const uint32_t start = placeInFan(index.byRecords, a, b);
    if (valence > kTabledValences) return 0.75 * position(a) + crowdedSum(a, start, valence);
    Point3 sum = 0.75 * position(a);
    for (uint32_t j = 0; j < valence; ++j) sum = sum + irregularWeight(valence, j) * neighbour(a, start + j);
    return sum;
  }

  // sum of s(K, j) v(start + j): cos(2 pi j / K) with j = m - start is
  // cos(2 pi m / K) cos(2 pi start / K) + sin(2 pi m / K) sin(2 pi start / K).
  Point3 crowdedSum(uint32_t a, uint32_t start, uint32_t valence) const {
    const FanSums& s = crowded.sums[*crowded.slots.find(a, 0)];
    const double angle = 2.0 * kPi * start / valence;
    const Point3 first = std::cos(angle) * s.cos1 + std::sin(angle) * s.sin1;
    const Point3 second = std::cos(2.0 * angle) * s.cos2 + std::sin(2.0 * angle) * s.sin2;
    return (1.0 / valence) * (0.25 * s.all + first + 0.5 * second);
  }

  // The eight-point stencil read off both fans of valence 6: the far corner
  // of a->v(j) is v(j + 1), so the corners beside the side are a's
  // neighbours next to b, and the wings the ones two places away.
  Point3 regularStencil(uint32_t a, uint32_t b) const {
    const uint32_t p = placeInFan(index.byRecords, a, b);
    const uint32_t q = placeInFan(index.byRecords, b, a);
    ButterflyStencil s;
    s.a = position(a);
    s.b = position(b);
    s.c1 = neighbour(a, p + 1);
    s.c2 = neighbour(a, p + 5);
    s.w1 = neighbour(b, q + 4);
    s.w2 = neighbour(a, p + 4);
    s.w3 = neighbour(a, p + 2);
    s.w4 = neighbour(b, q + 2);
    return butterflyPoint(s, kSixteenth);
  }

  Point3 pointOf(uint32_t side) const {
    const IndexLookup lookup{index};
    if (lookup.flag(side) != kFlagInterior) return newPointOnSide(lookup, side, kSixteenth);
    const uint32_t a = lookup.start(side);
    const uint32_t b = lookup.end(side);
    const uint32_t ka = fanValence(a);
    const uint32_t kb = fanValence(b);
    if (ka == 6 && kb == 6) return regularStencil(a, b);
    const bool aIrregular = ka != 0 && ka != 6;
    const bool bIrregular = kb != 0 && kb != 6;
    if (aIrregular && bIrregular) return 0.5 * (irregularStencil(a, b, ka) + irregularStencil(b, a, kb));
    if (aIrregular) return irregularStencil(a, b, ka);
    if (bIrregular) return irregularStencil(b, a, kb);
    return newPointOnSide(lookup, side, kSixteenth);
  }
};

FloatPoint stored(Point3 p) {
  return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

}  // namespace

void placeModifiedPoints(const StencilIndex& index, const BigArray<uint32_t>& firstOnPair,
                         BigArray<FloatPoint>& points) {
  const std::size_t sideCount = index.corners.size();
  points.resize(sideCount);
  CrowdedFans crowded;
  sumCrowdedFans(index, crowded);
  const FanLookup fans{index, crowded};
  forEachPiece(sideCount, 1, [&](std::size_t begin, std::size_t end) {
    for (uint32_t side = static_cast<uint32_t>(begin); side < end; ++side) {
      if (firstOnPair[side] == side) points[side] = stored(fans.pointOf(index.pointSource[side]));
    }
  });
}

void placeModifiedPointsOf(const StencilIndex& index, const BigArray<uint32_t>& sides, BigArray<FloatPoint>& points) {
  points.resize(sides.size());
  CrowdedFans crowded;
  sumCrowdedFans(index, crowded);
  const FanLookup fans{index, crowded};
  forEachPiece(sides.size(), 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) points[i] = stored(fans.pointOf(pointSourceOf(index, sides[i])));
  });
}
