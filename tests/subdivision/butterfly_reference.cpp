// The reference butterfly subdivision of the tests.
#include "butterfly_reference.h"

#include <algorithm>

namespace {

// The value a float coordinate holds. Through a volatile float because g++ 12
// at -O3 has kept all the double bits of static_cast<float>(v) stored into a
// std::array<double, 3> inside a loop it vectorises.
double asStoredFloat(double value) {
  volatile float stored = static_cast<float>(value);
  return stored;
}

}  // namespace

SideMap sideMap(const IndexedMesh& mesh) {
  SideMap sides;
  for (const auto& t : mesh.triangles) {
    for (int k = 0; k < 3; ++k) sides[{t[k], t[(k + 1) % 3]}] = t[(k + 2) % 3];
  }
  return sides;
}

bool closedAndOriented(const IndexedMesh& mesh) {
  const SideMap sides = sideMap(mesh);
  if (sides.size() != 3 * mesh.triangles.size()) return false;
  return std::all_of(sides.begin(), sides.end(), [&](const SideMap::value_type& side) {
    return sides.count({side.first.second, side.first.first}) == 1;
  });
}

Point stencilPoint(const IndexedMesh& mesh, const SideMap& sides, int a, int b) {
  const double t = static_cast<double>(0.05f);
  const int c1 = sides.at({a, b}), c2 = sides.at({b, a});
  const int w1 = sides.at({c1, b}), w2 = sides.at({c2, a});
  const int w3 = sides.at({a, c1}), w4 = sides.at({b, c2});
  const auto& p = mesh.points;
  Point result;
  for (int k = 0; k < 3; ++k) {
    const double value = (2 * t * (p[c1][k] + p[c2][k]) + (p[a][k] + p[b][k]) * 0.5) -
                         t * (((p[w1][k] + p[w2][k]) + p[w3][k]) + p[w4][k]);
    result[k] = asStoredFloat(value);
  }
  return result;
}

IndexedMesh butterflyPass(const IndexedMesh& mesh) {
  const SideMap sides = sideMap(mesh);
  IndexedMesh finer{mesh.points, {}};
  std::map<std::pair<int, int>, int> newPoints;
  auto newPoint = [&](int a, int b) {
    const auto key = std::minmax(a, b);
    const auto found = newPoints.find(key);
    if (found != newPoints.end()) return found->second;
    finer.points.push_back(stencilPoint(mesh, sides, a, b));
    return newPoints[key] = int(finer.points.size()) - 1;
  };
  for (const auto& t : mesh.triangles) {
    const int p0 = newPoint(t[0], t[1]), p1 = newPoint(t[1], t[2]), p2 = newPoint(t[2], t[0]);
    finer.triangles.insert(finer.triangles.end(),
                           {{t[0], p0, p2}, {p0, t[1], p1}, {p2, p1, t[2]}, {p0, p1, p2}});
  }
  return finer;
}
