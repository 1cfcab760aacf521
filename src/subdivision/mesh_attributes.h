// What a mesh file carries beside its welded positions, and how a pass
// carries it to the next generation: texture coordinates, normals and
// colours at the corners of triangles, and the material, group and object of
// each triangle.
//
// The caller owns every record. Values belong to corners, not to vertices:
// corner 3t + k of triangle t names a value by its number, so two triangles
// meeting at one welded vertex may name different values there (a texture
// seam) or the same one. Colours, which files give per vertex, are corner
// values too, so that vertices a weld joins keep the colours their triangles
// were given.
//
// Where each vertex's corners all name one value, as a scan's per-vertex
// normals or colours do, a pass ties the kind to the vertices: it drops the
// per-corner numbers, which would only repeat the corners, and gives each
// new point a value of its own. A file's texture coordinates, parted at
// their seams, stay numbered per corner.
//
// Invariants a caller can rely on:
//  - a kind of value is present when its width is not 0; then, unless it is
//    tied to the vertices, ofCorner holds one number per corner of the mesh
//    it belongs to, each below values.size() / width or kNoValue (the corner
//    has none of this kind);
//  - a kind tied to the vertices (byVertex) holds one value per vertex of the
//    mesh, value v being vertex v's, and no ofCorner: valueOfCorner reads
//    either form;
//  - groupOfTriangle is empty (the file named no material, group or object)
//    or holds one number per triangle, each below groups.size();
//  - a pass gives a new corner the midpoint of two old corners' values
//    (normals renormalised) or an old corner's value; two new corners made
//    from the same pair of old values share one new value (in a tied kind,
//    the new point's), so a side whose faces agree about its ends stays
//    without a seam and a seam stays one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "big_array.h"
#include "indexed_pass.h"

constexpr uint32_t kNoValue = UINT32_MAX;

struct CornerValues {
  unsigned width = 0;           // floats per value: 2 texture, 3 normal, 3 or 4 colour; 0 when absent
  BigArray<float> values;       // width floats per value
  BigArray<uint32_t> ofCorner;  // per corner: a value number, or kNoValue; empty when byVertex
  bool byVertex = false;        // value v belongs to vertex v

  bool present() const { return width != 0; }
};

// The value number at corner c of the mesh whose corners these are.
inline uint32_t valueOfCorner(const CornerValues& kind, const BigArray<uint32_t>& corners, std::size_t c) {
  return kind.byVertex ? corners[c] : kind.ofCorner[c];
}

struct FaceGroup {
  std::string material;  // usemtl; empty when none was named
  std::string group;     // g
  std::string object;    // o
};

struct MeshAttributes {
  CornerValues uv;
  CornerValues normals;
  CornerValues colors;           // components from 0 to 1, alpha last when width is 4
  bool colorsWereBytes = false;  // the file gave 0..255 integers, so a writer gives them back so
  BigArray<uint32_t> groupOfTriangle;
  std::vector<FaceGroup> groups;                // in the order the file first named them
  std::vector<std::string> materialLibraries;  // mtllib names, in file order

  bool empty() const {
    return !uv.present() && !normals.present() && !colors.present() && groupOfTriangle.empty();
  }
};

// A mesh as the command-line program and the Python module hold it.
struct SurfaceMesh {
  IndexedMesh mesh;
  MeshAttributes attributes;
};

// Where a corner of the next generation takes its values from: the midpoint
// of old corners a and b, or old corner a's own values when a == b. A new
// triangle's material, group and object are those of old corner a's
// triangle, taken from its first corner.
struct CornerOrigin {
  uint32_t a, b;
};
