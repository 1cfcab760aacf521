// Meshes from OBJ text, read and welded as meshsubdivide reads a file, for
// the tests of the libraries beside the viewer (their targets link
// meshfile).
#pragma once

#include <string>

#include "mesh_content.h"
#include "obj_reading.h"

// Welded and classified, as the pass takes it.
inline IndexedMesh weldedObjMesh(const std::string& text) {
  MeshContent content;
  parseObjText(text.data(), text.size(), content);
  IndexedMesh mesh;
  weldedMesh(content, mesh);
  return mesh;
}

// Welded with its attributes and unclassified, as readMeshFile gives it.
inline SurfaceMesh weldedObjSurface(const std::string& text) {
  MeshContent content;
  parseObjText(text.data(), text.size(), content);
  SurfaceMesh surface;
  weldedSurface(content, surface);
  return surface;
}
