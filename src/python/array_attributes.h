// Texture coordinates, normals and colours in and out of the Python module:
// the caller's arrays read into a SurfaceMesh's MeshAttributes, and the
// attributes of a subdivided mesh given back in the same forms.
//
// Texture coordinates (m, 3, 2) and normals (m, 3, 3) belong to the corners
// of the m faces; corners of one vertex row with the same bits share a
// value, numbered in corner order, so two faces that disagree at a shared
// vertex keep their seam and faces that agree share their new values. Colours (n, 3 or 4) belong to the n vertices and are read
// as corner values numbered by vertex row, so a weld keeps the colours each
// triangle was given. As with reading positions, checking shapes and types
// takes the GIL (attributeArraysOf) and reading the elements does not
// (readAttributeArrays); the caller's arrays are never written.
#pragma once

#include <cstdint>
#include <string>

#include <pybind11/numpy.h>

#include "array_mesh.h"
#include "big_array.h"
#include "mesh_attributes.h"

// The caller's arrays, each None or C-contiguous: uv and normals float32,
// colors float32 or uint8 (colorBytes), face groups int64 coming in and
// uint32 going out; and where their elements lie, for reading them without
// the GIL (null for None).
struct AttributeArrays {
  pybind11::object uv = pybind11::none(), normals = pybind11::none(), colors = pybind11::none();
  pybind11::object faceGroups = pybind11::none();
  bool colorBytes = false;
  const float* uvData = nullptr;
  const float* normalData = nullptr;
  const void* colorData = nullptr;
  const int64_t* faceGroupData = nullptr;
  std::size_t vertexRows = 0;
  unsigned colorWidth = 0;
};

// Takes None or anything numpy makes an array of. Throws
// pybind11::value_error, with the argument named and the reason, for a shape
// other than (faces, 3, 2), (faces, 3, 3), (vertices, 3 or 4) and (faces,),
// or elements that are not real numbers (colours: floats or uint8; face
// groups: integers).
AttributeArrays attributeArraysOf(pybind11::handle uv, pybind11::handle normals, pybind11::handle colors,
                                  pybind11::handle faceGroups, std::size_t faceRows, std::size_t vertexRows);

// The arrays as the attributes of the mesh whose corners are given (colours
// are numbered by the vertex each corner names, before any weld; a face's
// group number is kept as it is, below 2**32 - 1). False with the reason (a
// ValueError's text) for a value that is not finite (a corner whose every
// component is NaN has none of that kind), a float colour outside 0 to 1 or
// a group number out of range. Needs no GIL. Throws std::bad_alloc.
bool readAttributeArrays(const AttributeArrays& arrays, const BigArray<uint32_t>& corners,
                         MeshAttributes& attributes, std::string& error);

// The attributes handed to numpy in the forms they came in: uv and normals
// per corner of the mesh's triangles (NaN where a corner has none), face
// groups per triangle; colours per vertex, each vertex's
// taken from the first corner that names it, or for a vertex no corner
// names, from the input row it stands for (rowOfVertex; black without one), as float32 or,
// when they came as uint8, rounded back to uint8. Needs the GIL.
AttributeArrays attributeArraysOfMesh(const SurfaceMesh& mesh, const BigArray<uint32_t>& rowOfVertex);

// The mesh and its attributes as a Mesh record (meshRecordOf and
// attributeArraysOfMesh together); group names are the caller's to add.
MeshRecord meshRecordWithAttributes(SurfaceMesh&& mesh, const BigArray<uint32_t>& rowOfVertex);
