// Closed triangle meshes of chosen size for the benchmark, as plain arrays
// that both our store (through OBJ text) and another mesh library can take.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct MeshData {
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<int> triangles;    // three 0-based vertex numbers per triangle, one winding

  std::size_t vertexCount() const { return positions.size() / 3; }
  std::size_t triangleCount() const { return triangles.size() / 3; }
};

// The unit icosahedron split `levels` times, points pushed onto the sphere:
// 20 * 4^levels triangles, valences 5 and 6.
MeshData icosphere(int levels);

// A ring torus of rings * segments quads, each cut into two triangles along
// the same diagonal: 2 * rings * segments triangles, every valence 6.
MeshData torus(int rings, int segments);

// The torus as a file from a modelling tool might hold it: bumpy surface,
// quads cut along a random diagonal (valences 4 to 8), vertices and
// triangles in random order, each triangle starting at a random corner.
// The same seed gives the same mesh.
MeshData scrambledTorus(int rings, int segments, unsigned seed);

// The mesh as OBJ text ("v x y z" then "f i j k", 1-based), with floats
// written so that reading them back gives the same values.
std::string objText(const MeshData& mesh);

// The current mesh of the store (vertex list and current face list).
MeshData meshFromStore();
