// The attributes of the four-way split. Values are interned by their pair of
// old values, as carryAttributes does; but where every value of a kind
// belongs to one vertex, as in most files, a pair of values names one side's
// new point, and the point's number finds the pair's value in a flat array
// in the order the points were made, rather than in a hash table that every
// lookup would miss in the cache. Only a second pair at one point (a seam)
// goes to the table.
#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

#include "parallel_ranges.h"
#include "platform.h"
#include "surface_pass.h"
#include "value_midpoints.h"

namespace {

// In the split mesh, corner k of old triangle t is corner k of triangle
// 4t + k, and the point of its side k is corner k of triangle 4t + 3.
uint32_t oldCorner(const IndexedMesh& split, std::size_t t, std::size_t k) { return split.corners[12 * t + 4 * k]; }
const uint32_t* pointsOf(const IndexedMesh& split, std::size_t t) { return &split.corners[12 * t + 9]; }

// Sides whose two corners name two different values: no more new values
// than these can be made.
std::size_t sidesBetweenValues(const CornerValues& kind) {
  const BigArray<uint32_t>& of = kind.ofCorner;
  std::size_t sides = 0;
  for (std::size_t c = 0; c < of.size(); ++c) {
    const uint32_t a = of[c], b = of[c - c % 3 + (c % 3 + 1) % 3];
    sides += a != b && a != kNoValue && b != kNoValue ? 1 : 0;
  }
  return sides;
}

// Whether each value is named at the corners of one vertex only: then a
// pair of values lies on one pair of vertices, whose point stands for it.
bool valuesBelongToOneVertex(const CornerValues& kind, const IndexedMesh& split) {
  BigArray<uint32_t> vertexOf(kind.values.size() / kind.width, kNoValue);
  for (std::size_t c = 0; c < kind.ofCorner.size(); ++c) {
    const uint32_t value = kind.ofCorner[c];
    if (value == kNoValue) continue;
    const uint32_t vertex = oldCorner(split, c / 3, c % 3);
    if (vertexOf[value] == kNoValue) vertexOf[value] = vertex;
    if (vertexOf[value] != vertex) return false;
  }
  return true;
}

// The first pair of values met at a new point, and the value made for it.
struct PairAtPoint {
  uint32_t a, b, value;
};

class SplitMidpoints {
 public:
  SplitMidpoints(CornerValues& kind, bool unitLength, const IndexedMesh& split, std::size_t verticesBefore)
      : verticesBefore_(verticesBefore),
        byPoint_(valuesBelongToOneVertex(kind, split)),
        table_(kind, unitLength, byPoint_ ? 0 : sidesBetweenValues(kind) / 2),
        atPoint_(byPoint_ ? split.vertexCount() - verticesBefore : 0, PairAtPoint{kNoValue, kNoValue, kNoValue}) {
    // Without seams, one value a point: room for those now, rather than
    // doubling the array and holding both copies at the pass's peak.
    kind.values.reserve(kind.values.size() + kind.width * atPoint_.size());
  }

  // Makes the value between a and b at the point of their side, in the
  // order the values are to be numbered; a side from a vertex to itself has
  // no point of its own.
  void make(uint32_t a, uint32_t b, uint32_t point) {
    if (!byPoint_ || point < verticesBefore_) {
      table_.between(a, b);
      return;
    }
    if (a == kNoValue || b == kNoValue || a == b) return;
    if (a > b) std::swap(a, b);
    PairAtPoint& first = atPoint_[point - verticesBefore_];
    if (first.a == kNoValue) {
      first = {a, b, table_.make(a, b)};
    } else if (first.a != a || first.b != b) {
      table_.between(a, b);
    }
  }

  // The value make made; on any number of threads once all are made.
  uint32_t found(uint32_t a, uint32_t b, uint32_t point) const {
    if (byPoint_ && point >= verticesBefore_ && a != kNoValue && b != kNoValue && a != b) {
      const PairAtPoint& first = atPoint_[point - verticesBefore_];
      if (first.a == std::min(a, b) && first.b == std::max(a, b)) return first.value;
    }
    return table_.found(a, b);
  }

 private:
  std::size_t verticesBefore_;
  bool byPoint_;
  Midpoints table_;
  BigArray<PairAtPoint> atPoint_;
};

// Joins a thread however its scope is left, so that running out of memory
// beside it never destroys it joinable.
struct Joined {
  std::thread worker;
  ~Joined() {
    if (worker.joinable()) worker.join();
  }
};

// The new values are made in one run over the triangles, in the order
// carryAttributes meets them with the split's origins (P0 and P2 in
// triangle 4t, then P1), so that both number them alike; meanwhile another
// core faults in the new corners' pages, which every core then fills.
// Leaves the kind as it was when it throws.
void splitKind(CornerValues& kind, bool unitLength, const IndexedMesh& split, std::size_t verticesBefore) {
  if (!kind.present()) return;
  const std::size_t valuesBefore = kind.values.size();
  try {
    const std::size_t triangles = kind.ofCorner.size() / 3;
    BigArray<uint32_t> next;
    next.reserve(12 * triangles);
    SplitMidpoints midpoints(kind, unitLength, split, verticesBefore);
    {
      Joined warmer;
      if (triangles >= kParallelFrom && pagesCanBePopulated()) {
        try {
          warmer.worker = std::thread([&next, triangles] { populatePages(next.data(), 12 * triangles * 4); });
        } catch (const std::system_error&) {
          // The fill below faults the pages in itself.
        }
      }
      for (std::size_t t = 0; t < triangles; ++t) {
        const uint32_t* v = &kind.ofCorner[3 * t];
        const uint32_t* point = pointsOf(split, t);
        midpoints.make(v[0], v[1], point[0]);
        midpoints.make(v[2], v[0], point[2]);
        midpoints.make(v[1], v[2], point[1]);
      }
    }
    next.resize(12 * triangles);
    forEachPiece(triangles, 1, [&](std::size_t begin, std::size_t end) {
      for (std::size_t t = begin; t < end; ++t) {
        const uint32_t* v = &kind.ofCorner[3 * t];
        const uint32_t* point = pointsOf(split, t);
        const uint32_t p0 = midpoints.found(v[0], v[1], point[0]);
        const uint32_t p1 = midpoints.found(v[1], v[2], point[1]);
        const uint32_t p2 = midpoints.found(v[2], v[0], point[2]);
        const uint32_t quad[12] = {v[0], p0, p2, p0, v[1], p1, p2, p1, v[2], p0, p1, p2};
        std::copy(quad, quad + 12, &next[12 * t]);
      }
    });
    kind.ofCorner.swap(next);
  } catch (const std::bad_alloc&) {
    kind.values.resize(valuesBefore);
    throw;
  }
}

// Undoes splitKind without allocating.
void gatherKind(CornerValues& kind, std::size_t valuesBefore) {
  if (!kind.present()) return;
  const std::size_t triangles = kind.ofCorner.size() / 12;
  for (std::size_t t = 0; t < triangles; ++t) {
    for (std::size_t k = 0; k < 3; ++k) kind.ofCorner[3 * t + k] = kind.ofCorner[12 * t + 4 * k];
  }
  kind.ofCorner.resize(3 * triangles);
  kind.values.resize(valuesBefore);
}

}  // namespace

// One kind at a time, each kind's old corners freed before the next is
// split, so that only one kind's two generations are held at once.
void splitAttributes(MeshAttributes& attributes, const IndexedMesh& split, std::size_t verticesBefore) {
  CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  std::size_t valuesBefore[3];
  std::size_t done = 0;
  try {
    for (; done < 3; ++done) {
      valuesBefore[done] = kinds[done]->values.size();
      splitKind(*kinds[done], kinds[done] == &attributes.normals, split, verticesBefore);
    }
    BigArray<uint32_t>& groups = attributes.groupOfTriangle;
    if (!groups.empty()) {
      BigArray<uint32_t> next(4 * groups.size());
      for (std::size_t t = 0; t < groups.size(); ++t) std::fill(&next[4 * t], &next[4 * t] + 4, groups[t]);
      groups.swap(next);
    }
  } catch (const std::bad_alloc&) {
    for (std::size_t k = 0; k < done; ++k) gatherKind(*kinds[k], valuesBefore[k]);
    throw;
  }
}

// Per kind: its corners in both generations, its values with as many new
// ones as sides between two values, twice over since a growing array may
// double, and the owner of each old value; then the larger of the array by
// points (12 bytes a point, at most one a side) and the table (24 bytes a
// slot, at most half full), for one kind at a time.
uint64_t splitAttributesBytes(const MeshAttributes& attributes) {
  const CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  uint64_t held = 20 * uint64_t(attributes.groupOfTriangle.size()), lookup = 0;
  for (const CornerValues* kind : kinds) {
    if (!kind->present()) continue;
    const uint64_t pairs = sidesBetweenValues(*kind);
    const uint64_t values = kind->values.size() / kind->width;
    held += 20 * uint64_t(kind->ofCorner.size()) + 2 * 4 * kind->width * (values + pairs) + 4 * values;
    uint64_t slots = 16;
    while (slots < 2 * (pairs + 1)) slots *= 2;
    lookup = std::max({lookup, 24 * slots, 12 * uint64_t(kind->ofCorner.size())});
  }
  return held + lookup;
}
