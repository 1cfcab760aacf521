// The vertices a file holds when each of its vertices carries one value of
// a kind (PLY, OFF and OBJ colours): a welded vertex whose corners name
// different values becomes one written vertex per combination, so a seam
// survives. The caller owns the record; nothing is kept between calls.
//
// Invariants: written vertices 0 .. V-1 are the mesh's vertices (with the
// values of their first corner, by corner number); the further ones follow
// in the order their first corner comes; firstCorner is kNoValue only for
// a vertex no corner names. Only the corners on a seam, few in most files,
// are listed: every other corner is written as its own vertex.
#pragma once

#include "mesh_attributes.h"

// With nothing to split by (no kind asked for, or only kinds tied to the
// vertices), the written vertices are the mesh's (identity) and the arrays
// stay empty; the functions below read either form.
struct SplitVertices {
  bool identity = false;
  BigArray<uint32_t> meshVertex;   // per written vertex: its position's vertex
  BigArray<uint32_t> firstCorner;  // per written vertex: a corner naming its values
  BigArray<uint32_t> seamCorners;  // the corners written as a vertex beyond the mesh's, in order
  BigArray<uint32_t> seamVertex;   // per seam corner: its written vertex
};

// Splits by the tables that are present and asked for. Throws
// std::bad_alloc when its arrays cannot be had.
void splitVertices(const SurfaceMesh& surface, bool byUv, bool byNormals, bool byColors, SplitVertices& split);

inline std::size_t writtenVertexCount(const SplitVertices& split, const IndexedMesh& mesh) {
  return split.identity ? mesh.vertexCount() : split.meshVertex.size();
}
inline uint32_t meshVertexOf(const SplitVertices& split, std::size_t v) {
  return split.identity ? static_cast<uint32_t>(v) : split.meshVertex[v];
}
// kNoValue when no corner names the vertex or nothing was split by.
inline uint32_t firstCornerOf(const SplitVertices& split, std::size_t v) {
  return split.identity ? kNoValue : split.firstCorner[v];
}

// The written vertices of a mesh's corners, asked for in corner order, as a
// writer puts its faces.
struct WrittenCorners {
  const SplitVertices& split;
  const IndexedMesh& mesh;
  std::size_t seam = 0;  // the first seam corner not yet passed

  uint32_t of(std::size_t corner) {
    const BigArray<uint32_t>& seams = split.seamCorners;
    if (seam < seams.size() && seams[seam] == corner) return split.seamVertex[seam++];
    return mesh.corners[corner];
  }
};

// The number of the value of the kind at written vertex v, kNoValue when it
// has none.
inline uint32_t valueOfWritten(const CornerValues& table, const SplitVertices& split, std::size_t v) {
  if (!table.present()) return kNoValue;
  if (table.byVertex) return meshVertexOf(split, v);
  const uint32_t corner = firstCornerOf(split, v);
  return corner == kNoValue ? kNoValue : table.ofCorner[corner];
}
