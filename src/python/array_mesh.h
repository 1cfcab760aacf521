// Arrays in and out of the Python module: the numpy arrays a caller hands in,
// read into the SurfaceMesh the C++ libraries take, and a SurfaceMesh's
// buffers handed to numpy as arrays without a copy. Every kind of array the
// module takes or gives is read or made here, and nowhere else.
//
// Reading comes in two steps, so that the long one runs without the GIL:
// meshArraysOf, with the GIL, checks shapes and element types and keeps a
// reference to each array, converted by numpy only when its element type is
// not one read directly; readMeshArrays, without the GIL, reads the elements
// where they are, with any strides, and checks their values. The caller's
// arrays are never written.
//
// Invariants of a mesh readMeshArrays accepts: every face names a vertex of
// the array, and the counts fit the pass's 32-bit numbers.
#pragma once

#include <cstddef>
#include <string>

#include <pybind11/numpy.h>

#include "mesh_attributes.h"

// An array's shape and element type as numpy writes them, for messages:
// "(4, 2)", "(12,)", "float64".
std::string shapeText(const pybind11::array& array);
std::string dtypeText(const pybind11::array& array);

// Where the elements of a two-dimensional array lie, for reading them
// without the GIL.
struct ArrayView {
  const char* data = nullptr;
  std::size_t rows = 0;
  std::ptrdiff_t rowStride = 0, columnStride = 0;
  char kind = 'f';  // numpy's kind: 'f' floating, 'i' signed, 'u' unsigned integer
  std::size_t itemSize = 0;
};

// The caller's arrays, held for as long as their views are read.
struct MeshArrays {
  pybind11::array vertices, faces;
  ArrayView vertexView, faceView;
};

// Takes anything numpy makes an array of. Throws pybind11::value_error, with
// the argument named and the reason, for a shape other than (n, 3) or
// elements of the wrong kind: vertices must be real numbers (float32 and
// float64 are read directly, others converted to float64 first), faces
// integers of any width (others than native 8, 16, 32 or 64-bit ones are
// converted to int64 first).
MeshArrays meshArraysOf(pybind11::handle vertices, pybind11::handle faces);

// The arrays as a mesh, not yet classified: positions rounded once to
// float, as the program's reader rounds the nearest double, and faces as
// vertex numbers. False with the reason (a ValueError's text) for a face
// naming no vertex. Needs no GIL. Throws std::bad_alloc.
bool readMeshArrays(const MeshArrays& arrays, SurfaceMesh& mesh, std::string& error);

// False with the reason when a vertex some face names has a coordinate
// that is not finite; a vertex no face names may hold anything.
bool usedVerticesAreFinite(const IndexedMesh& mesh, std::string& error);

// The arrays the Python Mesh record holds: vertices float32 (N, 3), faces
// uint32 (M, 3), both C-contiguous and writable; uv, normals, colors and
// face_groups None or as array_attributes.h gives them; groups a list of
// (material, group, object) texts that face_groups number, and the material
// libraries an OBJ file named.
struct MeshRecord {
  pybind11::array vertices, faces;
  pybind11::object uv = pybind11::none(), normals = pybind11::none(), colors = pybind11::none();
  pybind11::object faceGroups = pybind11::none();
  pybind11::list groups, materialLibraries;
};

// The arrays as a mesh, read as readMeshArrays reads them; throws
// pybind11::value_error with the reason where it fails. Needs the GIL,
// which it releases while it reads the elements.
SurfaceMesh surfaceOfArrays(pybind11::handle vertices, pybind11::handle faces);

// The mesh's positions and corners handed to numpy: each array owns its
// buffer through a capsule, the mesh is left empty. Needs the GIL.
MeshRecord meshRecordOf(SurfaceMesh&& mesh);
