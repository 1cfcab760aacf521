// Generated meshes for the subdivision tests.
#include "test_meshes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "mesh_fixtures.h"

namespace {

using Vec = std::array<double, 3>;

void addPoint(TestMesh& mesh, Vec p) {
  mesh.positions.push_back({float(p[0]), float(p[1]), float(p[2])});
}

Vec cross(Vec p, Vec q) {
  return {p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]};
}

}  // namespace

void loadTestMesh(const TestMesh& mesh) {
  resetStore();
  loadText(objText(mesh.positions, mesh.triangles));
}

TestMesh octahedron() {
  return {{{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
          {{1, 3, 5}, {1, 6, 3}, {1, 5, 4}, {1, 4, 6}, {2, 5, 3}, {2, 3, 6}, {2, 4, 5}, {2, 6, 4}}};
}

TestMesh tetrahedron() {
  return {{{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}},
          {{1, 2, 3}, {1, 3, 4}, {1, 4, 2}, {2, 4, 3}}};
}

TestMesh icosphere(int levels) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<Vec> points = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0},
                             {0, -1, g}, {0, 1, g}, {0, -1, -g}, {0, 1, -g},
                             {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<int, 3>> triangles = {
      {0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
      {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
      {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  for (Vec& p : points) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    p = {p[0] / length, p[1] / length, p[2] / length};
  }
  for (int level = 0; level < levels; ++level) {
    std::map<std::pair<int, int>, int> middles;
    auto middle = [&](int a, int b) {
      const auto key = std::minmax(a, b);
      const auto found = middles.find(key);
      if (found != middles.end()) return found->second;
      Vec m = {points[a][0] + points[b][0], points[a][1] + points[b][1],
               points[a][2] + points[b][2]};
      const double length = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
      points.push_back({m[0] / length, m[1] / length, m[2] / length});
      return middles[key] = int(points.size()) - 1;
    };
    std::vector<std::array<int, 3>> finer;
    for (const auto& t : triangles) {
      const int ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
      finer.insert(finer.end(), {{t[0], ab, ca}, {ab, t[1], bc}, {ca, bc, t[2]}, {ab, bc, ca}});
    }
    triangles = finer;
  }
  TestMesh mesh;
  for (const Vec& p : points) addPoint(mesh, p);
  for (const auto& t : triangles) mesh.triangles.push_back({t[0] + 1, t[1] + 1, t[2] + 1});
  return mesh;
}

TestMesh torus(int rings, int sides) {
  const double pi = std::acos(-1.0);
  TestMesh mesh;
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < sides; ++j) {
      const double u = 2 * pi * i / rings, v = 2 * pi * j / sides;
      const double radius = 2.0 + 0.7 * std::cos(v);
      addPoint(mesh, {radius * std::cos(u), radius * std::sin(u), 0.7 * std::sin(v)});
    }
  }
  auto id = [&](int i, int j) { return (i % rings) * sides + (j % sides) + 1; };
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < sides; ++j) {
      mesh.triangles.push_back({id(i, j), id(i + 1, j), id(i + 1, j + 1)});
      mesh.triangles.push_back({id(i, j), id(i + 1, j + 1), id(i, j + 1)});
    }
  }
  return mesh;
}

TestMesh sheet(int cols, int rows, const SheetFrame& frame) {
  Vec n = cross(frame.u, frame.v);
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  n = {n[0] / length, n[1] / length, n[2] / length};
  TestMesh mesh;
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= cols; ++i) {
      const double h = frame.lift(i, j);
      Vec p;
      for (int k = 0; k < 3; ++k)
        p[k] = frame.origin[k] + i * frame.u[k] + j * frame.v[k] + h * n[k];
      addPoint(mesh, p);
    }
  }
  auto id = [&](int i, int j) { return j * (cols + 1) + i + 1; };
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < cols; ++i) {
      mesh.triangles.push_back({id(i, j), id(i + 1, j), id(i + 1, j + 1)});
      mesh.triangles.push_back({id(i, j), id(i + 1, j + 1), id(i, j + 1)});
    }
  }
  return mesh;
}

TestMesh soup(const TestMesh& mesh, float jitter) {
  TestMesh cracked;
  for (const auto& t : mesh.triangles) {
    std::vector<int> corners;
    for (int id : t) {
      std::vector<float> p = mesh.positions[id - 1];
      const int n = int(cracked.positions.size());
      for (int k = 0; k < 3; ++k) p[k] += jitter * float((n * 7 + k * 3) % 5 - 2) / 2.0f;
      cracked.positions.push_back(p);
      corners.push_back(n + 1);
    }
    cracked.triangles.push_back(corners);
  }
  return cracked;
}
