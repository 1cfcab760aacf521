// StencilIndex: the neighbourhood of every side of the current mesh, built
// once at the start of a pass so that each stencil question takes constant
// time. It answers the lookup questions of stencil_rules.h with vertices
// named by their position in the vertex list (dense numbers) and sides named
// face * 3 + k in current face list order. It copies nothing of the store and
// is valid only while the current lists stay as they were when it was built.
//
// "First" always means first in current face list order, then e[0], e[1],
// e[2] within a face, as a linear search would find it.
//
// Coincident records: two vertex records whose coordinates all differ by at
// most weldTolerance (a small fraction of the bounding-box diagonal of the
// finite vertices) stand at the same position. Each record is welded to the
// welded number of the first record in list order that coincides with it;
// records with a non-finite coordinate coincide with nothing but themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh.h"
#include "pair_table.h"
#include "stencil_rules.h"

// Relative to the bounding-box diagonal of the finite vertices.
constexpr double kWeldToleranceRelative = 1e-5;

struct StencilIndex {
  std::vector<Vertex*> vertices;    // dense number -> record, list order
  std::vector<uint32_t> weldedTo;   // dense number -> dense number of its weld
  std::vector<Face*> faces;         // current faces in list order
  std::vector<uint32_t> corners;    // corners[3f + k]: dense number of faces[f]->v[k]
  std::vector<uint8_t> flags;       // flags[3f + k]: flag of faces[f]->e[k]
  double weldTolerance = 0.0;
  PairTable sideByRecords;          // (start, end) -> first side
  PairTable sideByPositions;        // (welded start, welded end) -> first side
  PairTable boundaryByPositions;    // the same over sides flagged 1 only
  PairTable rimEndingAt;            // (welded end, 0) -> slot in rimSides
  PairTable rimStartingAt;          // (welded start, 0) -> slot in rimSides
  std::vector<uint32_t> rimSides;   // two per slot: the first two rim sides
};

constexpr uint32_t kNoSide = 0xFFFFFFFFu;

void buildStencilIndex(StencilIndex& index);

// The lookup the pass hands to newPointOnSide.
struct IndexLookup {
  const StencilIndex& index;

  Point3 position(uint32_t vertex) const { return pointOf(*index.vertices[vertex]); }
  uint32_t start(uint32_t side) const { return index.corners[side]; }
  uint32_t end(uint32_t side) const { return index.corners[side - side % 3 + (side % 3 + 1) % 3]; }
  uint8_t flag(uint32_t side) const { return index.flags[side]; }
  bool corner(uint32_t p, uint32_t q, uint32_t& found) const;
  bool hasTwin(uint32_t side) const;
  bool rimBefore(uint32_t side, uint32_t& found) const;
  bool rimAfter(uint32_t side, uint32_t& found) const;
};
