// Finding the creases of an indexed mesh once, before its first pass.
//
// A pair of vertices joined by exactly two triangle sides, both flagged
// interior, is a crease when the normals of the two triangles differ by more
// than the crease angle; both its sides are then flagged kFlagCrease
// (crease_lines.h), and the passes keep that flag on their halves. The
// mesh is the caller's; only its flags change. A triangle without a normal
// (its corners on one line) bends by no angle one can tell, so its sides
// are never creases; two triangles that run a side the same way are turned
// to face alike before their normals are compared.
#pragma once

#include <cstdint>

#include "indexed_pass.h"

// Flags the crease sides of a classified mesh for an angle in degrees
// (0 to 180; at 180 nothing bends more) and returns how many sides it
// flagged. Throws std::bad_alloc, leaving the flags as they were, when its
// table cannot be had.
uint64_t markCreases(IndexedMesh& mesh, double degrees);
