// The attributes of the four-way split. Values are interned by their pair of
// old values, as carryAttributes does; but where every value of a kind
// belongs to one vertex, as in most files, a pair of values names one side's
// new point, and the point's number finds the pair's value in a flat array
// rather than in a hash table that every lookup would miss in the cache.
// Only a side with an end on a seam (a vertex whose corners name two or more
// values) can carry two pairs to one point, and only such sides go to the
// table.
#include <algorithm>
#include <new>
#include <optional>

#include "parallel_ranges.h"
#include "platform.h"
#include "surface_pass.h"
#include "value_midpoints.h"
#include "vertex_values.h"

namespace {

// In the split mesh, corner k of old triangle t is corner k of triangle
// 4t + k, and the point of its side k is corner k of triangle 4t + 3.
uint32_t oldCorner(const IndexedMesh& split, std::size_t t, std::size_t k) { return split.corners[12 * t + 4 * k]; }
const uint32_t* pointsOf(const IndexedMesh& split, std::size_t t) { return &split.corners[12 * t + 9]; }

// Sides whose two corners name two different values: no more new values
// than these can be made.
std::size_t sidesBetweenValues(const CornerValues& kind) {
  const auto between = [](uint32_t a, uint32_t b) -> std::size_t { return a != b && a != kNoValue && b != kNoValue; };
  std::size_t sides = 0;
  for (std::size_t c = 0; c + 2 < kind.ofCorner.size(); c += 3) {
    const uint32_t* v = &kind.ofCorner[c];
    sides += between(v[0], v[1]) + between(v[1], v[2]) + between(v[2], v[0]);
  }
  return sides;
}

// Whether each value is named at the corners of one vertex only: then a
// pair of values lies on one pair of vertices, whose point stands for it.
// If so, seam[v] is 1 for each old vertex v whose corners name more than one
// value, else 0.
bool markSeams(const CornerValues& kind, const IndexedMesh& split, std::size_t verticesBefore,
               BigArray<uint8_t>& seam) {
  BigArray<uint32_t> vertexOf(kind.values.size() / kind.width, kNoValue);
  BigArray<uint32_t> valueOf(verticesBefore, kNoValue);
  seam.assign(verticesBefore, 0);
  for (std::size_t c = 0; c < kind.ofCorner.size(); ++c) {
    const uint32_t value = kind.ofCorner[c];
    if (value == kNoValue) continue;
    const uint32_t vertex = oldCorner(split, c / 3, c % 3);
    if (vertexOf[value] == kNoValue) vertexOf[value] = vertex;
    if (vertexOf[value] != vertex) return false;
    if (valueOf[vertex] == kNoValue) valueOf[vertex] = value;
    if (valueOf[vertex] != value) seam[vertex] = 1;
  }
  return true;
}

// The new values of one kind, made in the order they are to be numbered and
// then found on any number of threads. A side runs from vertex u to vertex
// w, its corners naming values a and b, and point is its new point.
class SplitMidpoints {
 public:
  SplitMidpoints(CornerValues& kind, bool unitLength, const IndexedMesh& split, std::size_t verticesBefore)
      : verticesBefore_(verticesBefore),
        byPoint_(markSeams(kind, split, verticesBefore, seam_)),
        table_(kind, unitLength, byPoint_ ? 0 : sidesBetweenValues(kind) / 2),
        atPoint_(byPoint_ ? split.vertexCount() - verticesBefore : 0, kNoValue) {
    // Without seams, one value a point: room for those now, rather than
    // doubling the array and holding both copies at the pass's peak.
    kind.values.reserve(kind.values.size() + kind.width * atPoint_.size());
  }

  // The value between a and b, made the first time the pair is met; a side
  // from a vertex to itself has no point of its own.
  void make(uint32_t a, uint32_t b, uint32_t u, uint32_t w, uint32_t point) {
    if (!ownsPoint(u, w, point)) {
      table_.between(a, b);
      return;
    }
    if (a == kNoValue || b == kNoValue) return;
    uint32_t& value = atPoint_[point - verticesBefore_];
    if (value == kNoValue) value = table_.make(std::min(a, b), std::max(a, b));
  }

  // The value make made; on any number of threads once all are made.
  uint32_t found(uint32_t a, uint32_t b, uint32_t u, uint32_t w, uint32_t point) const {
    if (!ownsPoint(u, w, point)) return table_.found(a, b);
    return a == kNoValue || b == kNoValue ? kNoValue : atPoint_[point - verticesBefore_];
  }

 private:
  // Whether every pair met at the point is the same, with two different
  // values (each value belongs to one vertex, and u is not w).
  bool ownsPoint(uint32_t u, uint32_t w, uint32_t point) const {
    return byPoint_ && point >= verticesBefore_ && seam_[u] == 0 && seam_[w] == 0;
  }

  std::size_t verticesBefore_;
  BigArray<uint8_t> seam_;
  bool byPoint_;
  Midpoints table_;
  BigArray<uint32_t> atPoint_;
};

// Makes the kind's new values in one run over the triangles, in the order
// carryAttributes meets them with the split's origins (P0 and P2 in
// triangle 4t, then P1), so that both number them alike.
void makeValues(SplitMidpoints& midpoints, const CornerValues& kind, const IndexedMesh& split) {
  const std::size_t triangles = kind.ofCorner.size() / 3;
  for (std::size_t t = 0; t < triangles; ++t) {
    const uint32_t* v = &kind.ofCorner[3 * t];
    const uint32_t* point = pointsOf(split, t);
    const uint32_t u[3] = {oldCorner(split, t, 0), oldCorner(split, t, 1), oldCorner(split, t, 2)};
    midpoints.make(v[0], v[1], u[0], u[1], point[0]);
    midpoints.make(v[2], v[0], u[2], u[0], point[2]);
    midpoints.make(v[1], v[2], u[1], u[2], point[1]);
  }
}

// Gives the kind its new corners from the values made, on every core.
void fillCorners(CornerValues& kind, const SplitMidpoints& midpoints, const IndexedMesh& split) {
  const std::size_t triangles = kind.ofCorner.size() / 3;
  BigArray<uint32_t> next;
  next.reserve(12 * triangles);
  populateOnEveryCore(next.data(), 12 * triangles);
  next.resize(12 * triangles);
  forEachPiece(triangles, 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t t = begin; t < end; ++t) {
      const uint32_t* v = &kind.ofCorner[3 * t];
      const uint32_t* point = pointsOf(split, t);
      const uint32_t u[3] = {oldCorner(split, t, 0), oldCorner(split, t, 1), oldCorner(split, t, 2)};
      const uint32_t p0 = midpoints.found(v[0], v[1], u[0], u[1], point[0]);
      const uint32_t p1 = midpoints.found(v[1], v[2], u[1], u[2], point[1]);
      const uint32_t p2 = midpoints.found(v[2], v[0], u[2], u[0], point[2]);
      const uint32_t quad[12] = {v[0], p0, p2, p0, v[1], p1, p2, p1, v[2], p0, p1, p2};
      std::copy(quad, quad + 12, &next[12 * t]);
    }
  });
  kind.ofCorner.swap(next);
}

// Undoes fillCorners without allocating.
void gatherKind(CornerValues& kind) {
  if (!kind.present()) return;
  const std::size_t triangles = kind.ofCorner.size() / 12;
  for (std::size_t t = 0; t < triangles; ++t) {
    for (std::size_t k = 0; k < 3; ++k) kind.ofCorner[3 * t + k] = kind.ofCorner[12 * t + 4 * k];
  }
  kind.ofCorner.resize(3 * triangles);
}

}  // namespace

// A kind tied to the vertices, or that can be, takes one value a new point,
// on every core. Making any other kind's values walks the triangles in
// order on one thread, so the walks run beside the rest: the texture
// coordinates and colours on a second thread, while the calling thread
// splits the tied kinds and then walks the normals, the dearest to make,
// where its arrays may reuse memory the geometry freed. Then each walked
// kind's corners are filled on every core, one kind at a time, its old
// corners freed before the next is filled, so that only one kind's two
// generations of corners are held at once. A kind that is tied only now
// keeps its numbers per corner until nothing else can fail.
void splitAttributes(MeshAttributes& attributes, const IndexedMesh& split, std::size_t verticesBefore) {
  static const float kZeros[4] = {0, 0, 0, 0}, kWhite[4] = {1, 1, 1, 1};
  CornerValues* kinds[3] = {&attributes.normals, &attributes.uv, &attributes.colors};
  std::size_t valuesBefore[3];
  for (std::size_t k = 0; k < 3; ++k) valuesBefore[k] = kinds[k]->values.size();
  bool tied[3] = {false, false, false};
  BigArray<float> atVertices[3];
  std::optional<SplitMidpoints> midpoints[3];
  const auto walked = [&](std::size_t k) { return kinds[k]->present() && !tied[k]; };
  const auto make = [&](std::size_t k) {
    if (!walked(k)) return;
    midpoints[k].emplace(*kinds[k], k == 0, split, verticesBefore);
    makeValues(*midpoints[k], *kinds[k], split);
  };
  std::size_t filled = 0;
  try {
    BigArray<uint32_t> valueAt[3];
    for (std::size_t k = 0; k < 3; ++k) {
      const CornerValues& kind = *kinds[k];
      tied[k] = kind.byVertex || (kind.present() && valuesOfVertices(kind, split, verticesBefore, valueAt[k]));
      if (!tied[k]) BigArray<uint32_t>().swap(valueAt[k]);
    }
    const auto splitTied = [&] {
      TiedKind tiedKinds[3];
      std::size_t tiedCount = 0;
      for (std::size_t k = 0; k < 3; ++k) {
        if (!tied[k]) continue;
        tiedValues(*kinds[k], valueAt[k], k == 2 ? kWhite : kZeros, split.vertexCount(), atVertices[k]);
        tiedKinds[tiedCount++] = TiedKind{&atVertices[k], kinds[k]->width, k == 0};
      }
      if (tiedCount > 0) splitVertexValues(tiedKinds, tiedCount, split, verticesBefore);
      // A kind tied already keeps its old values as the new array's first.
      for (std::size_t k = 0; k < 3; ++k) {
        if (!kinds[k]->byVertex) continue;
        kinds[k]->values.swap(atVertices[k]);
        BigArray<float>().swap(atVertices[k]);
      }
    };
    runBeside(
        (walked(1) || walked(2)) && (walked(0) || tied[0] || tied[1] || tied[2]) ? split.triangleCount() : 0,
        [&] {
          make(1);
          make(2);
        },
        [&] {
          splitTied();
          make(0);
        });
    for (; filled < 3; ++filled) {
      if (!walked(filled)) continue;
      fillCorners(*kinds[filled], *midpoints[filled], split);
      midpoints[filled].reset();
    }
    BigArray<uint32_t>& groups = attributes.groupOfTriangle;
    if (!groups.empty()) {
      BigArray<uint32_t> next(4 * groups.size());
      for (std::size_t t = 0; t < groups.size(); ++t) std::fill(&next[4 * t], &next[4 * t] + 4, groups[t]);
      groups.swap(next);
    }
  } catch (const std::bad_alloc&) {
    for (std::size_t k = 0; k < 3; ++k) {
      if (k < filled && walked(k)) gatherKind(*kinds[k]);
      kinds[k]->values.resize(valuesBefore[k]);
    }
    throw;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    if (!tied[k] || kinds[k]->byVertex) continue;
    kinds[k]->values.swap(atVertices[k]);
    BigArray<uint32_t>().swap(kinds[k]->ofCorner);
    kinds[k]->byVertex = true;
  }
}

// Per kind: its corners in both generations, its values with as many new
// ones as sides between two values, twice over since a growing array may
// double, and the owner of each old value; then, for every kind at once,
// the table (24 bytes a slot, at most half full) with the seams and the
// array by points (a byte a vertex and 4 bytes a point, at most one a side;
// 4 more bytes a vertex while the seams are found). A kind tied to the
// vertices holds its old values and one a vertex after the pass.
uint64_t splitAttributesBytes(const MeshAttributes& attributes, uint64_t verticesAfter) {
  const CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  uint64_t held = 20 * uint64_t(attributes.groupOfTriangle.size()), lookup = 0;
  for (const CornerValues* kind : kinds) {
    if (!kind->present()) continue;
    const uint64_t values = kind->values.size() / kind->width;
    if (kind->byVertex) {
      held += 4 * kind->width * (values + verticesAfter);
      continue;
    }
    const uint64_t pairs = sidesBetweenValues(*kind);
    held += 20 * uint64_t(kind->ofCorner.size()) + 2 * 4 * kind->width * (values + pairs) + 4 * values;
    uint64_t slots = 16;
    while (slots < 2 * (pairs + 1)) slots *= 2;
    lookup += 24 * slots + 9 * uint64_t(kind->ofCorner.size());
  }
  return held + lookup;
}
