// Welding vertex positions: which records of a pass stand at the same
// position. Two positions coincide when all their coordinates differ by at
// most the tolerance, kWeldToleranceRelative of the bounding-box diagonal of
// the finite positions; a position with a non-finite coordinate coincides
// with nothing but itself. Coincidence is not transitive, so the weld is
// defined by list order: position i is welded to the weld of the first
// position (lowest number) that coincides with it, itself when there is none.
// Every result is the caller's; nothing is kept between calls.
#pragma once

#include <cstdint>

#include "big_array.h"

// Relative to the bounding-box diagonal of the finite vertices.
constexpr double kWeldToleranceRelative = 1e-5;

struct FloatPoint {
  float x, y, z;
};

struct VertexWeld {
  BigArray<uint32_t> weldedTo;  // number -> number of its weld, never larger
  double tolerance = 0.0;
  bool identity = true;         // no position welded to another one
};

// Linear time (plus the comparisons within cells, which are few unless many
// distinct positions crowd within a few tolerances of each other). Its own
// arrays take at most 120 bytes per position while it runs: 8 for the
// position's cell, up to 56 for the neighbouring cells it asks about, and as
// many again for sorting them. Throws std::bad_alloc when they cannot be had.
void weldPositions(const BigArray<FloatPoint>& positions, VertexWeld& weld);
