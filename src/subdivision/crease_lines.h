// Crease sides of an indexed mesh and the crease lines they form.
//
// A side flagged kFlagCrease is one of the two sides of a pair of vertices
// whose triangles bend more than a crease angle (crease_marking.h marks
// them). The pass treats a crease as it treats a rim: the new point on it
// comes from the four-point rule along the crease line, and no stencil
// reaches across it. Flags live with the mesh (IndexedMesh::flags); the
// halves of a split crease side keep the flag, so creases last pass after
// pass.
//
// CreaseLines holds, for every vertex on a crease side, its first two
// distinct crease neighbours and how many it has (counted up to three). A
// vertex with exactly two lies on a crease line, which goes on through it;
// any other crease vertex is a corner, where the line ends. The table owns
// its slots; it is filled while the stencil index is built and read only
// afterwards.
#pragma once

#include <cstdint>

#include "big_array.h"
#include "pair_table.h"

// A side whose triangles meet at a crease: never set by classification,
// only by crease marking, and only on sides that classification called
// interior, so every rule that asks for flag 0 leaves a crease alone.
constexpr uint8_t kFlagCrease = 3;

struct CreaseVertex {
  uint32_t neighbours[2];
  uint32_t count;  // distinct crease neighbours, at most 3
};

struct CreaseLines {
  PairTable slots;  // (vertex, 0) -> its slot in vertices
  BigArray<CreaseVertex> vertices;

  bool empty() const { return vertices.size() == 0; }
};

// Notes the crease side between a and b at both its ends.
void addCreaseSide(CreaseLines& lines, uint32_t a, uint32_t b);

// True when v lies on some crease side.
bool onCrease(const CreaseLines& lines, uint32_t v);

// When v lies on a crease line with `from` on one side of it, its neighbour
// on the other; false at a corner or off every crease.
bool creaseLineBeyond(const CreaseLines& lines, uint32_t v, uint32_t from, uint32_t& found);
