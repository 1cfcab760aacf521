// The length-limited pass, in phases: place the points of the split sides
// from a stencil index of the triangles around them, then write every
// triangle, or closure taken back, cut by the points on its sides.
#include "adaptive_pass.h"

#include <algorithm>
#include <new>
#include <utility>

#include "modified_points.h"
#include "parallel_ranges.h"
#include "stencil_index.h"

namespace {

uint32_t sideEnd(const BigArray<uint32_t>& corners, std::size_t side) {
  return corners[side - side % 3 + (side % 3 + 1) % 3];
}

FloatPoint stored(Point3 p) {
  return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

// Every stencil of a side a b reads only triangles with a corner at a or b:
// the two beside it, the wings beyond their other sides, the fans of a and
// b, the rim sides meeting at a or b, and every side on the pair. Those
// triangles, kept in their order, answer each lookup as the whole mesh
// does, so the index of them alone gives the uniform pass's points.
void gatherNearTriangles(const IndexedMesh& mesh, const AdaptivePlan& plan, StencilIndex& index) {
  BigArray<uint8_t> near(index.positions.size(), 0);
  for (const SplitSide& split : plan.splits) {
    near[mesh.corners[split.side]] = 1;
    near[sideEnd(mesh.corners, split.side)] = 1;
  }
  index.corners.reserve(3 * plan.stencilTriangles);
  index.flags.reserve(3 * plan.stencilTriangles);
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    if ((near[c[0]] | near[c[1]] | near[c[2]]) == 0) continue;
    for (int k = 0; k < 3; ++k) {
      index.corners.push_back(c[k]);
      index.flags.push_back(mesh.flags[3 * t + k]);
    }
  }
}

// The side whose point the uniform pass gives the pair: the first side on
// it, either way, as numberNewPoints takes it.
uint32_t firstSideOnPair(const IndexLookup& lookup, uint32_t a, uint32_t b) {
  return std::min(lookup.firstSideFromTo(a, b), lookup.firstSideFromTo(b, a));
}

// The index holds the triangles near the splits, or the whole mesh's
// corners and flags, moved in as its positions are (see subdivideAdaptive).
void placeSplitPoints(const BigArray<uint32_t>& corners, AdaptivePlan& plan, const IndexedRule& rule,
                      StencilIndex& index) {
  buildStencilIndexOfArrays(index, rule.modified);
  const IndexLookup lookup{index};
  BigArray<SplitSide>& splits = plan.splits;
  const auto firstOf = [&](const SplitSide& split) {
    return firstSideOnPair(lookup, corners[split.side], sideEnd(corners, split.side));
  };
  if (rule.modified) {
    // placeModifiedPoints places a side's point where it is its own first.
    BigArray<uint32_t> firstOnPair(index.corners.size(), kNoSide);
    for (const SplitSide& split : splits) {
      const uint32_t first = firstOf(split);
      firstOnPair[first] = first;
    }
    BigArray<FloatPoint> points;
    placeModifiedPoints(index, firstOnPair, points);
    for (SplitSide& split : splits) split.point = points[firstOf(split)];
    return;
  }
  // placeSidePoints gives the first side on a pair the point of its source,
  // by newPointOnSide whichever stencil that side takes.
  forEachPiece(splits.size(), 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
      splits[i].point = stored(newPointOnSide(lookup, index.pointSource[firstOf(splits[i])], rule.tension));
  });
}

// Writes the pieces, numbering each split's point when a triangle first
// names it.
struct Writer {
  const IndexedMesh& mesh;
  AdaptivePlan& plan;
  PieceOut out;

  void findPoint(Piece& piece, int k) {
    if (piece.side[k] == kNoPoint) return;
    const uint32_t entry = plan.splitOfSide[piece.side[k]];
    if (entry == kNoPoint) return;
    SplitSide& split = plan.splits[entry];
    if (split.vertex == kNoPoint) {
      split.vertex = static_cast<uint32_t>(out.mesh.positions.size());
      out.mesh.positions.push_back(split.point);
    }
    piece.point[k] = split.vertex;
    const uint32_t side = split.side;
    const uint32_t end = static_cast<uint32_t>(side - side % 3 + (side % 3 + 1) % 3);
    piece.pointOrigin[k] = {side, end};
  }

  // Sides with a point already keep it; the others take their split's. A
  // piece split red may have split sides among its children's: the halves
  // of a side a closure split before, and the side between its two points.
  void write(Piece piece) {
    int count = 0;
    for (int k = 0; k < 3; ++k) {
      if (piece.point[k] == kNoPoint) findPoint(piece, k);
      count += piece.point[k] != kNoPoint ? 1 : 0;
    }
    if (count < 3) {
      cutPiece(piece, out);
      return;
    }
    Piece children[4];
    redChildren(piece, children);
    for (const Piece& child : children) write(child);
  }
};

void copyTriangle(const IndexedMesh& mesh, std::size_t t, PieceOut& out) {
  for (std::size_t corner = 3 * t; corner < 3 * t + 3; ++corner) {
    out.mesh.corners.push_back(mesh.corners[corner]);
    out.mesh.flags.push_back(mesh.flags[corner]);
    if (out.origins != nullptr) out.origins->push_back({uint32_t(corner), uint32_t(corner)});
  }
  out.codes.push_back(kOwnTriangle);
}

void uniformOrigins(std::size_t triangles, BigArray<CornerOrigin>& origins) {
  origins.resize(12 * triangles);
  for (uint32_t t = 0; t < triangles; ++t) {
    const CornerOrigin c[3] = {{3 * t, 3 * t}, {3 * t + 1, 3 * t + 1}, {3 * t + 2, 3 * t + 2}};
    const CornerOrigin p[3] = {{3 * t, 3 * t + 1}, {3 * t + 1, 3 * t + 2}, {3 * t + 2, 3 * t}};
    const CornerOrigin quad[12] = {c[0], p[0], p[2], p[0], c[1], p[1], p[2], p[1], c[2], p[0], p[1], p[2]};
    std::copy(quad, quad + 12, &origins[12 * std::size_t(t)]);
  }
}

void runAdaptivePass(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, AdaptivePlan& plan,
                     BigArray<uint8_t>& nextClosures, IndexedMesh& next, BigArray<CornerOrigin>* origins) {
  next.positions.reserve(plan.size.vertices);
  next.positions.assign(mesh.positions.begin(), mesh.positions.end());
  next.corners.reserve(3 * plan.size.triangles);
  next.flags.reserve(3 * plan.size.triangles);
  nextClosures.reserve(plan.size.triangles);
  if (origins != nullptr) {
    origins->clear();
    origins->reserve(3 * plan.size.triangles);
  }
  Writer writer{mesh, plan, PieceOut{next, nextClosures, origins}};
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t size = groupSize(closures, t);
    if (size == 0) continue;
    // kNoPoint has every bit set: no side of the triangle is split.
    if (size == 1 && (plan.splitOfSide[3 * t] & plan.splitOfSide[3 * t + 1] & plan.splitOfSide[3 * t + 2]) == kNoPoint) {
      copyTriangle(mesh, t, writer.out);
      continue;
    }
    const Piece piece = takeBack(mesh, closures, t);
    // A closure that stays is cut as it was, by its own points only.
    if (size > 1 && !plan.splitRed[t]) {
      cutPiece(piece, writer.out);
    } else {
      writer.write(piece);
    }
  }
}

}  // namespace

void subdivideAdaptive(IndexedMesh& mesh, BigArray<uint8_t>& closures, AdaptivePlan& plan, const IndexedRule& rule,
                       BigArray<CornerOrigin>* origins) {
  if (plan.uniform) {
    if (origins != nullptr) uniformOrigins(mesh.triangleCount(), *origins);
    subdivideIndexed(mesh, rule);
    BigArray<uint8_t>().swap(closures);
    return;
  }
  // An index of more triangles than those near the splits answers the same;
  // when they are most of the mesh, the mesh's own arrays are indexed
  // rather than copied.
  StencilIndex index;
  const bool everyTriangle = plan.stencilTriangles >= mesh.triangleCount() / 4 * 3;
  index.positions = std::move(mesh.positions);
  if (everyTriangle) {
    index.corners = std::move(mesh.corners);
    index.flags = std::move(mesh.flags);
  }
  const auto giveBack = [&] {
    mesh.positions = std::move(index.positions);
    if (everyTriangle) {
      mesh.corners = std::move(index.corners);
      mesh.flags = std::move(index.flags);
    }
  };
  try {
    if (!everyTriangle) gatherNearTriangles(mesh, plan, index);
    placeSplitPoints(everyTriangle ? index.corners : mesh.corners, plan, rule, index);
  } catch (const std::bad_alloc&) {
    giveBack();
    throw;
  }
  giveBack();
  index = StencilIndex();
  IndexedMesh next;
  BigArray<uint8_t> nextClosures;
  runAdaptivePass(mesh, closures, plan, nextClosures, next, origins);
  mesh = std::move(next);
  closures = std::move(nextClosures);
}

bool subdivideToLength(IndexedMesh& mesh, BigArray<uint8_t>& closures, double maxEdge, const IndexedRule& rule,
                       BigArray<CornerOrigin>* origins) {
  AdaptivePlan plan;
  planAdaptivePass(mesh, closures, maxEdge, plan);
  if (nothingToSplit(plan)) return false;
  subdivideAdaptive(mesh, closures, plan, rule, origins);
  return true;
}
