// The attributes of the four-way split. Values are interned by their pair of
// old values, as carryAttributes does; but where every value of a kind
// belongs to one vertex, as in most files, a pair of values names one side's
// new point, and the point's number finds the pair's value in a flat array
// rather than in a hash table that every lookup would miss in the cache, so
// those values are made on every core. Only a side with an end on a seam (a
// vertex whose corners name two or more values, or a corner none) can carry
// two pairs to one point, and only such sides go to the table, in order.
#include <algorithm>
#include <new>
#include <optional>

#include "parallel_ranges.h"
#include "platform.h"
#include "surface_pass.h"
#include "value_midpoints.h"
#include "vertex_values.h"

namespace {

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
// value or none, else 0.
bool markSeams(const CornerValues& kind, const IndexedMesh& split, std::size_t verticesBefore,
               BigArray<uint8_t>& seam) {
  BigArray<uint32_t> vertexOf(kind.values.size() / kind.width, kNoValue);
  BigArray<uint32_t> valueOf(verticesBefore, kNoValue);
  seam.assign(verticesBefore, 0);
  for (std::size_t c = 0; c < kind.ofCorner.size(); ++c) {
    const uint32_t value = kind.ofCorner[c];
    const uint32_t vertex = oldCorner(split, c / 3, c % 3);
    if (value == kNoValue) {
      seam[vertex] = 1;
      continue;
    }
    if (vertexOf[value] == kNoValue) vertexOf[value] = vertex;
    if (vertexOf[value] != vertex) return false;
    if (valueOf[vertex] == kNoValue) valueOf[vertex] = value;
    if (valueOf[vertex] != value) seam[vertex] = 1;
  }
  return true;
}

// Side k of old triangle t: from vertex u to vertex w, its corners naming
// values a and b, and point its new point.
struct Side {
  uint32_t a, b, u, w, point;
};
Side sideOf(const CornerValues& kind, const IndexedMesh& split, std::size_t t, std::size_t k) {
  const std::size_t next = (k + 1) % 3;
  return Side{kind.ofCorner[3 * t + k], kind.ofCorner[3 * t + next], oldCorner(split, t, k), oldCorner(split, t, next),
              pointsOf(split, t)[k]};
}

// The new values of one kind, made and then found on any number of threads.
// Where a point owns its value (below), the value is made by the point's
// first side; those values are numbered first, in the order of the
// triangles and of their sides P0, P2, P1 (the order carryAttributes meets
// them with the split's origins), then the table's, in the same order.
class SplitMidpoints {
 public:
  SplitMidpoints(CornerValues& kind, bool unitLength, const IndexedMesh& split, std::size_t verticesBefore,
                 const BigArray<uint32_t>& nextAt)
      : kind_(kind),
        unitLength_(unitLength),
        split_(split),
        verticesBefore_(verticesBefore),
        nextAt_(nextAt),
        byPoint_(markSeams(kind, split, verticesBefore, seam_)),
        table_(kind, unitLength, byPoint_ ? 0 : sidesBetweenValues(kind) / 2),
        atPoint_(byPoint_ ? split.vertexCount() - verticesBefore : 0, kNoValue) {
    // Without seams, one value a point: room for those now, rather than
    // doubling the array and holding both copies at the pass's peak.
    kind.values.reserve(kind.values.size() + kind.width * atPoint_.size());
  }

  // Makes every new value. Throws std::bad_alloc, with values perhaps
  // appended.
  void makeAll() {
    if (byPoint_) {
      makeByPoints();
      return;
    }
    for (std::size_t t = 0; t < split_.triangleCount() / 4; ++t) {
      for (std::size_t k : {0, 2, 1}) {
        const Side side = sideOf(kind_, split_, t, k);
        table_.between(side.a, side.b);
      }
    }
  }

  // The value made for a side; on any number of threads once all are made.
  uint32_t found(const Side& side) const {
    if (!ownsPoint(side)) return table_.found(side.a, side.b);
    return atPoint_[side.point - verticesBefore_];
  }

 private:
  // Whether every side on the point joins the same two values, different
  // ones (each value belongs to one vertex, neither end is on a seam, and u
  // is not w).
  bool ownsPoint(const Side& side) const {
    return byPoint_ && side.point >= verticesBefore_ && seam_[side.u] == 0 && seam_[side.w] == 0;
  }

  // Whether a value is made between the side's values, into out; else the
  // side takes the lower-numbered of the two.
  bool middleOf(const Side& side, float* out) const {
    const float* values = kind_.values.data();
    const std::size_t width = kind_.width;
    return middleValue(values + std::min(side.a, side.b) * width, values + std::max(side.a, side.b) * width, width,
                       unitLength_, out);
  }

  // middleOf without its value where no unit length is wanted.
  bool makesValue(const Side& side, float* scratch) const {
    if (unitLength_) return middleOf(side, scratch);
    const std::size_t width = kind_.width;
    return !sameBits(kind_.values.data() + side.a * width, kind_.values.data() + side.b * width, width);
  }

  // Each block of triangles counts the values its points make and the sides
  // it leaves to the table, then makes those values at its own offset and
  // lists those sides at its own; the table takes the sides in order.
  void makeByPoints() {
    const BigArray<uint32_t>& nextAt = nextAt_;
    const std::size_t blocks = nextAt.size() - 1;
    const std::size_t triangles = split_.triangleCount() / 4;
    // visit(t, side, first) for each side in numbering order.
    constexpr std::size_t kNumberingOrder[3] = {0, 2, 1};
    const auto walk = [&](std::size_t begin, std::size_t end, auto&& visit) {
      visitSides(split_, nextAt, begin, end, kNumberingOrder,
                 [&](std::size_t t, std::size_t k, bool first) { visit(t, sideOf(kind_, split_, t, k), first); });
    };
    const auto toTable = [](const Side& side) { return side.a != kNoValue && side.b != kNoValue && side.a != side.b; };
    BigArray<uint32_t> madeAt(blocks + 1, 0), listedAt(blocks + 1, 0);
    forEachPiece(triangles, kSplitBlock, [&](std::size_t begin, std::size_t end) {
      walk(begin, end, [&](std::size_t t, const Side& side, bool first) {
        float middle[4];
        if (!ownsPoint(side)) {
          listedAt[t / kSplitBlock + 1] += toTable(side) ? 1 : 0;
        } else if (first && makesValue(side, middle)) {
          ++madeAt[t / kSplitBlock + 1];
        }
      });
    });
    for (std::size_t b = 1; b <= blocks; ++b) {
      madeAt[b] += madeAt[b - 1];
      listedAt[b] += listedAt[b - 1];
    }
    const std::size_t valuesBefore = kind_.values.size() / kind_.width;
    kind_.values.resize((valuesBefore + madeAt[blocks]) * kind_.width);
    BigArray<uint32_t> listed(2 * std::size_t(listedAt[blocks]));
    forEachPiece(triangles, kSplitBlock, [&](std::size_t begin, std::size_t end) {
      std::size_t made = valuesBefore + madeAt[begin / kSplitBlock], list = listedAt[begin / kSplitBlock];
      walk(begin, end, [&](std::size_t, const Side& side, bool first) {
        if (!ownsPoint(side)) {
          if (!toTable(side)) return;
          listed[2 * list] = side.a;
          listed[2 * list++ + 1] = side.b;
        } else if (first) {
          const bool makes = middleOf(side, kind_.values.data() + made * kind_.width);
          atPoint_[side.point - verticesBefore_] = makes ? static_cast<uint32_t>(made++) : std::min(side.a, side.b);
        }
      });
    });
    for (std::size_t i = 0; i < listed.size(); i += 2) table_.between(listed[i], listed[i + 1]);
  }

  CornerValues& kind_;
  bool unitLength_;
  const IndexedMesh& split_;
  std::size_t verticesBefore_;
  const BigArray<uint32_t>& nextAt_;  // pointNumberingAtBlocks
  BigArray<uint8_t> seam_;
  bool byPoint_;
  Midpoints table_;
  BigArray<uint32_t> atPoint_;
};

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
      const uint32_t p0 = midpoints.found(sideOf(kind, split, t, 0));
      const uint32_t p1 = midpoints.found(sideOf(kind, split, t, 1));
      const uint32_t p2 = midpoints.found(sideOf(kind, split, t, 2));
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
  BigArray<uint32_t> nextAt;
  const auto walked = [&](std::size_t k) { return kinds[k]->present() && !tied[k]; };
  const auto make = [&](std::size_t k) {
    if (!walked(k)) return;
    midpoints[k].emplace(*kinds[k], k == 0, split, verticesBefore, nextAt);
    midpoints[k]->makeAll();
  };
  std::size_t filled = 0;
  try {
    if (attributes.uv.present() || attributes.normals.present() || attributes.colors.present())
      nextAt = pointNumberingAtBlocks(split, verticesBefore);
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
      if (tiedCount > 0) splitVertexValues(tiedKinds, tiedCount, split, nextAt);
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
