// Values tied to the vertices (mesh_attributes.h) through the four-way split:
// a kind is tied where each vertex's corners all name one value (the same
// bits, whatever its number), as a scan's normals or colours do, and a mesh
// file's texture coordinates do away from their seams. Old vertices then
// keep their values and each new point takes the value between its side's
// two ends, so the kind stays tied and needs no number per corner. The
// caller owns every array; nothing is kept between calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "indexed_pass.h"
#include "mesh_attributes.h"

// In the split, corner k of old triangle t is corner k of triangle 4t + k,
// and the point of its side k is corner k of triangle 4t + 3.
inline uint32_t oldCorner(const IndexedMesh& split, std::size_t t, std::size_t k) {
  return split.corners[12 * t + 4 * k];
}
inline const uint32_t* pointsOf(const IndexedMesh& split, std::size_t t) { return &split.corners[12 * t + 9]; }

// The scans of the split's old triangles are cut into blocks of this many;
// nextAt[b], for b from 0 to the number of blocks, is the number of the
// first new point that the blocks before b do not name. Throws
// std::bad_alloc.
constexpr std::size_t kSplitBlock = 4096;
BigArray<uint32_t> pointNumberingAtBlocks(const IndexedMesh& split, std::size_t verticesBefore);

// visit(t, k, first) for each side k of each old triangle t from begin, the
// start of a block, to end, the sides of a triangle in `order`; first when
// the side is the first on its point. A side whose point is the next number
// not yet named is that point's first, and the number then moves on.
template <typename Visit>
void visitSides(const IndexedMesh& split, const BigArray<uint32_t>& nextAt, std::size_t begin, std::size_t end,
                const std::size_t (&order)[3], Visit&& visit) {
  uint32_t next = nextAt[begin / kSplitBlock];
  for (std::size_t t = begin; t < end; ++t) {
    const uint32_t* point = pointsOf(split, t);
    bool first[3];
    for (std::size_t k = 0; k < 3; ++k) {
      first[k] = point[k] == next;
      next += first[k] ? 1 : 0;
    }
    for (std::size_t k : order) visit(t, k, first[k]);
  }
}

// Whether the kind, not tied yet, can be tied to the vertices of the mesh
// before the split (whose corner k of old triangle t is corner 12t + 4k of
// the split): not where a vertex's corners name values of different bits,
// or a corner names none. If so, valueAt holds the value each vertex's
// corners name, kNoValue for a vertex no corner names. Throws
// std::bad_alloc.
bool valuesOfVertices(const CornerValues& kind, const IndexedMesh& split, std::size_t verticesBefore,
                      BigArray<uint32_t>& valueAt);

// The values of a kind tied to the vertices, or that valuesOfVertices found
// can be (valueAt), in an array with room for verticesAfter: a vertex no
// corner names takes `unnamed`, the value a writer gives such a vertex.
// Throws std::bad_alloc; the kind is never changed.
void tiedValues(const CornerValues& kind, const BigArray<uint32_t>& valueAt, const float* unnamed,
                std::size_t verticesAfter, BigArray<float>& tied);

// A kind tied to the vertices of the split, or about to be: values holds a
// value for each old vertex in room for all, width floats each, made unit
// length when unitLength is set (normals).
struct TiedKind {
  BigArray<float>* values;
  unsigned width;
  bool unitLength;
};

// Gives each new point of the split, a mesh subdivideIndexed made, its
// value of every kind: the value between its side's ends, as middleValue
// finds it, or the lower-numbered end's where there is none between. nextAt
// is the split's pointNumberingAtBlocks. Large meshes are filled on every
// core; the workers have ended when it returns.
void splitVertexValues(const TiedKind* kinds, std::size_t count, const IndexedMesh& split,
                       const BigArray<uint32_t>& nextAt);

// Gives a tied kind its number per corner again, for a pass that carries
// values by the origins of its corners. Throws std::bad_alloc, leaving the
// kind tied.
void untieValues(CornerValues& kind, const IndexedMesh& mesh);
