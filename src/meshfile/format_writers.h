// The writers of each format, behind writeMeshFile (mesh_file.h), which
// picks one and says what a format drops. Each writes the whole surface to
// the stream of its buffer settings and returns false when the stream
// reports an error. Positions in text are exact (write_buffer.h), in
// binary the float's own bits.
#pragma once

#include <cstdio>

#include "mesh_file.h"

// OBJ with "vt", "vn", "v x y z r g b", "mtllib" and "usemtl"/"g"/"o" lines
// in the order the groups come; a vertex per combination of position and
// colour when colours are present.
bool writeObjSurface(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream);

// PLY, binary little endian or ascii: a vertex per combination of position
// and corner values, so seams survive; colours as unsigned bytes when the
// file they came from gave bytes, else floats.
bool writePly(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream);

// STL, binary or ASCII, with each facet's normal made from its corners.
bool writeStl(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream);

// OFF, or COFF with vertex colours (a vertex per combination of position
// and colour).
bool writeOff(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream);
