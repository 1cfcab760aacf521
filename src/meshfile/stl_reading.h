// Reading an STL file, binary or ASCII, told apart by content: a binary
// file is 84 + 50 × its triangle count bytes long (it may begin with
// "solid" as ASCII does). Each facet gives a triangle of three vertices of
// its own; the weld joins them. Facet normals and the binary form's
// attribute bytes are not kept: a writer makes normals from the triangles.
#pragma once

#include <cstddef>
#include <string>

#include "mesh_content.h"

// True when size bytes make a binary STL file by its length.
bool isBinaryStlSize(const char* data, std::size_t size);

// Reads the whole file's bytes. False, with the cause and where ("line 12:
// ..."), when an ASCII file breaks inside a facet, or when the bytes are
// neither form (the size of a binary file named). Throws std::bad_alloc
// when memory runs out.
bool parseStlBytes(const char* data, std::size_t size, MeshContent& content, std::string& cause);
