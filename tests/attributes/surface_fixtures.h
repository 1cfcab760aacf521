// Meshes with attributes for the tests of the surface pass, and what the
// tests read back from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "surface_pass.h"
#include "test_meshes.h"

// The mesh's positions and triangles, classified, with no attributes.
SurfaceMesh surfaceOf(const TestMesh& mesh);

// The unit cube [0, 1]^3, two triangles a face, outward. Face f (the -z, +z,
// -y, +y, -x, +x faces in that order) owns the texture square u in [f, f + 1],
// v in [0, 1]: its four corners have values of their own, u = f + the first
// and v = the second of the two coordinates that vary on the face, so every
// cube edge is a seam. Each face is a group and has one normal; colours are
// the positions, one value per vertex.
SurfaceMesh seamedCube();

// Gives every corner of the mesh a value of the kind: value(corner) names it,
// and values holds width floats for each number it may name.
void setValues(CornerValues& kind, unsigned width, const SurfaceMesh& surface, std::size_t valueCount,
               const std::function<uint32_t(std::size_t corner)>& value,
               const std::function<float(uint32_t value, unsigned component)>& component);

// The number of unordered pairs of two different vertices some side joins.
std::size_t vertexPairs(const IndexedMesh& mesh);

// V - E + F when every side lies in exactly two triangles, run opposite
// ways; otherwise a failure is recorded and 0 returned.
long closedEuler(const IndexedMesh& mesh);

// Bit for bit, every array of the two.
void expectSameSurface(const SurfaceMesh& a, const SurfaceMesh& b);

// The value of the kind at a corner, component by component.
const float* valueAt(const CornerValues& kind, std::size_t corner);
