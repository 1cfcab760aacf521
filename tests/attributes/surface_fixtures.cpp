#include "surface_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <utility>

SurfaceMesh surfaceOf(const TestMesh& mesh) {
  SurfaceMesh surface;
  for (const auto& p : mesh.positions) surface.mesh.positions.push_back({p[0], p[1], p[2]});
  for (const auto& t : mesh.triangles) {
    for (int id : t) surface.mesh.corners.push_back(static_cast<uint32_t>(id - 1));
  }
  classifySides(surface.mesh);
  return surface;
}

namespace {

// Outward quads of the cube whose vertex x + 2y + 4z stands at (x, y, z),
// and the axis each is square to.
const int kQuads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
const int kAxis[6] = {2, 2, 1, 1, 0, 0};

}  // namespace

SurfaceMesh seamedCube() {
  TestMesh cube;
  for (int v = 0; v < 8; ++v) cube.positions.push_back({float(v & 1), float(v >> 1 & 1), float(v >> 2 & 1)});
  for (const auto& q : kQuads) {
    cube.triangles.push_back({q[0] + 1, q[1] + 1, q[2] + 1});
    cube.triangles.push_back({q[0] + 1, q[2] + 1, q[3] + 1});
  }
  SurfaceMesh surface = surfaceOf(cube);
  const IndexedMesh& mesh = surface.mesh;
  // Face f's corners name the values 4f + k, k the corner's place in its quad.
  const auto quadPlace = [&](std::size_t corner) {
    const int face = int(corner / 6);
    return 4 * face + int(std::find(kQuads[face], kQuads[face] + 4, int(mesh.corners[corner])) - kQuads[face]);
  };
  setValues(surface.attributes.uv, 2, surface, 24, [&](std::size_t c) { return uint32_t(quadPlace(c)); },
            [](uint32_t value, unsigned k) {
              const int face = int(value / 4), v = kQuads[face][value % 4];
              const int axes[2] = {kAxis[face] == 0 ? 1 : 0, kAxis[face] == 2 ? 1 : 2};
              return float((k == 0 ? face : 0) + (v >> axes[k] & 1));
            });
  setValues(surface.attributes.normals, 3, surface, 6, [](std::size_t c) { return uint32_t(c / 6); },
            [](uint32_t face, unsigned k) { return k == unsigned(kAxis[face]) ? (face % 2 ? 1.f : -1.f) : 0.f; });
  setValues(surface.attributes.colors, 3, surface, 8, [&](std::size_t c) { return mesh.corners[c]; },
            [](uint32_t v, unsigned k) { return float(v >> k & 1); });
  for (uint32_t t = 0; t < 12; ++t) surface.attributes.groupOfTriangle.push_back(t / 2);
  for (int f = 0; f < 6; ++f) surface.attributes.groups.push_back({"", "face" + std::to_string(f), ""});
  return surface;
}

void setValues(CornerValues& kind, unsigned width, const SurfaceMesh& surface, std::size_t valueCount,
               const std::function<uint32_t(std::size_t corner)>& value,
               const std::function<float(uint32_t value, unsigned component)>& component) {
  kind.width = width;
  kind.values.clear();
  for (uint32_t n = 0; n < valueCount; ++n) {
    for (unsigned k = 0; k < width; ++k) kind.values.push_back(component(n, k));
  }
  kind.ofCorner.resize(surface.mesh.corners.size());
  for (std::size_t c = 0; c < kind.ofCorner.size(); ++c) kind.ofCorner[c] = value(c);
}

namespace {

uint32_t sideEnd(const IndexedMesh& mesh, std::size_t side) {
  return mesh.corners[side - side % 3 + (side % 3 + 1) % 3];
}

}  // namespace

std::size_t vertexPairs(const IndexedMesh& mesh) {
  std::set<std::pair<uint32_t, uint32_t>> pairs;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s) {
    const uint32_t a = mesh.corners[s], b = sideEnd(mesh, s);
    if (a != b) pairs.insert({std::min(a, b), std::max(a, b)});
  }
  return pairs.size();
}

long closedEuler(const IndexedMesh& mesh) {
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s) ++directed[{mesh.corners[s], sideEnd(mesh, s)}];
  for (const auto& [side, count] : directed) {
    const auto back = directed.find({side.second, side.first});
    if (count != 1 || side.first == side.second || back == directed.end() || back->second != 1) {
      ADD_FAILURE() << "side " << side.first << " -> " << side.second << " is not in two opposite triangles";
      return 0;
    }
  }
  return long(mesh.vertexCount()) - long(directed.size() / 2) + long(mesh.triangleCount());
}

namespace {

template <typename T, typename A>
bool sameBits(const std::vector<T, A>& a, const std::vector<T, A>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void expectSameValues(const CornerValues& a, const CornerValues& b, const char* kind) {
  EXPECT_EQ(a.width, b.width) << kind;
  EXPECT_TRUE(sameBits(a.values, b.values)) << kind;
  EXPECT_TRUE(sameBits(a.ofCorner, b.ofCorner)) << kind;
}

}  // namespace

void expectSameSurface(const SurfaceMesh& a, const SurfaceMesh& b) {
  EXPECT_TRUE(sameBits(a.mesh.positions, b.mesh.positions));
  EXPECT_TRUE(sameBits(a.mesh.corners, b.mesh.corners));
  EXPECT_TRUE(sameBits(a.mesh.flags, b.mesh.flags));
  expectSameValues(a.attributes.uv, b.attributes.uv, "uv");
  expectSameValues(a.attributes.normals, b.attributes.normals, "normals");
  expectSameValues(a.attributes.colors, b.attributes.colors, "colours");
  EXPECT_TRUE(sameBits(a.attributes.groupOfTriangle, b.attributes.groupOfTriangle));
  EXPECT_EQ(a.attributes.groups.size(), b.attributes.groups.size());
}

const float* valueAt(const CornerValues& kind, std::size_t corner) {
  return &kind.values[std::size_t(kind.ofCorner[corner]) * kind.width];
}
