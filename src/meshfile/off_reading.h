// Reading an OFF file: the keyword line ([ST][C][N]OFF), the counts of
// vertices, faces and edges, a line per vertex (x y z, then nx ny nz with
// N, a colour with C, texture coordinates with ST), a line per face (its
// corner count, the corners, then a face colour, which is not kept), every
// polygon fanned. "#" starts a comment to the line's end; blank lines are
// skipped. Vertex colours written as whole numbers are bytes (0 to 255),
// others from 0 to 1; as in PLY, a corner names its vertex's values.
// A face naming a vertex the file does not hold is skipped and counted.
#pragma once

#include <cstddef>
#include <string>

#include "mesh_content.h"

// True when the first word of the bytes is an OFF keyword.
bool looksLikeOff(const char* data, std::size_t size);

// Reads the whole file's bytes. False, with the cause and its line, when the
// keyword, the counts or a vertex or face line is missing or malformed,
// or a count is larger than the file could hold. Throws std::bad_alloc when
// memory runs out.
bool parseOffBytes(const char* data, std::size_t size, MeshContent& content, std::string& cause);
