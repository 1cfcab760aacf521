#include "crease_marking.h"

#include <algorithm>
#include <cmath>

#include "crease_lines.h"
#include "pair_table.h"
#include "stencil_rules.h"

namespace {

constexpr double kDegreesPerRadian = 57.295779513082320876798;

Point3 positionOf(const IndexedMesh& mesh, uint32_t v) {
  const FloatPoint& p = mesh.positions[v];
  return {p.x, p.y, p.z};
}

Point3 cross(Point3 u, Point3 v) { return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; }
double dot(Point3 u, Point3 v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

Point3 normalOf(const IndexedMesh& mesh, uint32_t triangle) {
  const uint32_t* c = &mesh.corners[3 * std::size_t(triangle)];
  const Point3 a = positionOf(mesh, c[0]);
  return cross(positionOf(mesh, c[1]) - a, positionOf(mesh, c[2]) - a);
}

uint32_t sideEnd(const IndexedMesh& mesh, uint32_t side) {
  return mesh.corners[side - side % 3 + (side % 3 + 1) % 3];
}

// The angle between the normals of the triangles of two sides on one pair,
// in degrees; NaN when a normal is missing. atan2 keeps small angles exact
// where an arc cosine would round them away.
double bendBetween(const IndexedMesh& mesh, uint32_t side, uint32_t other) {
  const Point3 n = normalOf(mesh, side / 3);
  Point3 m = normalOf(mesh, other / 3);
  if (mesh.corners[side] == mesh.corners[other]) m = -1.0 * m;
  const Point3 across = cross(n, m);
  if (dot(n, n) == 0.0 || dot(m, m) == 0.0) return std::nan("");
  return std::atan2(std::sqrt(dot(across, across)), dot(n, m)) * kDegreesPerRadian;
}

}  // namespace

// The first side on each pair stands for it, counting its sides up to
// three; each later side of a pair of exactly two is then compared with it.
uint64_t markCreases(IndexedMesh& mesh, double degrees) {
  const uint32_t sideCount = static_cast<uint32_t>(mesh.corners.size());
  PairTable firstOnPair(sideCount);
  BigArray<uint8_t> sidesOnPair(sideCount, 0);
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint32_t a = mesh.corners[side];
    const uint32_t b = sideEnd(mesh, side);
    if (mesh.flags[side] != kFlagInterior || a == b) continue;
    const uint32_t first = firstOnPair.findOrInsert(std::min(a, b), std::max(a, b), side);
    sidesOnPair[first] = static_cast<uint8_t>(std::min(sidesOnPair[first] + 1, 3));
  }
  uint64_t marked = 0;
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint32_t a = mesh.corners[side];
    const uint32_t b = sideEnd(mesh, side);
    if (mesh.flags[side] != kFlagInterior || a == b) continue;
    const uint32_t first = *firstOnPair.find(std::min(a, b), std::max(a, b));
    if (first == side || sidesOnPair[first] != 2) continue;
    if (bendBetween(mesh, side, first) > degrees) {
      mesh.flags[side] = kFlagCrease;
      mesh.flags[first] = kFlagCrease;
      marked += 2;
    }
  }
  return marked;
}
