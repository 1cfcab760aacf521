#include "modified_points.h"

#include "fan_order.h"
#include "modified_rule.h"
#include "parallel_ranges.h"
#include "stencil_rules.h"

namespace {

constexpr double kSixteenth = 1.0 / 16.0;

struct FanLookup {
  const StencilIndex& index;

  // The valence of v when its neighbours form one closed fan, else 0.
  uint32_t fanValence(uint32_t v) const {
    return index.closedFans[v] ? index.byRecords.first[v + 1] - index.byRecords.first[v] : 0;
  }
  Point3 neighbour(uint32_t v, uint32_t place) const {
    const FloatPoint& p = index.positions[fanNeighbour(index.byRecords, v, place)];
    return {p.x, p.y, p.z};
  }
  Point3 position(uint32_t v) const {
    const FloatPoint& p = index.positions[v];
    return {p.x, p.y, p.z};
  }

  // 3/4 a + sum of s(K, j) v(j), v(0) = b, around a's fan of valence K.
  Point3 irregularStencil(uint32_t a, uint32_t b, uint32_t valence) const {
    const uint32_t start = placeInFan(index.byRecords, a, b);
    Point3 sum = 0.75 * position(a);
    for (uint32_t j = 0; j < valence; ++j) sum = sum + irregularWeight(valence, j) * neighbour(a, start + j);
    return sum;
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
  const FanLookup fans{index};
  forEachPiece(sideCount, 1, [&](std::size_t begin, std::size_t end) {
    for (uint32_t side = static_cast<uint32_t>(begin); side < end; ++side) {
      if (firstOnPair[side] == side) points[side] = stored(fans.pointOf(index.pointSource[side]));
    }
  });
}
