// Generators of the differential test inputs.
#include "generated_meshes.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <utility>

#include "mesh_fixtures.h"
#include "stencil_index.h"

namespace {

using Positions = std::vector<std::vector<float>>;
using Triangles = std::vector<std::vector<int>>;

MeshInput input(const std::string& name, const Positions& positions, const Triangles& triangles,
                int passes = 2) {
  return {name, objText(positions, triangles), passes};
}

// Icosahedron, each refinement splitting every triangle at shared midpoints
// pushed out to the unit sphere.
MeshInput icosphere(int refinements) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<std::vector<double>> points = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0},
                                             {0, -1, g}, {0, 1, g}, {0, -1, -g}, {0, 1, -g},
                                             {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  Triangles triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                         {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                         {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                         {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  for (int r = 0; r < refinements; ++r) {
    std::map<std::pair<int, int>, int> middles;
    const auto middle = [&](int a, int b) {
      const auto key = std::make_pair(std::min(a, b), std::max(a, b));
      const auto found = middles.find(key);
      if (found != middles.end()) return found->second;
      std::vector<double> m(3);
      for (int axis = 0; axis < 3; ++axis) m[axis] = (points[a][axis] + points[b][axis]) / 2;
      points.push_back(m);
      return middles[key] = static_cast<int>(points.size()) - 1;
    };
    Triangles finer;
    for (const auto& t : triangles) {
      const int ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
      finer.insert(finer.end(), {{t[0], ab, ca}, {ab, t[1], bc}, {ca, bc, t[2]}, {ab, bc, ca}});
    }
    triangles = finer;
  }
  Positions positions;
  for (const auto& p : points) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    positions.push_back({float(p[0] / length), float(p[1] / length), float(p[2] / length)});
  }
  for (auto& t : triangles) {
    for (int& index : t) ++index;
  }
  return input("icosphere" + std::to_string(refinements), positions, triangles);
}

MeshInput torus(int around, int tube) {
  Positions positions;
  Triangles triangles;
  const double pi = std::acos(-1.0);
  for (int i = 0; i < around; ++i) {
    for (int j = 0; j < tube; ++j) {
      const double u = 2 * pi * i / around, v = 2 * pi * j / tube;
      positions.push_back({float((2 + 0.5 * std::cos(v)) * std::cos(u)),
                           float((2 + 0.5 * std::cos(v)) * std::sin(u)), float(0.5 * std::sin(v))});
    }
  }
  const auto at = [&](int i, int j) { return (i % around) * tube + (j % tube) + 1; };
  for (int i = 0; i < around; ++i) {
    for (int j = 0; j < tube; ++j) {
      triangles.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
      triangles.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    }
  }
  return input("torus" + std::to_string(around) + "x" + std::to_string(tube), positions, triangles);
}

// An open grid of columns x rows cells, two triangles each, with a gentle
// bump so that the stencil weights show in z.
MeshInput grid(const std::string& name, int columns, int rows) {
  Positions positions;
  Triangles triangles;
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= columns; ++i)
      positions.push_back({float(i), float(j), float((i * j) % 3) / 4});
  }
  const auto at = [&](int i, int j) { return j * (columns + 1) + i + 1; };
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      triangles.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
      triangles.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    }
  }
  return input(name, positions, triangles);
}

// A fan of triangles around a centre: a whole disc, or an open sector.
MeshInput fan(const std::string& name, int spokes, bool closed) {
  Positions positions = {{0, 0, 0.5f}};
  Triangles triangles;
  const double pi = std::acos(-1.0);
  const int rimPoints = closed ? spokes : spokes + 1;
  for (int i = 0; i < rimPoints; ++i) {
    positions.push_back(
        {float(std::cos(2 * pi * i / spokes)), float(std::sin(2 * pi * i / spokes)), 0});
  }
  for (int i = 0; i < spokes; ++i) triangles.push_back({1, i + 2, (i + 1) % rimPoints + 2});
  return input(name, positions, triangles);
}

const Positions kOctahedron = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
const Triangles kOctahedronFaces = {{1, 3, 5}, {1, 6, 3}, {1, 5, 4}, {1, 4, 6},
                                    {2, 5, 3}, {2, 3, 6}, {2, 4, 5}, {2, 6, 4}};

const Positions kTetrahedron = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
const Triangles kTetrahedronFaces = {{1, 2, 3}, {1, 3, 4}, {1, 4, 2}, {2, 4, 3}};

const Positions kCube = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                         {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
const Triangles kCubeFaces = {{1, 3, 2}, {1, 4, 3}, {5, 6, 7}, {5, 7, 8}, {1, 2, 6}, {1, 6, 5},
                              {2, 3, 7}, {2, 7, 6}, {3, 4, 8}, {3, 8, 7}, {4, 1, 5}, {4, 5, 8}};

// Every triangle of the cube with three vertex records of its own: sides meet
// only by position, as in files written one triangle at a time.
MeshInput cubeSoup() {
  Positions positions;
  Triangles triangles;
  for (const auto& t : kCubeFaces) {
    const int first = static_cast<int>(positions.size()) + 1;
    for (int index : t) positions.push_back(kCube[index - 1]);
    triangles.push_back({first, first + 1, first + 2});
  }
  return input("cubeSoup", positions, triangles);
}

// The cube with a second record for every corner, the faces of its upper half
// using the copies: a seam of coincident records around the middle.
MeshInput seamedCube() {
  Positions positions = kCube;
  positions.insert(positions.end(), kCube.begin(), kCube.end());
  Triangles triangles = kCubeFaces;
  for (std::size_t f = 6; f < triangles.size(); ++f) {
    for (int& index : triangles[f]) index += 8;
  }
  return input("seamedCube", positions, triangles);
}

// Triangles around the side from vertex 1 to vertex 2, which more than two of
// them hold, plus wings that give the stencil corners to find.
std::vector<MeshInput> nonManifoldInputs() {
  const Positions fin = {{0, 0, 0},    {1, 0, 0},     {0.5f, 1, 0}, {0.5f, -1, 0},
                         {0.5f, 0, 1}, {0.5f, 0, -1}, {1.5f, 1, 0}, {-0.5f, -1, 0}};
  return {
      input("fanOfThree", fin, {{1, 2, 3}, {2, 1, 4}, {1, 2, 5}, {2, 7, 3}, {1, 4, 8}}),
      input("fanOfFour", fin, {{1, 2, 3}, {2, 1, 4}, {1, 2, 5}, {2, 1, 6}, {3, 2, 7}}, 3),
      input("fanSameDirection", fin, {{1, 2, 3}, {1, 2, 4}, {1, 2, 5}, {1, 2, 6}}),
      input("bowtie", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}},
            {{1, 2, 3}, {1, 4, 5}}, 3),
      input("flippedNeighbour", kCube, {{1, 3, 2}, {1, 3, 4}, {5, 6, 7}, {5, 7, 8}, {1, 2, 6}}),
  };
}

std::vector<MeshInput> degenerateInputs() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Positions square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {0.5f, 0.5f, 0}};
  const Positions stacked = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}};
  return {
      input("repeatedCorner", square, {{1, 2, 3}, {1, 3, 4}, {1, 1, 2}, {3, 3, 3}, {2, 5, 5}}, 3),
      input("collinear", square, {{1, 2, 3}, {1, 3, 4}, {1, 6, 3}, {1, 2, 5}}, 3),
      input("zeroArea", stacked, {{1, 2, 3}, {1, 4, 5}, {4, 2, 1}, {5, 3, 6}, {1, 5, 2}}, 3),
      input("duplicateTriangles", kTetrahedron,
            {{1, 2, 3}, {1, 3, 4}, {1, 4, 2}, {2, 4, 3}, {1, 2, 3}, {3, 2, 1}}),
      input("coincidentRecords", stacked, {{1, 2, 3}, {4, 3, 2}, {5, 2, 6}, {3, 5, 6}}, 3),
      cubeSoup(),
      seamedCube(),
      // Every finite record at one position, zeros of both signs among them:
      // a bounding box of no size, where only equal coordinates coincide.
      input("onePosition", {{0, 0, 0}, {-0.0f, 0, 0}, {0, -0.0f, -0.0f}, {0, 0, 0}, {nan, 0, 0}},
            {{1, 2, 3}, {2, 1, 4}, {3, 4, 5}, {1, 3, 4}}, 3),
  };
}

// Edges whose count never stops at exactly 2: a face holding the side twice
// after one holding it once (count 3), a face of one repeated vertex (each of
// its sides counts 3), and the same arrangement in the order where the early
// stop decides (count 2 after the first face).
std::vector<MeshInput> undecidedInputs() {
  const Positions points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0.5f, 0.5f, 1}};
  return {
      input("sideHeldTwiceAfter", points, {{1, 2, 3}, {1, 2, 1}, {2, 4, 3}}, 3),
      input("sideHeldTwiceFirst", points, {{1, 2, 1}, {1, 2, 3}, {2, 4, 3}}, 3),
      input("singlePointFace", points, {{5, 5, 5}, {1, 2, 5}, {2, 4, 5}, {4, 3, 5}, {3, 1, 5}}, 3),
      input("threeAfterStop", points, {{1, 2, 3}, {2, 1, 5}, {1, 2, 1}, {3, 2, 4}}, 3),
  };
}

// A soup on a grid of 4 x 4 x 4 integer points with 5 to 40 vertices and 1
// to 30 triangles; about one triangle in eight repeats an index.
struct Soup {
  Positions positions;
  Triangles triangles;
};

Soup randomSoup(uint32_t seed) {
  std::mt19937 random(seed);
  Soup soup;
  const int vertexCount = 5 + static_cast<int>(random() % 36);
  const int triangleCount = 1 + static_cast<int>(random() % 30);
  for (int i = 0; i < vertexCount; ++i) {
    soup.positions.push_back({float(random() % 4), float(random() % 4), float(random() % 4)});
  }
  for (int t = 0; t < triangleCount; ++t) {
    std::vector<int> corners(3);
    for (int& corner : corners) corner = 1 + static_cast<int>(random() % vertexCount);
    if (random() % 8 == 0) {
      const int from = static_cast<int>(random() % 3);
      corners[(from + 1) % 3] = corners[from];
    }
    soup.triangles.push_back(corners);
  }
  return soup;
}

MeshInput soupInput(const std::string& name, const Soup& soup) {
  return input(name, soup.positions, soup.triangles, soup.triangles.size() <= 12 ? 3 : 2);
}

}  // namespace

std::vector<MeshInput> shapeInputs() {
  std::vector<MeshInput> inputs = {
      input("octahedron", kOctahedron, kOctahedronFaces, 3),
      input("tetrahedron", kTetrahedron, kTetrahedronFaces, 3),
      input("cube", kCube, kCubeFaces, 3),
      icosphere(0),
      icosphere(1),
      torus(6, 4),
      grid("grid4x3", 4, 3),
      grid("strip6", 6, 1),
      fan("disc", 8, true),
      fan("sector", 5, false),
      // A hub with more sides than the index scans, so it hashes them.
      fan("hub40", 40, true),
      fan("openHub40", 40, false),
      input("singleTriangle", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}}, 3),
      input("openBox", kCube, {kCubeFaces.begin() + 2, kCubeFaces.end()}, 3),
      // One corner 10^12 away, where double sums of floats round: the grouping
      // of the stencil's sums shows in the last bits.
      input("farCornerTetrahedron",
            {{-1.32f, -1.24f, -0.47f}, {-1.07f, 1.4f, -0.71f}, {-0.67f, 0.85f, 0.72f},
             {1e12f, -1e12f, 1e12f}},
            kTetrahedronFaces, 3),
  };
  for (auto* family : {nonManifoldInputs, degenerateInputs, undecidedInputs}) {
    for (MeshInput& mesh : family()) inputs.push_back(mesh);
  }
  return inputs;
}

std::vector<MeshInput> soupInputs() {
  std::vector<MeshInput> inputs;
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    inputs.push_back(soupInput("soup" + std::to_string(seed), randomSoup(seed)));
  }
  return inputs;
}

std::vector<MeshInput> nonFiniteSoupInputs() {
  const float strange[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity()};
  std::vector<MeshInput> inputs;
  for (uint32_t seed = 101; seed <= 110; ++seed) {
    Soup soup = randomSoup(seed);
    std::mt19937 random(seed * 7919);
    for (int n = 0; n < 3; ++n) {
      soup.positions[random() % soup.positions.size()][random() % 3] = strange[random() % 3];
    }
    inputs.push_back(soupInput("nonFinite" + std::to_string(seed), soup));
  }
  return inputs;
}

std::vector<MeshInput> weldSoupInputs() {
  // Two fixed corners pin the bounding box to [0, 4]^3, so the tolerance of
  // the weld is known here: the diagonal sqrt(48) times the relative factor.
  const double tolerance = std::sqrt(48.0) * kWeldToleranceRelative;
  const double cell = 32 * tolerance;
  const double offsets[] = {0, 0.5, -0.5, 0.99, -0.99, 1.01, -1.01, 1.5, -1.5};
  std::vector<MeshInput> inputs;
  for (uint32_t seed = 201; seed <= 220; ++seed) {
    std::mt19937 random(seed);
    Positions positions = {{0, 0, 0}, {4, 4, 4}};
    std::vector<std::vector<double>> bases;
    for (int b = 0; b < 4; ++b) {
      std::vector<double> base(3);
      for (double& c : base) c = std::round((1 + random() % 3) / cell) * cell;
      bases.push_back(base);
    }
    const int copies = 12 + static_cast<int>(random() % 12);
    for (int i = 0; i < copies; ++i) {
      const auto& base = bases[random() % bases.size()];
      std::vector<float> p(3);
      for (int axis = 0; axis < 3; ++axis)
        p[axis] = float(base[axis] + offsets[random() % 9] * tolerance);
      positions.push_back(p);
    }
    Triangles triangles;
    const int count = 4 + static_cast<int>(random() % 12);
    for (int t = 0; t < count; ++t) {
      std::vector<int> corners(3);
      for (int& corner : corners) corner = 3 + static_cast<int>(random() % copies);
      triangles.push_back(corners);
    }
    inputs.push_back(input("weldSoup" + std::to_string(seed), positions, triangles));
  }
  return inputs;
}
