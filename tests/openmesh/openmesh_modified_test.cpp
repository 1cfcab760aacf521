// The modified rule against an independent implementation: OpenMesh's
// ModifiedButterflyT, given the same closed mesh before every pass, puts
// every new point where the pass does, within a few float steps at the
// coordinates' scale (it sums in float, the pass in double).
#include <gtest/gtest.h>

#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/ModifiedButterFlyT.hh>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rule_reference.h"

namespace {

using TheirMesh = OpenMesh::TriMesh_ArrayKernelT<>;

// The new point on each pair of old vertices, after OpenMesh's pass: a new
// vertex is joined to exactly the two old vertices of its side.
std::map<std::pair<uint32_t, uint32_t>, Vec3> theirPoints(const IndexedMesh& mesh) {
  TheirMesh theirs;
  std::vector<TheirMesh::VertexHandle> handles;
  for (const FloatPoint& p : mesh.positions) handles.push_back(theirs.add_vertex(TheirMesh::Point(p.x, p.y, p.z)));
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    theirs.add_face(handles[c[0]], handles[c[1]], handles[c[2]]);
  }
  OpenMesh::Subdivider::Uniform::ModifiedButterflyT<TheirMesh> subdivider;
  subdivider(theirs, 1);
  const uint32_t old = static_cast<uint32_t>(mesh.vertexCount());
  std::map<std::pair<uint32_t, uint32_t>, Vec3> points;
  for (const auto vertex : theirs.vertices()) {
    if (static_cast<uint32_t>(vertex.idx()) < old) continue;
    std::vector<uint32_t> ends;
    for (const auto neighbour : theirs.vv_range(vertex)) {
      if (static_cast<uint32_t>(neighbour.idx()) < old) ends.push_back(static_cast<uint32_t>(neighbour.idx()));
    }
    EXPECT_EQ(ends.size(), 2u);
    if (ends.size() != 2) continue;
    const TheirMesh::Point& p = theirs.point(vertex);
    points[std::minmax(ends[0], ends[1])] = {p[0], p[1], p[2]};
  }
  return points;
}

// Three passes, each compared on the pass's own input; returns the largest
// difference in float steps at the coordinates' scale.
double largestDifference(IndexedMesh mesh) {
  double largest = 0;
  for (int pass = 1; pass <= 3; ++pass) {
    const IndexedMesh before = mesh;
    const auto theirs = theirPoints(before);
    subdivideIndexed(mesh, IndexedRule{true, 0.0});
    EXPECT_EQ(theirs.size(), mesh.vertexCount() - before.vertexCount());
    const double step = std::ldexp(coordinateScale(before), -23);
    for (std::size_t t = 0; t < before.triangleCount(); ++t) {
      for (int k = 0; k < 3; ++k) {
        const auto pair = std::minmax(before.corners[3 * t + k], before.corners[3 * t + (k + 1) % 3]);
        const auto found = theirs.find(pair);
        if (found == theirs.end()) {
          ADD_FAILURE() << "no point of theirs on " << pair.first << "-" << pair.second;
          continue;
        }
        const Vec3 ours = positionOf(mesh, newVertexOf(mesh, t, k));
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::fabs(ours[c] - found->second[c]) / step);
      }
    }
  }
  return largest;
}

}  // namespace

TEST(ModifiedRuleAgainstOpenMesh, SamePointsOnClosedMeshes) {
  const std::pair<std::string, TestMesh> meshes[] = {
      {"tetrahedron", ::tetrahedron()}, {"octahedron", ::octahedron()}, {"icosahedron", icosphere(0)},
      {"icosphere", icosphere(1)},      {"bipyramid 7", bipyramid(7)}, {"bipyramid 40", bipyramid(40)},
      {"torus", torus(8, 5)}};
  for (const auto& named : meshes) {
    const double difference = largestDifference(indexedOf(named.second));
    EXPECT_LE(difference, 4.0) << named.first;
    RecordProperty(named.first, std::to_string(difference));
  }
}
