// The length --max-edge resolves to, shared by the program and the Python
// module so that both split the same sides: a length as given, or a
// percentage of the bounding-box diagonal of the mesh's finite positions.
// Nothing is kept between calls.
#pragma once

#include "big_array.h"
#include "vertex_weld.h"

// Without -n, passes to a length go on until no side is longer, or this many
// are made.
constexpr int kMostLengthPasses = 32;

// The diagonal of the box around the positions whose three coordinates are
// finite; 0 when there is none.
double finiteDiagonal(const BigArray<FloatPoint>& positions);

// maxEdge itself, or when percent maxEdge% of the positions' finiteDiagonal.
double resolvedMaxEdge(const BigArray<FloatPoint>& positions, double maxEdge, bool percent);
