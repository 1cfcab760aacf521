// Refinement to a side length: a pass that splits only the sides of an
// indexed mesh longer than a given length, red-green style. A triangle with
// three split sides becomes four (red, the uniform pass's split); one with
// one or two becomes a green or blue closure of two or three triangles,
// which the next pass takes back into the triangle it was cut from before
// deciding anything, so closures are never cut again and needles cannot
// build up (docs/meshsubdivide.md). A closure taken back that has a side to
// split is split red, with the points it already has.
//
// The caller owns the mesh, its closure codes (closure_groups.h; empty for a
// mesh that no such pass made) and the plan; the pass replaces the mesh and
// the codes with the next generation's.
//
// Invariants a caller can rely on after subdivideAdaptive:
//  - every new point stands bit for bit where subdivideIndexed by the same
//    rule would put the point of that side of the given mesh; the old
//    vertices keep their numbers and positions, new points follow in the
//    order the output's triangles first name them, each named by a triangle;
//  - no side of the given mesh longer than the length is left whole; a
//    closed, consistently oriented mesh stays so, without T-junctions, and
//    the halves of a split side keep its flag while sides inside a triangle
//    are interior (undecided when they run from a vertex to itself);
//  - when the plan says uniform (every side to split, no closure in the
//    mesh), the pass is subdivideIndexed itself and the codes are left empty.
#pragma once

#include <cstdint>

#include "big_array.h"
#include "closure_groups.h"
#include "indexed_pass.h"
#include "mesh_attributes.h"

// A pair of vertices whose side is split: one side of the given mesh on it
// (its ends and their corners),
// and, once the pass has placed it, its point and its vertex number.
struct SplitSide {
  uint32_t side;
  uint32_t vertex;  // kNoPoint until a triangle of the output names it
  FloatPoint point;
};

struct AdaptivePlan {
  bool uniform = false;
  BigArray<SplitSide> splits;     // one per pair of vertices, either way
  // The first splits are the pairs of long sides, each held by the first
  // side on it either way, in the order of those sides; those spreading
  // added follow.
  std::size_t longPairs = 0;
  // No closure in the mesh: the pass names the splits' points in the
  // splits' order, each first by the side that holds it.
  bool namedInOrder = false;
  BigArray<uint32_t> splitOfSide;  // per side of the mesh: its entry of splits, or kNoPoint
  BigArray<uint8_t> splitRed; // per triangle: 1 at the first of a closure taken back and split red
  uint64_t stencilTriangles = 0;  // triangles with a corner at an end of a split side
  IndexedPassSize size{};     // the pass at most
};

// Which sides the pass splits and what it will need. A side is longer when
// its ends are two vertices farther apart than maxEdge; every side is, ends
// the same or not, when maxEdge is 0 or less. Then every side of a closure
// taken back is split when one of its triangles has a side to split, and so
// on until nothing changes. Works on every core, as the pass does. Throws
// std::bad_alloc when its tables cannot be had, and PassStopped when the
// calling thread's stop flag is set (parallel_ranges.h).
void planAdaptivePass(const IndexedMesh& mesh, const BigArray<uint8_t>& closures, double maxEdge,
                      AdaptivePlan& plan);

// True when the plan splits no side: the mesh is done.
inline bool nothingToSplit(const AdaptivePlan& plan) { return !plan.uniform && plan.splits.empty(); }

// The pass the plan says. When origins is not null it gets, per corner of
// the output, the corners of the given mesh whose values it takes
// (mesh_attributes.h). The mesh must be classified. The plan is used up:
// its splits are dropped before the output is taken, so that the two are
// never held together, and splitOfSide is left naming vertices. Throws
// std::bad_alloc, leaving the mesh and closures as they were, when memory
// cannot be had, and PassStopped, leaving them so too, when the calling
// thread's stop flag is set.
void subdivideAdaptive(IndexedMesh& mesh, BigArray<uint8_t>& closures, AdaptivePlan& plan, const IndexedRule& rule,
                       BigArray<CornerOrigin>* origins = nullptr);

// Plans and makes one pass; false, with nothing changed, when no side is
// longer than maxEdge.
bool subdivideToLength(IndexedMesh& mesh, BigArray<uint8_t>& closures, double maxEdge, const IndexedRule& rule,
                       BigArray<CornerOrigin>* origins = nullptr);
