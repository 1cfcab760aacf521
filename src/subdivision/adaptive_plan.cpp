// Deciding a length-limited pass: the sides longer than the length, the
// closures their splits reach, and what the pass will make.
#include <algorithm>

#include "adaptive_pass.h"
#include "pair_table.h"

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

bool isMarked(std::size_t side, const AdaptivePlan& plan) { return plan.splitOfSide[side] != kNoPoint; }

// Marks a side that spreading splits; true when its pair was not split yet.
// Long sides have their entries already, and a side whose twin is long is
// long itself, so only the pairs spreading marked are looked up.
bool markSide(const IndexedMesh& mesh, uint32_t side, PairTable& spread, AdaptivePlan& plan) {
  if (plan.splitOfSide[side] != kNoPoint) return false;
  const uint32_t a = mesh.corners[side];
  const uint32_t b = sideEnd(mesh, side);
  const uint32_t fresh = static_cast<uint32_t>(plan.splits.size());
  const uint32_t entry = spread.findOrInsert(std::min(a, b), std::max(a, b), fresh);
  plan.splitOfSide[side] = entry;
  if (entry != fresh) return false;
  plan.splits.push_back({side, kNoPoint, {0, 0, 0}});
  return true;
}

// A group of sides larger than this is sorted to find the sides on one
// pair; a smaller one is searched.
constexpr std::size_t kSortedGroup = 16;

// One entry per pair of the long sides: the sides grouped by their lower
// end, each group in side order, so the first side on a pair in its group
// is the pair's first and gets the entry. Groups are small but for hubs,
// which are sorted by higher end, then by side, to the same effect. first
// holds at v + 1 the count of long sides whose lower end is v.
void pairLongSides(const IndexedMesh& mesh, uint64_t longSides, BigArray<uint32_t>& first, AdaptivePlan& plan) {
  const std::size_t vertexCount = mesh.vertexCount();
  for (std::size_t v = 0; v < vertexCount; ++v) first[v + 1] += first[v];
  BigArray<uint32_t> sides(longSides);
  // first[v] serves as v's fill cursor, then every start is put back.
  for (std::size_t side = 0; side < mesh.corners.size(); ++side) {
    if (!isMarked(side, plan)) continue;
    sides[first[std::min(mesh.corners[side], sideEnd(mesh, side))]++] = static_cast<uint32_t>(side);
  }
  for (std::size_t v = vertexCount; v > 0; --v) first[v] = first[v - 1];
  first[0] = 0;
  const auto higherEnd = [&](uint32_t side) { return std::max(mesh.corners[side], sideEnd(mesh, side)); };
  const auto newEntry = [&](uint32_t side) {
    plan.splitOfSide[side] = static_cast<uint32_t>(plan.splits.size());
    plan.splits.push_back({side, kNoPoint, {0, 0, 0}});
  };
  plan.splits.reserve(longSides / 2 + 16);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    uint32_t* begin = sides.data() + first[v];
    uint32_t* end = sides.data() + first[v + 1];
    if (std::size_t(end - begin) > kSortedGroup) {
      std::sort(begin, end, [&](uint32_t a, uint32_t b) {
        return (uint64_t(higherEnd(a)) << 32 | a) < (uint64_t(higherEnd(b)) << 32 | b);
      });
      for (uint32_t* it = begin; it != end; ++it) {
        if (it != begin && higherEnd(*it) == higherEnd(*(it - 1))) {
          plan.splitOfSide[*it] = plan.splitOfSide[*(it - 1)];
        } else {
          newEntry(*it);
        }
      }
      continue;
    }
    for (uint32_t* it = begin; it != end; ++it) {
      const uint32_t higher = higherEnd(*it);
      const uint32_t* same = begin;
      while (same != it && higherEnd(*same) != higher) ++same;
      if (same != it) {
        plan.splitOfSide[*it] = plan.splitOfSide[*same];
      } else {
        newEntry(*it);
      }
    }
  }
}

// The sides on pairs that spreading marked and that still lack their entry:
// only sides with both ends on such pairs are looked up.
void findSpreadEntries(const IndexedMesh& mesh, const PairTable& spread, AdaptivePlan& plan,
                       std::size_t spreadFrom) {
  BigArray<uint8_t> ends(mesh.vertexCount(), 0);
  for (std::size_t i = spreadFrom; i < plan.splits.size(); ++i) {
    ends[mesh.corners[plan.splits[i].side]] = 1;
    ends[sideEnd(mesh, plan.splits[i].side)] = 1;
  }
  for (std::size_t side = 0; side < mesh.corners.size(); ++side) {
    const uint32_t a = mesh.corners[side];
    const uint32_t b = sideEnd(mesh, side);
    if (a == b || !ends[a] || !ends[b] || isMarked(side, plan)) continue;
    if (const uint32_t* entry = spread.find(std::min(a, b), std::max(a, b))) plan.splitOfSide[side] = *entry;
  }
}

// The closures with a corner at each vertex, a closure once per corner of
// its triangles there: closures[first[v]] .. closures[first[v + 1] - 1].
struct ClosuresByVertex {
  BigArray<uint32_t> first;
  BigArray<uint32_t> closures;
};

void groupClosures(const IndexedMesh& mesh, const BigArray<uint8_t>& codes, ClosuresByVertex& by) {
  by.first.assign(mesh.vertexCount() + 1, 0);
  const auto eachCorner = [&](auto visit) {
    for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
      const uint32_t size = groupSize(codes, t);
      if (size < 2) continue;
      for (std::size_t corner = 3 * t; corner < 3 * (t + size); ++corner) visit(mesh.corners[corner], uint32_t(t));
    }
  };
  eachCorner([&](uint32_t v, uint32_t) { ++by.first[v + 1]; });
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) by.first[v + 1] += by.first[v];
  by.closures.resize(by.first.back());
  // first[v] serves as v's fill cursor, then every start is put back.
  eachCorner([&](uint32_t v, uint32_t t) { by.closures[by.first[v]++] = t; });
  for (std::size_t v = mesh.vertexCount(); v > 0; --v) by.first[v] = by.first[v - 1];
  by.first[0] = 0;
}

bool hasSideOn(const IndexedMesh& mesh, const BigArray<uint8_t>& codes, uint32_t closure, uint64_t pair) {
  for (std::size_t side = 3 * std::size_t(closure); side < 3 * (closure + groupSize(codes, closure)); ++side) {
    if (pairKey(mesh.corners[side], sideEnd(mesh, side)) == pair) return true;
  }
  return false;
}

// A closure with a split side among its triangles' sides (a half of its
// parent's split side, a side inside it, or a whole side of the parent) is
// split red, which splits every whole side of its parent; such a side may
// be a side of another closure. Returns the pairs marked here.
uint64_t spreadToClosures(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, PairTable& spread,
                          AdaptivePlan& plan) {
  BigArray<uint32_t> waiting;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t size = groupSize(closures, t);
    if (size < 2) continue;
    bool split = false;
    for (std::size_t side = 3 * t; side < 3 * (t + size); ++side) split = split || isMarked(side, plan);
    if (split) {
      plan.splitRed[t] = 1;
      waiting.push_back(static_cast<uint32_t>(t));
    }
  }
  if (waiting.empty()) return 0;
  ClosuresByVertex by;
  groupClosures(mesh, closures, by);
  uint64_t marked = 0;
  while (!waiting.empty()) {
    const Piece parent = takeBack(mesh, closures, waiting.back());
    waiting.pop_back();
    for (int k = 0; k < 3; ++k) {
      if (parent.point[k] != kNoPoint || !markSide(mesh, parent.side[k], spread, plan)) continue;
      ++marked;
      const uint32_t a = parent.corner[k];
      const uint64_t pair = pairKey(a, parent.corner[(k + 1) % 3]);
      for (uint32_t i = by.first[a]; i < by.first[a + 1]; ++i) {
        const uint32_t closure = by.closures[i];
        if (plan.splitRed[closure] || !hasSideOn(mesh, closures, closure, pair)) continue;
        plan.splitRed[closure] = 1;
        waiting.push_back(closure);
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
  // Long sides are marked 0 first, and counted by lower end, and given
  // their entries once the pass is known not to be uniform.
  plan.splitOfSide.assign(sideCount, kNoPoint);
  BigArray<uint32_t> first(mesh.vertexCount() + 1, 0);
  uint64_t longSides = 0;
  for (std::size_t side = 0; side < sideCount; ++side) {
    if (!isLong(mesh, side, limitSquared, everySide)) continue;
    plan.splitOfSide[side] = 0;
    ++first[std::min(mesh.corners[side], sideEnd(mesh, side)) + 1];
    ++longSides;
  }
  if (!hasClosures && (everySide || longSides == sideCount)) {
    plan = AdaptivePlan();
    plan.uniform = true;
    plan.size = indexedPassSize(mesh);
    return;
  }
  pairLongSides(mesh, longSides, first, plan);
  BigArray<uint32_t>().swap(first);
  PairTable spread;
  uint64_t splitSides = longSides;
  uint64_t redClosures = 0;
  if (hasClosures) {
    plan.splitRed.assign(mesh.triangleCount(), 0);
    const std::size_t spreadFrom = plan.splits.size();
    if (spreadToClosures(mesh, closures, spread, plan) > 0) {
      findSpreadEntries(mesh, spread, plan, spreadFrom);
      splitSides = static_cast<uint64_t>(
          std::count_if(plan.splitOfSide.begin(), plan.splitOfSide.end(), [](uint32_t e) { return e != kNoPoint; }));
    }
    redClosures = static_cast<uint64_t>(std::count(plan.splitRed.begin(), plan.splitRed.end(), uint8_t(1)));
  }
  plan.stencilTriangles = trianglesNearSplits(mesh, plan);

  const uint64_t vertices = mesh.vertexCount();
  const uint64_t triangles = mesh.triangleCount();
  IndexedPassSize& size = plan.size;
  size.vertices = vertices + plan.splits.size();
  size.triangles = triangles + splitSides + 2 * redClosures;
  // Both generations' arrays with their closure codes; per split its entry;
  // per side its entry and per triangle its mark; the stencil index of the triangles near the splits, as the
  // uniform pass's index of as many triangles, less what that pass keeps of
  // the whole mesh.
  size.bytes = 12 * (vertices + size.vertices) + 14 * (triangles + size.triangles) + 20 * plan.splits.size() +
               13 * triangles + 11 * vertices + 60 * 3 * plan.stencilTriangles;
}
