// Reading OBJ text as modelling tools write it: every polygon fanned into
// triangles, relative (negative) indices resolved, texture coordinates,
// normals, vertex colours, material libraries, materials, groups and
// objects kept, smoothing groups and every other statement skipped. Unlike
// the viewer's reader, which keeps its own token rules, this one reads
// statements line by line.
//
// The caller owns every result; nothing is kept between calls.
//
// Statements: "#" starts a comment to the line's end; a backslash at a
// line's end (before any comment) continues the statement on the next line.
// "v x y z" is a vertex; "v x y z r g b" gives it a colour (0 to 1); a
// single fourth number (a weight) is ignored. A vertex whose first three
// numbers do not all parse keeps its place in the numbering but no triangle
// may use it. "vt u v" and "vn x y z" are values numbered as vertices are.
// "f c1 c2 c3 ..." names its corners as "i", "i/t", "i//n" or "i/t/n"; each
// counts from 1, or from the last of its kind read so far when negative. A
// face with fewer than three corners, or a corner that names no vertex read
// so far, adds nothing (and counts in facesSkipped when the number is out
// of range); otherwise it gives the triangles c1 ci ci+1, less those with a
// corner that cannot be used. A t or n that names no value leaves that
// corner without one (cornersBereft). "mtllib", "usemtl", "g" and "o" take
// the rest of their line as read.
#pragma once

#include <cstddef>
#include <string>

#include "mesh_content.h"

// The statements of OBJ text. Throws std::bad_alloc when memory runs out.
void parseObjText(const char* text, std::size_t size, MeshContent& content);

// The file at path, read, parsed and welded into mesh, positions only. False,
// with the cause in words for a user ("cannot read: ..." or "holds no
// triangle (...)"), when it cannot be read or holds no triangle. Throws
// std::bad_alloc when memory runs out.
bool readObjMesh(const char* path, IndexedMesh& mesh, std::string& cause);
