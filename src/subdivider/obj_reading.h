// Reading a user's OBJ file in full, for the command-line subdivider: every
// polygon fanned into triangles, texture and normal indices dropped,
// relative (negative) indices resolved, comments and every other statement
// skipped. Unlike the viewer's reader, which keeps its own token rules, this
// one reads statements line by line as modelling tools write them.
//
// The caller owns every result; nothing is kept between calls.
//
// Statements: "#" starts a comment to the line's end; a backslash at a
// line's end (before any comment) continues the statement on the next line.
// "v x y z" is a vertex (further numbers, such as a weight or a colour, are
// ignored); a vertex whose first three numbers do not all parse keeps its
// place in the numbering but no triangle may use it. "f c1 c2 c3 ..." names
// its corners as "i", "i/t", "i//n" or "i/t/n"; i counts from 1, or from the
// last vertex read when negative (-1 is that vertex). A face with fewer than
// three corners, or a corner that names no vertex read so far, adds nothing;
// otherwise it gives the triangles c1 ci ci+1, less those with a corner
// that cannot be used.
#pragma once

#include <cstdint>
#include <string>

#include "big_array.h"
#include "indexed_pass.h"

struct ObjContent {
  BigArray<FloatPoint> positions;  // every vertex statement, in file order
  BigArray<uint8_t> usable;        // 1 where the vertex's three numbers parsed
  BigArray<uint32_t> triangles;    // 0-based vertex numbers, three per triangle
};

// The statements of OBJ text. Throws std::bad_alloc when memory runs out.
void parseObjText(const char* text, std::size_t size, ObjContent& content);

// The triangles as an indexed mesh whose vertices stand apart: vertices that
// the viewer's pass would take for one position (weldPositions, within
// kWeldToleranceRelative of the bounding-box diagonal in every coordinate)
// become the first of them, and vertices that cannot be used are left out.
// The others keep their file order. The mesh comes classified
// (classifySides). Throws std::bad_alloc when memory runs out.
void weldedMesh(const ObjContent& content, IndexedMesh& mesh);

// The file at path, read, parsed and welded into mesh. False, with the cause
// in words for a user ("cannot read: ..." or "holds no triangle (...)"),
// when it cannot be read or holds no triangle. Throws std::bad_alloc when
// memory runs out.
bool readObjMesh(const char* path, IndexedMesh& mesh, std::string& cause);

// The file's whole text. False, with the cause in error (as strerror words
// it, or "is a directory"), when it cannot be read. Throws std::bad_alloc
// when the text does not fit in memory.
bool readWholeFile(const char* path, std::string& text, std::string& error);
