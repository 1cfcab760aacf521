// Deciding a length-limited pass: the sides longer than the length, the
// closures their splits reach, and what the pass will make.
#include <algorithm>

#include "adaptive_pass.h"
#include "pair_table.h"
#include "parallel_ranges.h"

namespace {

uint32_t sideEnd(const IndexedMesh& mesh, std::size_t side) {
  return mesh.corners[side - side % 3 + (side % 3 + 1) % 3];
}

uint64_t pairKey(uint32_t a, uint32_t b) {
  return (uint64_t(std::min(a, b)) << 32) | std::max(a, b);
}

// A side from a vertex to itself has nowhere to put a point between its
// ends: it is never split here, whatever this says of it.
bool isLong(const FloatPoint& p, const FloatPoint& q, double limitSquared, bool everySide) {
  const double x = double(p.x) - q.x, y = double(p.y) - q.y, z = double(p.z) - q.z;
  return everySide | (x * x + y * y + z * z > limitSquared);
}

// Marks the long sides of triangles [begin, end) 0 in splitOfSide, the
// others kNoPoint, and counts them by lower end, at that end + 1 in counts;
// returns how many there are. Without branches on the answer, which is as
// often yes as no when the length is a median.
uint64_t markLongSides(const IndexedMesh& mesh, std::size_t begin, std::size_t end, double limitSquared,
                       bool everySide, BigArray<uint32_t>& splitOfSide, BigArray<uint32_t>& counts) {
  uint64_t longSides = 0;
  for (std::size_t t = begin; t < end; ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = c[k];
      const uint32_t b = c[k == 2 ? 0 : k + 1];
      const bool longer = isLong(mesh.positions[a], mesh.positions[b], limitSquared, everySide);
      const bool splits = longer && a != b;
      splitOfSide[3 * t + k] = splits ? 0 : kNoPoint;
      counts[std::min(a, b) + 1] += splits;
      longSides += splits;
    }
  }
  return longSides;
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

// The long sides of triangles [begin, end), each held with its higher end
// above its number, written at their lower end's cursor, which moves on.
void scatterLongSides(const IndexedMesh& mesh, const AdaptivePlan& plan, std::size_t begin, std::size_t end,
                      BigArray<uint32_t>& cursor, BigArray<uint64_t>& sides) {
  for (std::size_t side = 3 * begin; side < 3 * end; ++side) {
    if (!isMarked(side, plan)) continue;
    const uint32_t a = mesh.corners[side];
    const uint32_t b = sideEnd(mesh, side);
    sides[cursor[std::min(a, b)]++] = uint64_t(std::max(a, b)) << 32 | side;
  }
}

// Each long side of the group gets the first side of the group on its
// pair, in splitOfSide: the group is in side order, and a hub's is sorted
// by higher end, then by side, to the same effect.
void findFirstsOfGroup(uint64_t* begin, uint64_t* end, AdaptivePlan& plan) {
  const auto higherEnd = [](uint64_t held) { return uint32_t(held >> 32); };
  const auto sideOf = [](uint64_t held) { return uint32_t(held); };
  if (std::size_t(end - begin) > kSortedGroup) {
    std::sort(begin, end);
    uint32_t first = kNoPoint;
    for (uint64_t* it = begin; it != end; ++it) {
      if (it == begin || higherEnd(*it) != higherEnd(*(it - 1))) first = sideOf(*it);
      plan.splitOfSide[sideOf(*it)] = first;
    }
    return;
  }
  for (uint64_t* it = begin; it != end; ++it) {
    const uint64_t* same = begin;
    while (higherEnd(*same) != higherEnd(*it)) ++same;
    plan.splitOfSide[sideOf(*it)] = sideOf(*same);
  }
}

// One entry per pair of the long sides, in the order of the pairs' first
// sides: the sides are grouped by their lower end, each group in side
// order, and each side finds the first on its pair in its group, two
// halves of the mesh and then ranges of the groups side by side. Each
// half's counts of long sides by lower end are at v + 1 of its array; the
// first half's groups come first, so each group keeps side order.
void pairLongSides(const IndexedMesh& mesh, uint64_t longSides, BigArray<uint32_t>& firstHalf,
                   BigArray<uint32_t>& secondHalf, AdaptivePlan& plan) {
  const std::size_t vertexCount = mesh.vertexCount();
  const std::size_t triangleCount = mesh.triangleCount();
  // Each half's array becomes its cursors; once both halves are written,
  // the second's cursor at v is where v's group ends.
  uint32_t start = 0;
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const uint32_t first = firstHalf[v + 1], second = secondHalf[v + 1];
    firstHalf[v] = start;
    secondHalf[v] = start + first;
    start += first + second;
  }
  BigArray<uint64_t> sides(longSides);
  runBeside(
      longSides, [&] { scatterLongSides(mesh, plan, triangleCount / 2, triangleCount, secondHalf, sides); },
      [&] { scatterLongSides(mesh, plan, 0, triangleCount / 2, firstHalf, sides); });
  BigArray<uint32_t>().swap(firstHalf);
  const BigArray<uint32_t>& groupEnd = secondHalf;
  forEachPiece(vertexCount, 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t v = begin; v < end; ++v)
      findFirstsOfGroup(sides.data() + (v == 0 ? 0 : groupEnd[v - 1]), sides.data() + groupEnd[v], plan);
  });
  plan.splits.reserve(longSides / 2 + 16);
  for (std::size_t side = 0; side < plan.splitOfSide.size(); ++side) {
    const uint32_t first = plan.splitOfSide[side];
    if (first == kNoPoint) continue;
    if (first == side) {
      plan.splitOfSide[side] = static_cast<uint32_t>(plan.splits.size());
      plan.splits.push_back({static_cast<uint32_t>(side), kNoPoint, {0, 0, 0}});
    } else {
      plan.splitOfSide[side] = plan.splitOfSide[first];
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
  const std::size_t triangleCount = mesh.triangleCount();
  const bool everySide = !(maxEdge > 0);
  const double limitSquared = maxEdge * maxEdge;
  const bool hasClosures =
      std::any_of(closures.begin(), closures.end(), [](uint8_t code) { return code != kOwnTriangle; });
  // Long sides are marked 0 first, the others kNoPoint, and counted by
  // lower end, and given their entries once the pass is known not to be
  // uniform.
  plan.splitOfSide.resize(sideCount);
  const auto mark = [&](std::size_t begin, std::size_t end, BigArray<uint32_t>& counts) {
    counts.assign(mesh.vertexCount() + 1, 0);
    return markLongSides(mesh, begin, end, limitSquared, everySide, plan.splitOfSide, counts);
  };
  // The second half counts on its own, so that the halves can be grouped
  // side by side.
  BigArray<uint32_t> firstHalf, secondHalf;
  uint64_t longSides = 0, secondLong = 0;
  runBeside(
      sideCount, [&] { secondLong = mark(triangleCount / 2, triangleCount, secondHalf); },
      [&] { longSides = mark(0, triangleCount / 2, firstHalf); });
  longSides += secondLong;
  if (!hasClosures && (everySide || longSides == sideCount)) {
    plan = AdaptivePlan();
    plan.uniform = true;
    plan.size = indexedPassSize(mesh);
    return;
  }
  pairLongSides(mesh, longSides, firstHalf, secondHalf, plan);
  plan.longPairs = plan.splits.size();
  plan.namedInOrder = !hasClosures;
  BigArray<uint32_t>().swap(secondHalf);
  PairTable spread;
  uint64_t splitSides = longSides;
  uint64_t redClosures = 0;
  if (hasClosures) {
    plan.splitRed.assign(mesh.triangleCount(), 0);
    if (spreadToClosures(mesh, closures, spread, plan) > 0) {
      findSpreadEntries(mesh, spread, plan, plan.longPairs);
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
