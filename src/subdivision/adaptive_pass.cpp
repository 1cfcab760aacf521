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
// It is built without a point source per side: only the splits' are asked.
// When it holds the whole mesh, its sides are the mesh's, and a pair of
// long sides is held by its first side already.
void placeSplitPoints(const BigArray<uint32_t>& corners, bool wholeMesh, AdaptivePlan& plan,
                      const IndexedRule& rule, StencilIndex& index) {
  buildStencilIndexOfArrays(index, rule.modified, false);
  const IndexLookup lookup{index};
  BigArray<SplitSide>& splits = plan.splits;
  const std::size_t heldByFirst = wholeMesh ? plan.longPairs : 0;
  const auto firstOf = [&](std::size_t i) {
    const uint32_t side = splits[i].side;
    return i < heldByFirst ? side : firstSideOnPair(lookup, corners[side], sideEnd(corners, side));
  };
  if (rule.modified) {
    BigArray<uint32_t> firsts(splits.size());
    for (std::size_t i = 0; i < splits.size(); ++i) firsts[i] = firstOf(i);
    BigArray<FloatPoint> points;
    placeModifiedPointsOf(index, firsts, points);
    for (std::size_t i = 0; i < splits.size(); ++i) splits[i].point = points[i];
    return;
  }
  // newPointOnSide gives the first side on a pair the point of its source,
  // whichever stencil that side takes.
  forEachPiece(splits.size(), 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
      splits[i].point = stored(newPointOnSide(lookup, pointSourceOf(index, firstOf(i)), rule.tension));
  });
}

// Triangles per block of the output's offsets: writers start at a block,
// each with the offset its first group writes at.
constexpr std::size_t kWriteBlock = 4096;

// Walks the pieces as they are written and numbers each split's point where
// a triangle first names it, appending its position, and counts what each
// piece writes. Sides with a point already keep it; the others take their
// split's. A piece split red may have split sides among its children's: the
// halves of a side a closure split before, and the side between its two
// points.
struct Namer {
  AdaptivePlan& plan;
  BigArray<FloatPoint>& positions;
  BigArray<uint32_t>* sideOfPoint;  // per new point, its split's side, for the corners' origins
  std::size_t written = 0;          // triangles the pieces named so far write

  void number(SplitSide& split) {
    if (split.vertex != kNoPoint) return;
    split.vertex = static_cast<uint32_t>(positions.size());
    positions.push_back(split.point);
    if (sideOfPoint != nullptr) sideOfPoint->push_back(split.side);
  }

  void name(Piece piece) {
    int count = 0;
    for (int k = 0; k < 3; ++k) {
      if (piece.point[k] == kNoPoint && piece.side[k] != kNoPoint) {
        const uint32_t entry = plan.splitOfSide[piece.side[k]];
        if (entry != kNoPoint) {
          SplitSide& split = plan.splits[entry];
          number(split);
          piece.point[k] = split.vertex;
        }
      }
      count += piece.point[k] != kNoPoint ? 1 : 0;
    }
    if (count < 3) {
      written += 1 + count;
      return;
    }
    Piece children[4];
    redChildren(piece, children);
    for (const Piece& child : children) name(child);
  }
};

// Once every point has its number, each side names its point's vertex
// directly (kNoPoint where it has none, or where no triangle of the output
// names its split), and the splits can go before the output is taken.
// blockStart gets, per block of kWriteBlock triangles, the output triangles
// written before the first group that starts in it, and at the end, all of
// them.
void numberPoints(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, AdaptivePlan& plan,
                  BigArray<FloatPoint>& positions, BigArray<uint32_t>* sideOfPoint,
                  BigArray<std::size_t>& blockStart) {
  Namer namer{plan, positions, sideOfPoint};
  const std::size_t triangles = mesh.triangleCount();
  blockStart.resize((triangles + kWriteBlock - 1) / kWriteBlock + 1);
  std::size_t block = 0;
  for (std::size_t t = 0; t < triangles; ++t) {
    const uint32_t size = groupSize(closures, t);
    if (size == 0) continue;
    for (; block * kWriteBlock <= t; ++block) blockStart[block] = namer.written;
    if (size == 1) {
      // A triangle of its own names its sides in order and nothing more.
      const uint32_t* entry = &plan.splitOfSide[3 * t];
      for (int k = 0; k < 3; ++k) {
        if (entry[k] == kNoPoint) continue;
        namer.number(plan.splits[entry[k]]);
        ++namer.written;
      }
      ++namer.written;
      continue;
    }
    if (plan.splitRed[t]) {
      namer.name(takeBack(mesh, closures, t));
    } else {
      namer.written += size;  // a closure that stays names no point
    }
  }
  for (; block < blockStart.size(); ++block) blockStart[block] = namer.written;
  for (uint32_t& entry : plan.splitOfSide) {
    if (entry != kNoPoint) entry = plan.splits[entry].vertex;
  }
  BigArray<SplitSide>().swap(plan.splits);
}

// numberPoints where the plan's splits are named in order: each split's
// point follows the old vertices at its entry, and the blocks' triangles
// are counted side by side, each triangle writing one more than its split
// sides.
void numberInOrder(const IndexedMesh& mesh, AdaptivePlan& plan, BigArray<FloatPoint>& positions,
                   BigArray<uint32_t>* sideOfPoint, BigArray<std::size_t>& blockStart) {
  const std::size_t oldCount = positions.size();
  const BigArray<SplitSide>& splits = plan.splits;
  positions.resize(oldCount + splits.size());
  if (sideOfPoint != nullptr) sideOfPoint->resize(splits.size());
  forEachPiece(splits.size(), 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      positions[oldCount + i] = splits[i].point;
      if (sideOfPoint != nullptr) (*sideOfPoint)[i] = splits[i].side;
    }
  });
  const std::size_t triangles = mesh.triangleCount();
  blockStart.assign((triangles + kWriteBlock - 1) / kWriteBlock + 1, 0);
  const uint32_t firstPoint = static_cast<uint32_t>(oldCount);
  forEachPiece(triangles, kWriteBlock, [&](std::size_t begin, std::size_t end) {
    for (std::size_t block = begin; block < end; block += kWriteBlock) {
      std::size_t written = 0;
      for (std::size_t side = 3 * block; side < 3 * std::min(end, block + kWriteBlock); ++side) {
        uint32_t& entry = plan.splitOfSide[side];
        if (entry == kNoPoint) continue;
        entry += firstPoint;
        ++written;
      }
      blockStart[block / kWriteBlock + 1] = written + std::min(end - block, kWriteBlock);
    }
  });
  for (std::size_t block = 1; block < blockStart.size(); ++block) blockStart[block] += blockStart[block - 1];
  BigArray<SplitSide>().swap(plan.splits);
}

// Writes the pieces with the points numberPoints gave their sides.
struct Writer {
  const BigArray<uint32_t>& pointOfSide;
  const BigArray<uint32_t>* sideOfPoint;
  uint32_t firstPoint;
  PieceOut out;

  CornerOrigin originOf(uint32_t vertex) const {
    const uint32_t side = (*sideOfPoint)[vertex - firstPoint];
    return {side, static_cast<uint32_t>(side - side % 3 + (side % 3 + 1) % 3)};
  }

  void findPoint(Piece& piece, int k) {
    if (piece.side[k] == kNoPoint) return;
    const uint32_t vertex = pointOfSide[piece.side[k]];
    if (vertex == kNoPoint) return;
    piece.point[k] = vertex;
    if (sideOfPoint != nullptr) piece.pointOrigin[k] = originOf(vertex);
  }

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

  void copyTriangle(const IndexedMesh& mesh, std::size_t t) {
    const uint32_t* c = &mesh.corners[3 * t];
    const uint8_t* f = &mesh.flags[3 * t];
    const uint32_t corner = static_cast<uint32_t>(3 * t);
    writeTriangle(out, {c[0], c[1], c[2]}, {f[0], f[1], f[2]},
                  {{corner, corner}, {corner + 1, corner + 1}, {corner + 2, corner + 2}}, kOwnTriangle);
  }

  // A triangle of its own: copied, split into the uniform pass's four, or
  // cut by its one or two points.
  void writeOwn(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, std::size_t t) {
    const uint32_t points[3] = {pointOfSide[3 * t], pointOfSide[3 * t + 1], pointOfSide[3 * t + 2]};
    // kNoPoint has every bit set: no side of the triangle is split.
    if ((points[0] & points[1] & points[2]) == kNoPoint) {
      copyTriangle(mesh, t);
      return;
    }
    CornerOrigin origins[3] = {};
    for (int k = 0; k < 3; ++k) {
      if (sideOfPoint != nullptr && points[k] != kNoPoint) origins[k] = originOf(points[k]);
    }
    if (points[0] != kNoPoint && points[1] != kNoPoint && points[2] != kNoPoint) {
      writeSplitTriangle(mesh, t, points, origins, out);
      return;
    }
    Piece piece = takeBack(mesh, closures, t);
    for (int k = 0; k < 3; ++k) {
      piece.point[k] = points[k];
      piece.pointOrigin[k] = origins[k];
    }
    cutPiece(piece, out);
  }

  // The group that starts at triangle t, cut as the plan says.
  void writeGroup(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, const AdaptivePlan& plan,
                  std::size_t t) {
    const uint32_t size = groupSize(closures, t);
    if (size == 0) return;
    if (size == 1) {
      writeOwn(mesh, closures, t);
      return;
    }
    const Piece piece = takeBack(mesh, closures, t);
    // A closure that stays is cut as it was, by its own points only.
    if (!plan.splitRed[t]) {
      cutPiece(piece, out);
    } else {
      write(piece);
    }
  }
};

void uniformOrigins(std::size_t triangles, BigArray<CornerOrigin>& origins) {
  origins.resize(12 * triangles);
  for (uint32_t t = 0; t < triangles; ++t) {
    const CornerOrigin c[3] = {{3 * t, 3 * t}, {3 * t + 1, 3 * t + 1}, {3 * t + 2, 3 * t + 2}};
    const CornerOrigin p[3] = {{3 * t, 3 * t + 1}, {3 * t + 1, 3 * t + 2}, {3 * t + 2, 3 * t}};
    const CornerOrigin quad[12] = {c[0], p[0], p[2], p[0], c[1], p[1], p[2], p[1], c[2], p[0], p[1], p[2]};
    std::copy(quad, quad + 12, &origins[12 * std::size_t(t)]);
  }
}

// Numbers the points first, so that the splits are gone before the next
// generation's corners are taken, and so that each writer knows where its
// triangles go: the writers then take blocks of the mesh side by side.
void runAdaptivePass(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, AdaptivePlan& plan,
                     BigArray<uint8_t>& nextClosures, IndexedMesh& next, BigArray<CornerOrigin>* origins) {
  next.positions.reserve(plan.size.vertices);
  next.positions.assign(mesh.positions.begin(), mesh.positions.end());
  BigArray<uint32_t> sideOfPoint;
  if (origins != nullptr) sideOfPoint.reserve(plan.splits.size());
  BigArray<std::size_t> blockStart;
  if (plan.namedInOrder) {
    numberInOrder(mesh, plan, next.positions, origins != nullptr ? &sideOfPoint : nullptr, blockStart);
  } else {
    numberPoints(mesh, closures, plan, next.positions, origins != nullptr ? &sideOfPoint : nullptr, blockStart);
  }
  const std::size_t triangles = blockStart.back();
  next.corners.resize(3 * triangles);
  next.flags.resize(3 * triangles);
  nextClosures.resize(triangles);
  if (origins != nullptr) {
    origins->clear();
    origins->resize(3 * triangles);
  }
  forEachPiece(mesh.triangleCount(), kWriteBlock, [&](std::size_t begin, std::size_t end) {
    const std::size_t at = blockStart[begin / kWriteBlock];
    Writer writer{plan.splitOfSide, origins != nullptr ? &sideOfPoint : nullptr,
                  static_cast<uint32_t>(mesh.vertexCount()),
                  PieceOut{next.positions, next.corners.data() + 3 * at, next.flags.data() + 3 * at,
                           nextClosures.data() + at, origins != nullptr ? origins->data() + 3 * at : nullptr}};
    for (std::size_t t = begin; t < end; ++t) writer.writeGroup(mesh, closures, plan, t);
  });
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
    placeSplitPoints(everyTriangle ? index.corners : mesh.corners, everyTriangle, plan, rule, index);
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
