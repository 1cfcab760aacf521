// Butterfly subdivision of an indexed mesh: the pass of the store, on a mesh
// held as flat arrays whose triangles name shared vertex numbers, for
// programs that want a welded result rather than the store's lists.
//
// The caller owns the mesh; a pass replaces its arrays with the next
// generation's. Vertex numbers are what a side joins: every vertex stands
// apart, however near another it lies, and a side's new point is made once
// for the two (or more) triangles along it.
//
// Invariants a caller can rely on after subdivideIndexed:
//  - the old vertices keep their numbers and positions bit for bit; the new
//    points follow, one per pair of two different vertices that some side
//    joins, in the order the first side on each pair is met (triangle by
//    triangle, sides v0 v1, v1 v2, v2 v0);
//  - a side from a vertex to itself gets no point: that vertex stands for
//    it, so no position is made twice;
//  - triangle t becomes triangles 4t .. 4t + 3, in the store's order
//    (v0 P0 P2, P0 v1 P1, P2 P1 v2, P0 P1 P2, Pk the new point of side k), so
//    orientation is kept and a closed mesh stays closed;
//  - flags stays what classifySides would make of the new triangles: a side
//    is interior (0) when another side joins the same two vertices, either
//    way, boundary (1) when it is the only one, undecided (2) when it runs
//    from a vertex to itself;
//  - a crease (3, kFlagCrease: set only by markCreases, crease_marking.h)
//    stays a crease: both halves of a crease side are flagged 3, the inner
//    sides of a split never are, so a crease line found once on the input
//    runs on through every pass.
// With the classic rule the new point of each side follows the store's pass
// (stencil_rules.h): the eight-point stencil where the side is interior, the
// four-point rule along rims, ghost corners where the stencil runs off the
// mesh. With the modified rule it follows modified_points.h, which keeps the
// classic rules where the modified one has nothing to say. Both treat a
// crease as a rim (crease_lines.h): the four-point rule along its line, no
// stencil corner looked up across it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "big_array.h"
#include "crease_lines.h"  // kFlagCrease
#include "mesh.h"  // the flag values a side takes
#include "vertex_weld.h"

struct IndexedMesh {
  BigArray<FloatPoint> positions;
  BigArray<uint32_t> corners;  // corners[3t + k]: vertex number of corner k of triangle t
  BigArray<uint8_t> flags;     // flags[3t + k]: flag of the side from corner k to corner k + 1

  std::size_t vertexCount() const { return positions.size(); }
  std::size_t triangleCount() const { return corners.size() / 3; }
};

// Sets mesh.flags from the corners by counting the sides on each pair of
// vertices. Throws std::bad_alloc when its table cannot be had.
void classifySides(IndexedMesh& mesh);

// What one pass over the mesh makes, and the bytes it holds at its peak (the
// arrays of both generations and the neighbourhood index, whose rim and
// crease tables grow with the sides not flagged 0), by either rule: the modified one marks
// closed fans with a byte per vertex where the classic one marks placed
// points with a byte per side. The mesh must be classified.
struct IndexedPassSize {
  uint64_t vertices;   // at most: old vertices plus one new point per side
  uint64_t triangles;  // 4 per triangle
  uint64_t bytes;
};
IndexedPassSize indexedPassSize(const IndexedMesh& mesh);

// The largest triangle count a pass may make: sides are numbered in 32 bits.
constexpr uint64_t kMostIndexedTriangles = (uint64_t(1) << 32) / 3 - 1;

// Which rule places the new points: the classic one with its tension, or
// the modified butterfly rule, which has none.
struct IndexedRule {
  bool modified;
  double tension;  // classic rule only
};

// One pass by the rule. The mesh must be classified (classifySides, or a
// previous pass). Throws std::bad_alloc, leaving the mesh as it was, when
// its memory cannot be had, and PassStopped, leaving it so too, when the
// calling thread's stop flag is set (parallel_ranges.h).
void subdivideIndexed(IndexedMesh& mesh, const IndexedRule& rule);

// One pass of the classic rule with the tension weight t.
void subdivideIndexed(IndexedMesh& mesh, double t);
