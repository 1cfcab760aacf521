// The vertices a file holds when each of its vertices carries one value of
// a kind (PLY, OFF and OBJ colours): a welded vertex whose corners name
// different values becomes one written vertex per combination, so a seam
// survives. The caller owns the record; nothing is kept between calls.
//
// Invariants: written vertices 0 .. V-1 are the mesh's vertices (with the
// values of their first corner, by corner number); the further ones follow
// in the order their first corner comes; firstCorner is kNoValue only for
// a vertex no corner names.
#pragma once

#include "mesh_attributes.h"

struct SplitVertices {
  BigArray<uint32_t> meshVertex;   // per written vertex: its position's vertex
  BigArray<uint32_t> firstCorner;  // per written vertex: a corner naming its values
  BigArray<uint32_t> ofCorner;     // per corner: its written vertex
};

// Splits by the tables that are present and asked for.
void splitVertices(const SurfaceMesh& surface, bool byUv, bool byNormals, bool byColors, SplitVertices& split);
