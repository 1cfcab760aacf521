// Values tied to the vertices (mesh_attributes.h) through the four-way split:
// old values keep their numbers, and each new point takes the value between
// its side's two ends, so that the kind stays tied and needs no number per
// corner. The caller owns the kinds; nothing is kept between calls.
#pragma once

#include <cstddef>

#include "indexed_pass.h"
#include "mesh_attributes.h"

// Whether the kind, not yet tied, could be: every corner of the mesh before
// the split (corner k of old triangle t is corner 12t + 4k of the split)
// names its own vertex's value, and there is one value a vertex.
bool valuesFollowVertices(const CornerValues& kind, const IndexedMesh& split, std::size_t verticesBefore);

// Gives the new points of the split, a mesh subdivideIndexed made of one
// with verticesBefore vertices, their values of each of the `count` tied
// kinds, normals (unitLength[k]) made unit length; a kind with no value
// between its ends' values, as middleValue finds, takes the first end's.
// Large meshes are filled on every core; the workers have ended when it
// returns. Throws std::bad_alloc, with values perhaps appended.
void splitVertexValues(CornerValues* const* kinds, const bool* unitLength, std::size_t count,
                       const IndexedMesh& split, std::size_t verticesBefore);

// Gives a tied kind its number per corner again, for a pass that carries
// values by the origins of its corners. Throws std::bad_alloc, leaving the
// kind tied.
void untieValues(CornerValues& kind, const IndexedMesh& mesh);
