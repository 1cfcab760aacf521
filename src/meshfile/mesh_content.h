// What a reader takes from a mesh file before welding: the file's vertices
// in file order, its faces fanned into triangles that name them, and the
// values of the triangles' corners. Every reader of this library fills one;
// one weld turns it into the SurfaceMesh the programs work on.
//
// The caller owns the record. Invariants a filled record keeps:
//  - usable holds one mark per position; triangles names only usable
//    positions, three numbers per triangle;
//  - the corner tables of attributes hold one number per entry of
//    triangles (corner 3t + k is triangles[3t + k]), and groupOfTriangle one
//    per triangle, or are empty, as mesh_attributes.h says.
#pragma once

#include <cstdint>
#include <string>

#include "big_array.h"
#include "mesh_attributes.h"

struct MeshContent {
  BigArray<FloatPoint> positions;  // every vertex of the file, in file order
  BigArray<uint8_t> usable;        // 1 where the vertex's coordinates parsed
  BigArray<uint32_t> triangles;    // 0-based vertex numbers, three per triangle
  MeshAttributes attributes;
  uint64_t facesSkipped = 0;    // faces that named a vertex the file does not hold
  uint64_t cornersBereft = 0;   // corners whose texture or normal number named no value
};

// The triangles as an indexed mesh whose vertices stand apart: vertices that
// the viewer's pass would take for one position (weldPositions, within
// kWeldToleranceRelative of the bounding-box diagonal in every coordinate)
// become the first of them, and vertices that cannot be used are left out.
// The others keep their file order. The mesh comes classified
// (classifySides). Throws std::bad_alloc when memory runs out.
void weldedMesh(const MeshContent& content, IndexedMesh& mesh);

// The same weld, with the content's attributes moved into the surface:
// welding renumbers vertices, not corners, so every corner keeps its values.
// The sides are left unclassified (flags empty): a conversion without
// passes never needs them, and classifying costs as much as the weld.
void weldedSurface(MeshContent& content, SurfaceMesh& surface);

// Sets the number of value `value` at corner `corner` of table, growing the
// table with kNoValue up to it: readers fill a table only once a corner
// names a value, so a file without any pays nothing for it.
void setCornerValue(CornerValues& table, std::size_t corner, uint32_t value);

// Ends a table that readers filled with setCornerValue: present with width
// when some corner named a value (its ofCorner then grown to `corners`),
// cleared otherwise.
void finishCornerTable(CornerValues& table, unsigned width, std::size_t corners);

// A file's bytes, as read: the first size bytes of data. A BigArray, so
// that a large file takes a few huge pages rather than a fault for every
// small one.
struct FileBytes {
  BigArray<char> data;
  std::size_t size = 0;
};

// The file's whole content. False, with the cause in error (as strerror
// words it, or "is a directory"), when it cannot be read. Throws
// std::bad_alloc when it does not fit in memory.
bool readWholeFile(const char* path, FileBytes& bytes, std::string& error);
