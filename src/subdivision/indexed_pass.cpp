// The pass on an indexed mesh, in phases: index the sides, place every new
// point as the store's pass would, number one new vertex per pair of vertices
// that sides join, then write the four triangles of every triangle with the
// flags their sides inherit.
#include "indexed_pass.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "modified_points.h"
#include "pair_table.h"
#include "parallel_ranges.h"
#include "side_points.h"
#include "stencil_index.h"

namespace {

uint32_t sideEnd(const BigArray<uint32_t>& corners, uint32_t side) {
  return corners[side - side % 3 + (side % 3 + 1) % 3];
}

// The first side, in side order, of those joining the side's two vertices
// either way: the side whose new point stands for all of them.
uint32_t firstSideOnPair(const IndexLookup& lookup, uint32_t side) {
  const uint32_t a = lookup.start(side);
  const uint32_t b = lookup.end(side);
  return std::min(lookup.firstSideFromTo(a, b), lookup.firstSideFromTo(b, a));
}

// A side whose two ends are one vertex: its new point is that vertex, so
// that no position is written twice.
constexpr uint32_t kOwnEnd = UINT32_MAX;

// newVertex[side] becomes the number of the side's new point; the points are
// appended to positions in the same order. Holds the first side on each pair
// on entry, or kOwnEnd: a side that is its own first gets the next number,
// any other side takes the number its first side got, which comes before it.
void numberNewPoints(BigArray<uint32_t>& newVertex, const BigArray<uint32_t>& corners,
                     const BigArray<FloatPoint>& points, BigArray<FloatPoint>& positions) {
  for (uint32_t side = 0; side < newVertex.size(); ++side) {
    const uint32_t first = newVertex[side];
    if (first == kOwnEnd) {
      newVertex[side] = corners[side];
    } else if (first == side) {
      newVertex[side] = static_cast<uint32_t>(positions.size());
      positions.push_back(points[side]);
    } else {
      newVertex[side] = newVertex[first];
    }
  }
}

// The four triangles of triangle t, in the store's order. The halves of an
// old side keep its flag, since the sides joining a corner and the side's
// new point are the halves of the sides on the old pair (a side from a
// vertex to itself has that vertex for its point, so its halves run from the
// vertex to itself too and stay undecided); an inner side joins two new
// points, which the centre triangle and one corner triangle share, so it is
// interior unless it runs from a point to itself.
void splitTriangle(uint32_t t, const BigArray<uint32_t>& corners, const BigArray<uint8_t>& flags,
                   const BigArray<uint32_t>& newVertex, IndexedMesh& next) {
  const uint32_t* c = &corners[3 * t];
  const uint32_t* p = &newVertex[3 * t];
  const uint8_t* f = &flags[3 * t];
  const uint32_t quad[4][3] = {{c[0], p[0], p[2]}, {p[0], c[1], p[1]}, {p[2], p[1], c[2]}, {p[0], p[1], p[2]}};
  const auto inner = [](uint32_t a, uint32_t b) { return a != b ? kFlagInterior : kFlagUndecided; };
  const uint8_t quadFlags[4][3] = {{f[0], inner(p[0], p[2]), f[2]},
                                   {f[0], f[1], inner(p[1], p[0])},
                                   {inner(p[2], p[1]), f[1], f[2]},
                                   {inner(p[0], p[1]), inner(p[1], p[2]), inner(p[2], p[0])}};
  for (int q = 0; q < 4; ++q) {
    for (int k = 0; k < 3; ++k) {
      next.corners[12 * std::size_t(t) + 3 * q + k] = quad[q][k];
      next.flags[12 * std::size_t(t) + 3 * q + k] = quadFlags[q][k];
    }
  }
}

// The classic rule places every side's point and shares a side's lookups
// with its twin; the modified rule reads both ends' fans instead and places
// only the points the new vertices take, once the first sides are known.
void runPass(StencilIndex& index, const IndexedRule& rule, IndexedMesh& next) {
  buildStencilIndexOfArrays(index, rule.modified);
  const std::size_t sideCount = index.corners.size();
  BigArray<FloatPoint> points;
  if (!rule.modified) placeSidePoints(index, rule.tension, points);

  BigArray<uint32_t> newVertex(sideCount);
  std::atomic<uint64_t> pairs{0};
  {
    const IndexLookup lookup{index};
    forEachPiece(sideCount, 1, [&](std::size_t begin, std::size_t end) {
      uint64_t firsts = 0;
      for (uint32_t side = static_cast<uint32_t>(begin); side < end; ++side) {
        newVertex[side] = lookup.start(side) == lookup.end(side) ? kOwnEnd : firstSideOnPair(lookup, side);
        firsts += newVertex[side] == side ? 1 : 0;
      }
      pairs += firsts;
    });
  }
  if (rule.modified) placeModifiedPoints(index, newVertex, points);
  // Of the index, only the corners and flags are still wanted.
  index.byRecords = SidesByStart();
  index.byWelds = SidesByStart();
  index.rimEndingAt = PairTable();
  index.rimStartingAt = PairTable();
  index.creases = CreaseLines();
  BigArray<uint32_t>().swap(index.rimSides);
  BigArray<uint32_t>().swap(index.pointSource);
  BigArray<uint32_t>().swap(index.weldedTo);
  BigArray<uint8_t>().swap(index.closedFans);

  // Everything the rest takes is taken here, so that running out of memory
  // leaves the old arrays whole.
  const std::size_t triangles = sideCount / 3;
  next.positions.reserve(index.positions.size() + pairs.load());
  next.corners.resize(12 * triangles);
  next.flags.resize(12 * triangles);

  next.positions.assign(index.positions.begin(), index.positions.end());
  numberNewPoints(newVertex, index.corners, points, next.positions);
  BigArray<FloatPoint>().swap(points);
  forEachPiece(triangles, 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t tri = begin; tri < end; ++tri)
      splitTriangle(static_cast<uint32_t>(tri), index.corners, index.flags, newVertex, next);
  });
}

}  // namespace

void classifySides(IndexedMesh& mesh) {
  const std::size_t sideCount = mesh.corners.size();
  PairTable counts(sideCount);
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint32_t a = mesh.corners[side];
    const uint32_t b = sideEnd(mesh.corners, side);
    if (a == b) continue;
    uint32_t& count = counts.findOrInsert(std::min(a, b), std::max(a, b), 0);
    count = std::min(count + 1, 2u);
  }
  mesh.flags.resize(sideCount);
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint32_t a = mesh.corners[side];
    const uint32_t b = sideEnd(mesh.corners, side);
    if (a == b) {
      mesh.flags[side] = kFlagUndecided;
      continue;
    }
    mesh.flags[side] = *counts.find(std::min(a, b), std::max(a, b)) == 2 ? kFlagInterior : kFlagBoundary;
  }
}

// Per old vertex its position twice (old and new arrays), its identity weld
// and its group start; per side its corner, flag, group entry, point source,
// new point with its mark and its new vertex number, and a new position at
// most; per rim side its slots in the two rim tables (24 bytes each, the
// tables at most a quarter full) and two rim slots; per crease side, at
// most one end's slot in the crease table and its entry; per new triangle
// its corners and flags.
IndexedPassSize indexedPassSize(const IndexedMesh& mesh) {
  const uint64_t vertices = mesh.vertexCount();
  const uint64_t sides = mesh.corners.size();
  uint64_t rimSides = 0;
  uint64_t creaseSides = 0;
  for (const uint8_t f : mesh.flags) {
    rimSides += f != kFlagInterior && f != kFlagCrease ? 1 : 0;
    creaseSides += f == kFlagCrease ? 1 : 0;
  }
  IndexedPassSize size;
  size.vertices = vertices + sides;
  size.triangles = 4 * (sides / 3);
  size.bytes = 32 * vertices + (4 + 1 + 12 + 4 + 12 + 1 + 4 + 12) * sides + (2 * 4 * 24 + 8) * rimSides +
               (4 * 24 + sizeof(CreaseVertex)) * creaseSides + 15 * size.triangles;
  return size;
}

void subdivideIndexed(IndexedMesh& mesh, double t) { subdivideIndexed(mesh, IndexedRule{false, t}); }

void subdivideIndexed(IndexedMesh& mesh, const IndexedRule& rule) {
  StencilIndex index;
  index.positions = std::move(mesh.positions);
  index.corners = std::move(mesh.corners);
  index.flags = std::move(mesh.flags);
  IndexedMesh next;
  try {
    runPass(index, rule, next);
  } catch (...) {  // out of memory, or stopped (parallel_ranges.h)
    mesh.positions = std::move(index.positions);
    mesh.corners = std::move(index.corners);
    mesh.flags = std::move(index.flags);
    throw;
  }
  mesh = std::move(next);
}
