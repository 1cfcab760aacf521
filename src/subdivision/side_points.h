// The new point of every side of the current faces, as its vertex record will
// hold it, worked out from the stencil index before the pass writes any
// record: the pass can then drop the index before the new records take their
// memory, and a side and its twin running the other way can share one set of
// lookups. The caller owns the array; it outlives the index and stays right
// while the current lists are as they were when the index was built.
#pragma once

#include "big_array.h"
#include "stencil_index.h"

// points[side] for every side face * 3 + k of the index: the point of the
// side itself, or of its group's source side (stencil_index.h), rounded to
// float. Throws std::bad_alloc when its memory cannot be had.
void placeSidePoints(const StencilIndex& index, double t, BigArray<FloatPoint>& points);
