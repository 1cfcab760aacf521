// The one entry to the mesh files a program reads and writes: OBJ, PLY,
// STL and OFF by this library's own readers and writers, every other format
// through the Open Asset Import Library where the build has it.
//
// The caller owns the SurfaceMesh; a read replaces it whole, and a failed
// read leaves it unspecified. Invariants after a successful read: the mesh
// is welded (mesh_content.h) but not classified (flags empty: classifySides
// before a pass), holds at least one triangle, and its attributes keep
// mesh_attributes.h's invariants.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "format_detection.h"
#include "mesh_attributes.h"

struct MeshReadReport {
  DetectedFormat format;
  std::vector<std::string> notes;  // what was skipped or lost, one line each, for a user
};

// Reads, parses and welds the file at path. False, with the cause in words
// for a user (where in the file, when there is a place), when it cannot be
// read, is malformed, is in a format this build does not read, or holds no
// triangle. Throws std::bad_alloc when memory runs out.
bool readMeshFile(const std::string& path, SurfaceMesh& surface, MeshReadReport& report, std::string& cause);

// Called after each block with the units (lines, records) done and in all.
using WriteProgress = void (*)(void* context, uint64_t done, uint64_t all);

struct MeshWriteSettings {
  MeshFormat format = MeshFormat::Obj;  // Obj, Ply, Stl or Off
  bool ascii = false;                   // PLY and STL: text rather than binary
  bool positionsOnly = false;           // leave every attribute out
  std::string comment;                  // one line, where the format has room for one
  WriteProgress progress = nullptr;
  void* context = nullptr;
};

// What the format of settings cannot hold of the surface's attributes, in
// words ("texture coordinates, normals"); empty when it holds them all.
std::string droppedAttributes(const SurfaceMesh& surface, const MeshWriteSettings& settings);

// Writes the surface to stream. False when the stream reports an error
// (errno then says why). Throws std::bad_alloc when memory runs out.
bool writeMeshFile(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream);
