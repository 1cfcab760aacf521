// A pass over a mesh with its attributes (mesh_attributes.h): the geometry
// by the indexed pass, then the texture coordinates, normals, colours and
// groups carried to the new corners and triangles.
//
// The caller owns every record; a pass replaces them with the next
// generation's. Invariants a caller can rely on after a pass:
//  - positions, corners and flags are bit for bit what subdivideIndexed
//    makes of the same mesh;
//  - old values keep their numbers and bits; new ones follow, one per
//    unordered pair of different old value numbers that some new corner
//    comes from (carryAttributes numbers them in the order the new corners
//    first name them; the split may number them otherwise); but a kind
//    whose every vertex's corners name one value is tied to the vertices
//    (mesh_attributes.h) and stays so: each new point gets a value,
//    numbered as the point, even where its two ends' values hold the same
//    bits;
//  - a new value is the midpoint of its pair's values, worked out in double
//    precision and rounded once to float; normals are then made unit length,
//    and where the two normals are opposite, so that the midpoint is zero or
//    not a number, the corner takes the pair's lower-numbered normal instead
//    (one end's own normal, rather than an arbitrary direction or none);
//  - a new corner that comes from an old corner without a value of some
//    kind has none of that kind;
//  - a new triangle takes the group of the old triangle its first corner
//    comes from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "adaptive_pass.h"
#include "big_array.h"
#include "indexed_pass.h"
#include "mesh_attributes.h"

// Gives the new corners, origins.size() of them, their values as the origins
// say, and each new triangle (three origins in a row) its group. Throws
// std::bad_alloc, leaving the attributes as they were, when memory cannot be
// had. Any pass that can name the origins of its corners may call it, once
// no kind is tied to the vertices (untieValues, vertex_values.h).
void carryAttributes(MeshAttributes& attributes, const BigArray<CornerOrigin>& origins);

// carryAttributes for the four-way split of subdivideIndexed, with the
// origins that split implies and without an array of them: triangle t
// becomes 4t .. 4t + 3, whose corners come from t's corners and from the
// pairs of them its sides join. split is the mesh the pass made of one with
// verticesBefore vertices. Large meshes are filled on every core; the
// workers have ended when it returns. Throws std::bad_alloc, leaving the
// attributes as they were.
void splitAttributes(MeshAttributes& attributes, const IndexedMesh& split, std::size_t verticesBefore);

// The bytes the attributes hold now, and those splitAttributes holds at its
// peak, both generations with its table, for a split that makes at most
// verticesAfter vertices.
uint64_t attributeBytes(const MeshAttributes& attributes);
uint64_t splitAttributesBytes(const MeshAttributes& attributes, uint64_t verticesAfter);

// One pass of the rule over the mesh and its attributes. Throws
// std::bad_alloc, leaving the mesh and its attributes as they were, when
// memory cannot be had.
void subdivideSurface(SurfaceMesh& surface, const IndexedRule& rule);

// indexedPassSize with the attributes' bytes: those held while the geometry
// is made, and the new ones, the tables that share them and the new
// geometry while the attributes are carried, whichever phase needs more.
IndexedPassSize surfacePassSize(const SurfaceMesh& surface);

// A pass to a side length (adaptive_pass.h) over the mesh and its
// attributes: the geometry as subdivideAdaptive makes it, then the
// attributes carried from the origins of its corners (which unties any
// kind tied to the vertices). Throws
// std::bad_alloc when memory cannot be had; the geometry may then be the
// next generation's while the attributes are the last one's, so the caller
// gives the mesh up.
void subdivideSurfaceToLength(SurfaceMesh& surface, BigArray<uint8_t>& closures, AdaptivePlan& plan,
                              const IndexedRule& rule);

// The plan's size with the attributes' bytes, as surfacePassSize reckons
// them, and the origins the carrying reads.
IndexedPassSize surfaceLengthPassSize(const SurfaceMesh& surface, const AdaptivePlan& plan);
