// Mesh generators of the benchmark and their OBJ text.
#include "bench_meshes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <unordered_map>

#include "mesh.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Point {
  double x, y, z;
};

Point onUnitSphere(Point p) {
  const double length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
  return {p.x / length, p.y / length, p.z / length};
}

void addPoint(MeshData& mesh, Point p) {
  mesh.positions.push_back(static_cast<float>(p.x));
  mesh.positions.push_back(static_cast<float>(p.y));
  mesh.positions.push_back(static_cast<float>(p.z));
}

Point pointAt(const MeshData& mesh, int vertex) {
  const float* p = &mesh.positions[3 * static_cast<std::size_t>(vertex)];
  return {p[0], p[1], p[2]};
}

// The vertex halfway along a side, made once per side and shared by the two
// triangles that hold it.
int middleOf(MeshData& mesh, std::unordered_map<uint64_t, int>& middles, int a, int b) {
  const uint64_t key =
      (static_cast<uint64_t>(std::min(a, b)) << 32) | static_cast<uint32_t>(std::max(a, b));
  auto found = middles.find(key);
  if (found != middles.end()) return found->second;
  const Point p = pointAt(mesh, a);
  const Point q = pointAt(mesh, b);
  const int vertex = static_cast<int>(mesh.vertexCount());
  addPoint(mesh, onUnitSphere({p.x + q.x, p.y + q.y, p.z + q.z}));
  middles.emplace(key, vertex);
  return vertex;
}

}  // namespace

MeshData icosphere(int levels) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  const Point corners[12] = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0},
                             {0, -1, g}, {0, 1, g}, {0, -1, -g}, {0, 1, -g},
                             {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  MeshData mesh;
  for (const Point& p : corners) addPoint(mesh, onUnitSphere(p));
  mesh.triangles = {0, 11, 5,  0, 5,  1, 0, 1, 7, 0, 7,  10, 0, 10, 11, 1, 5, 9, 5, 11,
                    4, 11, 10, 2, 10, 7, 6, 7, 1, 8, 3,  9,  4, 3,  4,  2, 3, 2, 6, 3,
                    6, 8,  3,  8, 9,  4, 9, 5, 2, 4, 11, 6,  2, 10, 8,  6, 7, 9, 8, 1};
  for (int level = 0; level < levels; ++level) {
    std::unordered_map<uint64_t, int> middles;
    std::vector<int> split;
    split.reserve(mesh.triangles.size() * 4);
    for (std::size_t t = 0; t < mesh.triangles.size(); t += 3) {
      const int a = mesh.triangles[t], b = mesh.triangles[t + 1], c = mesh.triangles[t + 2];
      const int ab = middleOf(mesh, middles, a, b);
      const int bc = middleOf(mesh, middles, b, c);
      const int ca = middleOf(mesh, middles, c, a);
      split.insert(split.end(), {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca});
    }
    mesh.triangles.swap(split);
  }
  return mesh;
}

namespace {

// The torus grid; bump(i, j) scales the tube radius at grid point (i, j) and
// diagonal(i, j) picks which diagonal cuts quad (i, j).
template <typename Bump, typename Diagonal>
MeshData torusGrid(int rings, int segments, Bump bump, Diagonal diagonal) {
  MeshData mesh;
  const double major = 1.0, minor = 0.4;
  for (int i = 0; i < rings; ++i) {
    const double u = 2.0 * kPi * i / rings;
    for (int j = 0; j < segments; ++j) {
      const double v = 2.0 * kPi * j / segments;
      const double tube = minor * bump(i, j);
      const double radius = major + tube * std::cos(v);
      addPoint(mesh, {radius * std::cos(u), radius * std::sin(u), tube * std::sin(v)});
    }
  }
  auto at = [&](int i, int j) { return (i % rings) * segments + (j % segments); };
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      const int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
      if (diagonal(i, j)) {
        mesh.triangles.insert(mesh.triangles.end(), {a, b, c, a, c, d});
      } else {
        mesh.triangles.insert(mesh.triangles.end(), {a, b, d, b, c, d});
      }
    }
  }
  return mesh;
}

}  // namespace

MeshData torus(int rings, int segments) {
  return torusGrid(
      rings, segments, [](int, int) { return 1.0; }, [](int, int) { return true; });
}

MeshData scrambledTorus(int rings, int segments, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> bumpiness(0.95, 1.05);
  std::vector<double> bumps(static_cast<std::size_t>(rings) * segments);
  for (double& b : bumps) b = bumpiness(generator);
  std::vector<bool> diagonals(bumps.size());
  for (std::size_t q = 0; q < diagonals.size(); ++q) diagonals[q] = (generator() & 1u) != 0;
  MeshData grid = torusGrid(
      rings, segments,
      [&](int i, int j) { return bumps[static_cast<std::size_t>(i) * segments + j]; },
      [&](int i, int j) { return diagonals[static_cast<std::size_t>(i) * segments + j]; });

  std::vector<int> newNumber(grid.vertexCount());
  std::iota(newNumber.begin(), newNumber.end(), 0);
  std::shuffle(newNumber.begin(), newNumber.end(), generator);
  MeshData mesh;
  mesh.positions.resize(grid.positions.size());
  for (std::size_t v = 0; v < grid.vertexCount(); ++v) {
    for (int k = 0; k < 3; ++k) mesh.positions[3 * newNumber[v] + k] = grid.positions[3 * v + k];
  }
  std::vector<std::size_t> order(grid.triangleCount());
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), generator);
  for (std::size_t t : order) {
    const unsigned first = generator() % 3;
    for (unsigned k = 0; k < 3; ++k) {
      mesh.triangles.push_back(newNumber[grid.triangles[3 * t + (first + k) % 3]]);
    }
  }
  return mesh;
}

std::string objText(const MeshData& mesh) {
  std::string text;
  text.reserve(mesh.vertexCount() * 40 + mesh.triangleCount() * 24);
  char line[96];
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const float* p = &mesh.positions[3 * v];
    text.append(line, std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", p[0], p[1], p[2]));
  }
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const int* c = &mesh.triangles[3 * t];
    text.append(line,
                std::snprintf(line, sizeof line, "f %d %d %d\n", c[0] + 1, c[1] + 1, c[2] + 1));
  }
  return text;
}

MeshData meshFromStore() {
  MeshData mesh;
  std::unordered_map<const Vertex*, int> numbers;
  for (const Vertex* v = vertexHead->next; v != nullptr; v = v->next) {
    numbers.emplace(v, static_cast<int>(mesh.vertexCount()));
    addPoint(mesh, {v->x, v->y, v->z});
  }
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    for (const Vertex* corner : f->v) mesh.triangles.push_back(numbers.at(corner));
  }
  return mesh;
}
