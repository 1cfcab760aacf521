#include "side_points.h"

#include "parallel_ranges.h"

namespace {

FloatPoint stored(Point3 p) {
  return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

// One worker's piece of the sides, [begin, end): it writes the points and
// marks of those sides only.
struct SidePoints {
  const IndexLookup lookup;
  const double t;
  BigArray<FloatPoint>& points;
  BigArray<uint8_t>& placed;
  const uint32_t begin, end;

  // The side's own point. A side flagged 0 whose opposite corners were both
  // found also places the first side running the other way on the same records,
  // when that one is flagged 0 too and in this piece: its stencil is the
  // same corners reversed. A side flagged 0 is always its own source, so
  // that side's slot wants exactly this point.
  void placeOwn(uint32_t side) {
    const uint32_t a = lookup.start(side);
    const uint32_t b = lookup.end(side);
    if (lookup.flag(side) != kFlagInterior) {
      set(side, newPointOnSide(lookup, side, t));
      return;
    }
    ButterflyStencil stencil;
    const bool reversible = lookUpButterfly(lookup, Corner<uint32_t>{true, a, lookup.position(a)},
                                       Corner<uint32_t>{true, b, lookup.position(b)}, stencil);
    set(side, butterflyPoint(stencil, t));
    if (!reversible) return;
    const uint32_t twin = lookup.firstSideFromTo(b, a);
    if (twin < begin || twin >= end || placed[twin] || lookup.flag(twin) != kFlagInterior) return;
    set(twin, butterflyPoint(reversedStencil(stencil), t));
  }

  void set(uint32_t side, Point3 p) {
    points[side] = stored(p);
    placed[side] = 1;
  }
};

}  // namespace

// First every side that is its own source, in pieces; then the sides that
// take another side's point, once every source is placed.
void placeSidePoints(const StencilIndex& index, double t, BigArray<FloatPoint>& points) {
  const std::size_t sideCount = index.corners.size();
  points.resize(sideCount);
  BigArray<uint8_t> placed(sideCount, 0);
  forEachPiece(sideCount, 3, [&](std::size_t begin, std::size_t end) {
    SidePoints piece{IndexLookup{index}, t, points, placed, static_cast<uint32_t>(begin),
                     static_cast<uint32_t>(end)};
    for (uint32_t side = piece.begin; side < piece.end; ++side) {
      if (index.pointSource[side] == side && !placed[side]) piece.placeOwn(side);
    }
  });
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint32_t source = index.pointSource[side];
    if (source != side) points[side] = points[source];
  }
}
