#include "rule_reference.h"

#include <algorithm>
#include <cmath>
#include <set>

FarCorners farCorners(const IndexedMesh& mesh) {
  FarCorners far;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    for (int k = 0; k < 3; ++k) far[{c[k], c[(k + 1) % 3]}] = c[(k + 2) % 3];
  }
  return far;
}

std::vector<uint32_t> ringAround(const FarCorners& far, uint32_t a, uint32_t b) {
  std::vector<uint32_t> ring{b};
  for (;;) {
    const auto next = far.find({a, ring.back()});
    if (next == far.end() || ring.size() > far.size()) return {};
    if (next->second == b) return ring;
    ring.push_back(next->second);
  }
}

std::vector<double> paperWeights(std::size_t valence) {
  if (valence == 3) return {5.0 / 12, -1.0 / 12, -1.0 / 12};
  if (valence == 4) return {3.0 / 8, 0, -1.0 / 8, 0};
  const double root5 = std::sqrt(5.0);
  if (valence == 5) return {7.0 / 20, (root5 - 1) / 40, -(root5 + 1) / 40, -(root5 + 1) / 40, (root5 - 1) / 40};
  std::vector<double> weights;
  const double pi = std::acos(-1.0);
  for (std::size_t j = 0; j < valence; ++j) {
    const double x = 2 * pi * double(j) / double(valence);
    weights.push_back((0.25 + std::cos(x) + 0.5 * std::cos(2 * x)) / double(valence));
  }
  return weights;
}

Vec3 positionOf(const IndexedMesh& mesh, uint32_t v) {
  const FloatPoint& p = mesh.positions[v];
  return {p.x, p.y, p.z};
}

namespace {

Vec3 weighted(const IndexedMesh& mesh, const std::vector<uint32_t>& vertices, const std::vector<double>& weights) {
  Vec3 sum{0, 0, 0};
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Vec3 p = positionOf(mesh, vertices[i]);
    for (int k = 0; k < 3; ++k) sum[k] += weights[i] * p[k];
  }
  return sum;
}

Vec3 irregularEnd(const IndexedMesh& mesh, uint32_t a, const std::vector<uint32_t>& ring) {
  std::vector<uint32_t> vertices = ring;
  std::vector<double> weights = paperWeights(ring.size());
  vertices.push_back(a);
  weights.push_back(0.75);
  return weighted(mesh, vertices, weights);
}

}  // namespace

Vec3 rulePoint(const IndexedMesh& mesh, const FarCorners& far, uint32_t a, uint32_t b) {
  const std::vector<uint32_t> ringA = ringAround(far, a, b);
  const std::vector<uint32_t> ringB = ringAround(far, b, a);
  if (ringA.size() == 6 && ringB.size() == 6) {
    return weighted(mesh, {a, b, ringA[1], ringA[5], ringA[2], ringA[4], ringB[2], ringB[4]},
                    {0.5, 0.5, 0.125, 0.125, -0.0625, -0.0625, -0.0625, -0.0625});
  }
  if (ringA.size() == 6) return irregularEnd(mesh, b, ringB);
  if (ringB.size() == 6) return irregularEnd(mesh, a, ringA);
  const Vec3 p = irregularEnd(mesh, a, ringA), q = irregularEnd(mesh, b, ringB);
  return {(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2};
}

uint32_t newVertexOf(const IndexedMesh& finer, std::size_t t, int k) {
  static const int slot[3] = {1, 5, 2};
  return finer.corners[12 * t + slot[k]];
}

IndexedMesh indexedOf(const TestMesh& mesh) {
  IndexedMesh indexed;
  for (const auto& p : mesh.positions) indexed.positions.push_back({p[0], p[1], p[2]});
  for (const auto& t : mesh.triangles) {
    for (int corner : t) indexed.corners.push_back(uint32_t(corner - 1));
  }
  classifySides(indexed);
  return indexed;
}

TestMesh bipyramid(int n) {
  const double pi = std::acos(-1.0);
  TestMesh mesh;
  for (int i = 0; i < n; ++i) {
    const double angle = 2 * pi * i / n + 0.3 * std::sin(i) / n;
    const double radius = 1 + 0.15 * std::cos(2 * i);
    mesh.positions.push_back({float(radius * std::cos(angle)), float(radius * std::sin(angle)), float(0.1 * std::sin(3 * i))});
  }
  mesh.positions.push_back({0, 0, 1.25f});
  mesh.positions.push_back({0, 0, -0.75f});
  for (int i = 0; i < n; ++i) {
    const int p = i + 1, q = (i + 1) % n + 1;
    mesh.triangles.push_back({p, q, n + 1});
    mesh.triangles.push_back({q, p, n + 2});
  }
  return mesh;
}

TestMesh disc(int n) {
  TestMesh mesh = bipyramid(n);
  mesh.positions.pop_back();
  std::vector<std::vector<int>> upper;
  for (const auto& t : mesh.triangles) {
    if (t[2] == n + 1) upper.push_back(t);
  }
  mesh.triangles = upper;
  return mesh;
}

bool closedAndOriented(const IndexedMesh& mesh) {
  const FarCorners far = farCorners(mesh);
  if (far.size() != mesh.corners.size()) return false;
  return std::all_of(far.begin(), far.end(), [&](const FarCorners::value_type& side) {
    return side.first.first != side.first.second && far.count({side.first.second, side.first.first}) == 1;
  });
}

std::size_t sideCount(const IndexedMesh& mesh) {
  std::set<std::pair<uint32_t, uint32_t>> sides;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    for (int k = 0; k < 3; ++k) sides.insert(std::minmax(mesh.corners[3 * t + k], mesh.corners[3 * t + (k + 1) % 3]));
  }
  return sides.size();
}

double coordinateScale(const IndexedMesh& mesh) {
  double scale = 0;
  for (const FloatPoint& p : mesh.positions)
    scale = std::max({scale, std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
  return scale;
}
