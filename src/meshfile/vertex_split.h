// The vertices a file holds when each of its vertices carries one value of
// a kind (PLY, OFF and OBJ colours): a welded vertex whose corners name
// different values becomes one written vertex per combination, so a seam
// survives. The caller owns the record; nothing is kept between calls.
//
// Invariants: written vertices 0 .. V-1 are the mesh's vertices, with the
// values of their first corner, by corner number; the further ones follow
// in the order their first corner comes. Only the corners on a seam, few in
// most files, are listed: every other corner is written as its own vertex.
#pragma once

#include "mesh_attributes.h"

// With nothing to split by (no kind asked for, or only kinds tied to the
// vertices), the written vertices are the mesh's and the arrays stay empty;
// the functions below read either form.
struct SplitVertices {
  std::size_t meshVertices = 0;    // the mesh's, written first
  BigArray<uint32_t> addedFrom;    // per written vertex past the mesh's: its position's vertex
  const CornerValues* kinds[3] = {nullptr, nullptr, nullptr};  // the kinds split by
  BigArray<uint32_t> valueOf[3];   // per kind split by, per written vertex: its value (kNoValue: none)
  BigArray<uint32_t> seamCorners;  // the corners written as an added vertex, in order
  BigArray<uint32_t> seamVertex;   // per seam corner: its written vertex
};

// Splits by the tables that are present and asked for. Throws
// std::bad_alloc when its arrays cannot be had.
void splitVertices(const SurfaceMesh& surface, bool byUv, bool byNormals, bool byColors, SplitVertices& split);

inline std::size_t writtenVertexCount(const SplitVertices& split, const IndexedMesh& mesh) {
  return mesh.vertexCount() + split.addedFrom.size();
}
inline uint32_t meshVertexOf(const SplitVertices& split, std::size_t v) {
  return v < split.meshVertices ? static_cast<uint32_t>(v) : split.addedFrom[v - split.meshVertices];
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

// The number of the value of a kind the split was asked for at written
// vertex v, kNoValue when it has none.
inline uint32_t valueOfWritten(const CornerValues& table, const SplitVertices& split, std::size_t v) {
  if (!table.present()) return kNoValue;
  if (table.byVertex) return meshVertexOf(split, v);
  for (std::size_t k = 0; k < 3; ++k) {
    if (split.kinds[k] == &table) return split.valueOf[k][v];
  }
  return kNoValue;
}
