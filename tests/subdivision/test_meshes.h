// Generated meshes for the subdivision tests, as OBJ positions and 1-based
// triangles ready for objText: the small solids of the worked examples,
// smooth closed surfaces, and open sheets with a rim.
#pragma once

#include <array>
#include <string>
#include <vector>

struct TestMesh {
  std::vector<std::vector<float>> positions;
  std::vector<std::vector<int>> triangles;  // consistently oriented
};

// Loads the mesh into a fresh store.
void loadTestMesh(const TestMesh& mesh);

TestMesh octahedron();
TestMesh tetrahedron();

// The icosahedron with every triangle split into four `levels` times, the
// new points pushed out onto the unit sphere.
TestMesh icosphere(int levels);

// Ring of `rings` x `sides` quads, two triangles each; radii 2 and 0.7.
TestMesh torus(int rings, int sides);

// A sheet of cols x rows squares, two triangles each: vertex (i, j) stands at
// origin + i u + j v + lift(i, j) n, n the unit normal along u x v. The sides
// of row j = 0 run from (i, 0) to (i + 1, 0) as side e[0] of face 2i.
struct SheetFrame {
  std::array<double, 3> origin, u, v;
  double (*lift)(int i, int j);
};
TestMesh sheet(int cols, int rows, const SheetFrame& frame);

// The mesh as a triangle soup: every triangle gets corners of its own, each
// coordinate moved by a fixed pattern of offsets within +-jitter.
TestMesh soup(const TestMesh& mesh, float jitter);
