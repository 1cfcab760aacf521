// Deciding a length-limited pass: the sides longer than the length, the
// closures their splits reach, and what the pass will make.
#include <algorithm>

#include "adaptive_pass.h"

namespace {

uint32_t sideEnd(const IndexedMesh& mesh, std::size_t side) {
  return mesh.corners[side - side % 3 + (side % 3 + 1) % 3];
}

uint64_t pairKey(uint32_t a, uint32_t b) {
  return (uint64_t(std::min(a, b)) << 32) | std::max(a, b);
}

// A side from a vertex to itself has nowhere to put a point between its
// ends: it is never split here.
bool isLong(const IndexedMesh& mesh, std::size_t side, double limitSquared, bool everySide) {
  const uint32_t a = mesh.corners[side];
  const uint32_t b = sideEnd(mesh, side);
  if (a == b) return false;
  if (everySide) return true;
  const FloatPoint& p = mesh.positions[a];
  const FloatPoint& q = mesh.positions[b];
  const double x = double(p.x) - q.x, y = double(p.y) - q.y, z = double(p.z) - q.z;
  return x * x + y * y + z * z > limitSquared;
}

// Marks the side's pair of vertices for splitting; true when it was not yet.
bool markSide(const IndexedMesh& mesh, uint32_t side, AdaptivePlan& plan) {
  const uint32_t a = mesh.corners[side];
  const uint32_t b = sideEnd(mesh, side);
  const uint32_t fresh = static_cast<uint32_t>(plan.splits.size());
  if (plan.splitOf.findOrInsert(std::min(a, b), std::max(a, b), fresh) != fresh) return false;
  plan.splits.push_back({side, kNoPoint, {0, 0, 0}});
  return true;
}

bool isMarked(const IndexedMesh& mesh, std::size_t side, const AdaptivePlan& plan) {
  const uint32_t a = mesh.corners[side];
  const uint32_t b = sideEnd(mesh, side);
  return a != b && plan.splitOf.find(std::min(a, b), std::max(a, b)) != nullptr;
}

struct ClosureSide {
  uint64_t pair;
  uint32_t closure;  // its first triangle
  bool operator<(const ClosureSide& other) const {
    return pair != other.pair ? pair < other.pair : closure < other.closure;
  }
};

// A closure with a split side among its triangles' sides (a half of its
// parent's split side, a side inside it, or a whole side of the parent) is
// split red, which splits every whole side of its parent; such a side may
// be a side of another closure. Returns the pairs marked here.
uint64_t spreadToClosures(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, AdaptivePlan& plan) {
  const std::size_t triangles = mesh.triangleCount();
  BigArray<ClosureSide> sides;
  BigArray<uint32_t> waiting;
  for (std::size_t t = 0; t < triangles; ++t) {
    const uint32_t size = groupSize(closures, t);
    if (size < 2) continue;
    bool split = false;
    for (std::size_t side = 3 * t; side < 3 * (t + size); ++side) {
      sides.push_back({pairKey(mesh.corners[side], sideEnd(mesh, side)), static_cast<uint32_t>(t)});
      split = split || isMarked(mesh, side, plan);
    }
    if (split) {
      plan.splitRed[t] = 1;
      waiting.push_back(static_cast<uint32_t>(t));
    }
  }
  std::sort(sides.begin(), sides.end());
  uint64_t marked = 0;
  while (!waiting.empty()) {
    const Piece parent = takeBack(mesh, closures, waiting.back());
    waiting.pop_back();
    for (int k = 0; k < 3; ++k) {
      if (parent.point[k] != kNoPoint || !markSide(mesh, parent.side[k], plan)) continue;
      ++marked;
      const ClosureSide from{pairKey(parent.corner[k], parent.corner[(k + 1) % 3]), 0};
      for (auto it = std::lower_bound(sides.begin(), sides.end(), from); it != sides.end() && it->pair == from.pair;
           ++it) {
        if (plan.splitRed[it->closure]) continue;
        plan.splitRed[it->closure] = 1;
        waiting.push_back(it->closure);
      }
    }
  }
  return marked;
}

uint64_t trianglesNearSplits(const IndexedMesh& mesh, const AdaptivePlan& plan) {
  BigArray<uint8_t> near(mesh.vertexCount(), 0);
  for (const SplitSide& split : plan.splits) {
    near[mesh.corners[split.side]] = 1;
    near[sideEnd(mesh, split.side)] = 1;
  }
  uint64_t count = 0;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    count += (near[c[0]] | near[c[1]] | near[c[2]]) != 0 ? 1 : 0;
  }
  return count;
}

}  // namespace

// Each split side adds one triangle to the triangle it belongs to; a
// closure split red makes four of its two or three, plus one for each split
// side of its triangles, so two more than that count at most.
void planAdaptivePass(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, double maxEdge,
                      AdaptivePlan& plan) {
  plan = AdaptivePlan();
  const std::size_t sideCount = mesh.corners.size();
  const bool everySide = !(maxEdge > 0);
  const double limitSquared = maxEdge * maxEdge;
  const bool hasClosures =
      std::any_of(closures.begin(), closures.end(), [](uint8_t code) { return code != kOwnTriangle; });
  uint64_t longSides = 0;
  for (std::size_t side = 0; side < sideCount; ++side)
    longSides += isLong(mesh, side, limitSquared, everySide) ? 1 : 0;
  if (!hasClosures && (everySide || longSides == sideCount)) {
    plan.uniform = true;
    plan.size = indexedPassSize(mesh);
    return;
  }
  for (std::size_t side = 0; side < sideCount; ++side) {
    if (isLong(mesh, side, limitSquared, everySide)) markSide(mesh, static_cast<uint32_t>(side), plan);
  }
  uint64_t splitSides = longSides;
  uint64_t redClosures = 0;
  if (hasClosures) {
    plan.splitRed.assign(mesh.triangleCount(), 0);
    if (spreadToClosures(mesh, closures, plan) > 0) {
      splitSides = 0;
      for (std::size_t side = 0; side < sideCount; ++side) splitSides += isMarked(mesh, side, plan) ? 1 : 0;
    }
    redClosures = static_cast<uint64_t>(std::count(plan.splitRed.begin(), plan.splitRed.end(), uint8_t(1)));
  }
  plan.stencilTriangles = trianglesNearSplits(mesh, plan);

  const uint64_t vertices = mesh.vertexCount();
  const uint64_t triangles = mesh.triangleCount();
  IndexedPassSize& size = plan.size;
  size.vertices = vertices + plan.splits.size();
  size.triangles = triangles + splitSides + 2 * redClosures;
  // Both generations' arrays with their closure codes; per split its entry
  // and table slots (a table at most half full, grown by doubling); the
  // marks; the stencil index of the triangles near the splits, as the
  // uniform pass's index of as many triangles, less what that pass keeps of
  // the whole mesh.
  size.bytes = 12 * (vertices + size.vertices) + 14 * (triangles + size.triangles) + 116 * plan.splits.size() +
               triangles + 11 * vertices + 60 * 3 * plan.stencilTriangles;
}
