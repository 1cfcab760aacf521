// A small butterfly subdivision of its own, for closed, consistently oriented
// triangle meshes in which every position is one vertex: the yardstick the
// viewer's pass is held to. It shares no code with the viewer. Every side
// gets one new point from the eight-point stencil with the viewer's tension
// (the float 0.05 widened to double), rounded to float as a vertex stores it.
#pragma once

#include <array>
#include <map>
#include <utility>
#include <vector>

using Point = std::array<double, 3>;

struct IndexedMesh {
  std::vector<Point> points;
  std::vector<std::array<int, 3>> triangles;  // 0-based indexes into points
};

// Directed side (p, q) -> far corner of the triangle that runs it.
using SideMap = std::map<std::pair<int, int>, int>;

SideMap sideMap(const IndexedMesh& mesh);

// Every directed side is run by exactly one triangle and its reverse by one.
bool closedAndOriented(const IndexedMesh& mesh);

// The stencil point of the directed side a -> b, evaluated per coordinate as
// (2t(c1 + c2) + (a + b) 0.5) - t(((w1 + w2) + w3) + w4), rounded to float.
// The mesh must be closed and oriented.
Point stencilPoint(const IndexedMesh& mesh, const SideMap& sides, int a, int b);

// One pass: old points first, then one new point per side in order of first
// appearance; each triangle becomes four of the same orientation.
IndexedMesh butterflyPass(const IndexedMesh& mesh);
