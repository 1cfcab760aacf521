// Inputs of the differential tests, as OBJ text: closed and open surfaces,
// non-manifold and degenerate arrangements, and seeded random soups. Sizes
// stay small because the reference pass is quadratic.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct MeshInput {
  std::string name;  // a gtest parameter name: letters, digits, underscores
  std::string obj;
  int passes;
};

// How gtest names an input in its messages.
inline void PrintTo(const MeshInput& mesh, std::ostream* out) { *out << mesh.name; }

// Hand-made and generated shapes: closed meshes, open meshes, non-manifold
// sides, degenerate triangles and meshes with edges classification leaves
// undecided.
std::vector<MeshInput> shapeInputs();

// Random triangle soups on a small integer grid (coincident positions are
// common, some triangles repeat an index), 50 seeds.
std::vector<MeshInput> soupInputs();

// Soups with nan and infinite coordinates among the vertices.
std::vector<MeshInput> nonFiniteSoupInputs();

// Soups of near-coincident records: copies of a few points moved by fractions
// of the weld tolerance, just inside and just outside it, many of them
// straddling the walls of the cells a spatial hash of that tolerance would use.
std::vector<MeshInput> weldSoupInputs();
