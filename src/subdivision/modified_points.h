// The new points of the modified butterfly rule on an indexed mesh, placed
// from a stencil index built with ordered fans (fan_order.h). The caller
// owns the points; they hold a point only where asked (see below).
//
// Where the rule applies (a side flagged 0 whose ends both have closed fans):
//  - both ends of valence 6: the eight-point stencil with weights 1/2, 1/8
//    and -1/16, in the grouping of stencil_rules.h at tension 1/16;
//  - one end of valence K != 6: that end's stencil (modified_rule.h);
//  - both ends irregular: the mean of the two ends' stencils.
// Elsewhere, as docs/subdivision-rules.md explains for users:
//  - a side flagged 0 with one end in a closed fan of valence K != 6 and the
//    other not in a closed fan (a rim vertex, a fin's vertex, a pinch):
//    that irregular end's stencil alone, which needs nothing of the other;
//  - any other side flagged 0: the classic eight-point stencil at tension
//    1/16, ghost corners standing in for missing ones;
//  - a side not flagged 0 (a rim, a crease, a crack left by a weld, sides on
//    top of each other): the classic rules, the four-point rule on rims and
//    crease lines and one point for all the sides on one pair of vertices
//    (stencil_rules.h).
// A vertex on a crease has no closed fan here (stencil_index.h), so the
// sides beside a crease fall to the cases above that need no fan across it.
// Every point is worked out in double precision and rounded once to float.
#pragma once

#include "big_array.h"
#include "stencil_index.h"

// points[side] for every side with firstOnPair[side] == side: the point of
// the side index.pointSource names for it; other entries are left as they
// are. Throws std::bad_alloc when the points cannot be had.
void placeModifiedPoints(const StencilIndex& index, const BigArray<uint32_t>& firstOnPair,
                         BigArray<FloatPoint>& points);

// points[i]: the point placeModifiedPoints gives sides[i], each a side that
// is its own first on its pair; a pass that places a few sides holds a point
// per such side rather than per side of the mesh.
void placeModifiedPointsOf(const StencilIndex& index, const BigArray<uint32_t>& sides, BigArray<FloatPoint>& points);
