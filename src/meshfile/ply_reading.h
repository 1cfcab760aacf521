// Reading a PLY file (ascii, binary little or big endian) into a
// MeshContent: the "vertex" element's x y z, nx ny nz, colours (red green
// blue [alpha], or their diffuse_ names; integers as bytes, floats from 0
// to 1) and texture coordinates (s t, u v or texture_u texture_v), and the
// "face" element's vertex_indices (or vertex_index) list, every polygon
// fanned. Every other element and property is skipped by its size.
//
// Values belong to the file's vertices; a corner names its vertex's values,
// so vertices at one position with different values stay a seam after the
// weld. A face that names a vertex the file does not hold is skipped and
// counted (facesSkipped). Counts are checked against the bytes the body
// holds before anything is taken for them.
#pragma once

#include <cstddef>
#include <string>

#include "mesh_content.h"

// Reads the whole file's bytes. False, with the cause and where ("byte
// 1234: ..." in a binary body, "line 12: ..." in a text one), when the
// header or the body cannot be read as it says. Throws std::bad_alloc when
// memory runs out.
bool parsePlyBytes(const char* data, std::size_t size, MeshContent& content, std::string& cause);
