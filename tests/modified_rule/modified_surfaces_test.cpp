// The modified rule pass after pass on closed meshes, and where the paper's
// rule does not apply: rims, pinched and finned vertices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "rule_reference.h"

namespace {

void modifiedPass(IndexedMesh& mesh) { subdivideIndexed(mesh, IndexedRule{true, 0.0}); }

void expectSamePoints(const IndexedMesh& got, const IndexedMesh& expected) {
  ASSERT_EQ(got.vertexCount(), expected.vertexCount());
  for (std::size_t v = 0; v < got.vertexCount(); ++v) {
    EXPECT_EQ(got.positions[v].x, expected.positions[v].x) << "vertex " << v;
    EXPECT_EQ(got.positions[v].y, expected.positions[v].y) << "vertex " << v;
    EXPECT_EQ(got.positions[v].z, expected.positions[v].z) << "vertex " << v;
  }
}

// Two tetrahedra sharing one vertex, the fourth: its sides form two fans.
TestMesh pinchedTetrahedra() {
  const TestMesh single = ::tetrahedron();
  TestMesh mesh = single;
  for (int v = 0; v < 3; ++v) {
    const std::vector<float>& p = single.positions[v];
    mesh.positions.push_back({p[0] + 2.0f, p[1], p[2]});
  }
  for (const auto& triangle : single.triangles) {
    std::vector<int> copy;
    for (int corner : triangle) copy.push_back(corner == 4 ? 4 : corner + 4);
    mesh.triangles.push_back(copy);
  }
  return mesh;
}

}  // namespace

// Closed meshes of every valence stay closed and oriented; each pass takes
// V and F to V + E and 4F and leaves the old vertices as they were.
TEST(ModifiedRuleClosedMeshes, ClosedAndOrientedAfterThreePasses) {
  const std::pair<std::string, TestMesh> meshes[] = {
      {"tetrahedron", ::tetrahedron()}, {"octahedron", ::octahedron()},   {"icosahedron", icosphere(0)},
      {"bipyramid 7", bipyramid(7)},    {"bipyramid 40", bipyramid(40)}, {"torus", torus(8, 5)},
      {"pinched", pinchedTetrahedra()}};
  for (const auto& named : meshes) {
    SCOPED_TRACE(named.first);
    IndexedMesh mesh = indexedOf(named.second);
    ASSERT_TRUE(closedAndOriented(mesh));
    for (int pass = 1; pass <= 3; ++pass) {
      const IndexedMesh before = mesh;
      const std::size_t sides = sideCount(before);
      modifiedPass(mesh);
      ASSERT_TRUE(closedAndOriented(mesh)) << "pass " << pass;
      EXPECT_EQ(mesh.vertexCount(), before.vertexCount() + sides);
      EXPECT_EQ(mesh.triangleCount(), 4 * before.triangleCount());
      for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
        const FloatPoint& p = mesh.positions[v];
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << "vertex " << v;
      }
      for (std::size_t v = 0; v < before.vertexCount(); ++v) {
        EXPECT_EQ(std::memcmp(&mesh.positions[v], &before.positions[v], sizeof(FloatPoint)), 0) << "vertex " << v;
      }
    }
  }
}

// An open sheet: rims take the four-point rule, sides from the rim inwards
// the classic stencil at 1/16, inner sides (all of valence 6) the modified
// rule's eight points: all of it the classic pass at tension 1/16.
TEST(ModifiedRuleWhereItDoesNotApply, OpenSheetsAsTheClassicPassAtOneSixteenth) {
  const SheetFrame frame{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, [](int i, int j) { return 0.1 * ((i * 7 + j * 3) % 5); }};
  IndexedMesh modified = indexedOf(sheet(6, 5, frame));
  IndexedMesh classic = modified;
  for (int pass = 0; pass < 2; ++pass) {
    modifiedPass(modified);
    subdivideIndexed(classic, 0.0625);
  }
  expectSamePoints(modified, classic);
}

// An irregular vertex inside a rim: its sides to the rim take its own
// stencil, which needs nothing beyond its fan; the rim keeps the four-point
// rule of the classic pass.
TEST(ModifiedRuleWhereItDoesNotApply, IrregularVertexBesideARimTakesItsOwnStencil) {
  for (int valence : {3, 4, 5, 7}) {
    SCOPED_TRACE(valence);
    const IndexedMesh before = indexedOf(disc(valence));
    IndexedMesh modified = before;
    IndexedMesh classic = before;
    modifiedPass(modified);
    subdivideIndexed(classic, 0.0625);
    const FarCorners far = farCorners(before);
    const uint32_t centre = static_cast<uint32_t>(valence);
    const std::vector<double> weights = paperWeights(std::size_t(valence));
    for (std::size_t t = 0; t < before.triangleCount(); ++t) {
      for (int k = 0; k < 3; ++k) {
        const uint32_t a = before.corners[3 * t + k], b = before.corners[3 * t + (k + 1) % 3];
        const uint32_t made = newVertexOf(modified, t, k);
        if (a != centre && b != centre) {
          EXPECT_EQ(std::memcmp(&modified.positions[made], &classic.positions[made], sizeof(FloatPoint)), 0);
          continue;
        }
        const std::vector<uint32_t> ring = ringAround(far, centre, a == centre ? b : a);
        ASSERT_EQ(ring.size(), std::size_t(valence));
        Vec3 expected = positionOf(before, centre);
        for (double& c : expected) c *= 0.75;
        for (int j = 0; j < valence; ++j) {
          for (int c = 0; c < 3; ++c) expected[c] += weights[j] * positionOf(before, ring[j])[c];
        }
        const Vec3 got = positionOf(modified, made);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], expected[c], 1e-6);
      }
    }
  }
}

// The pinch's sides form two fans, not one: each side from it takes the
// stencil of its other end, a closed fan of valence 3.
TEST(ModifiedRuleWhereItDoesNotApply, PinchedVertexLeavesItsSidesToTheOtherEnd) {
  const IndexedMesh before = indexedOf(pinchedTetrahedra());
  IndexedMesh after = before;
  modifiedPass(after);
  const FarCorners far = farCorners(before);
  const uint32_t pinch = 3;
  int checked = 0;
  for (std::size_t t = 0; t < before.triangleCount(); ++t) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = before.corners[3 * t + k], b = before.corners[3 * t + (k + 1) % 3];
      if (a != pinch) continue;
      const std::vector<uint32_t> ring = ringAround(far, b, a);
      ASSERT_EQ(ring.size(), 3u);
      const Vec3 pb = positionOf(before, b);
      const Vec3 p0 = positionOf(before, ring[0]), p1 = positionOf(before, ring[1]), p2 = positionOf(before, ring[2]);
      const Vec3 got = positionOf(after, newVertexOf(after, t, k));
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], 0.75 * pb[c] + 5.0 / 12 * p0[c] - (p1[c] + p2[c]) / 12, 1e-6);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 6);
}

// Three triangles on one side: no vertex has a closed fan, so every point is
// the classic pass's at 1/16, the fin's side one point for all three.
TEST(ModifiedRuleWhereItDoesNotApply, FinsAsTheClassicPassAtOneSixteenth) {
  const TestMesh fin{{{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {0.5f, -1, 0}, {0.5f, 0, 1}},
                     {{1, 2, 3}, {2, 1, 4}, {1, 2, 5}}};
  IndexedMesh modified = indexedOf(fin);
  IndexedMesh classic = modified;
  modifiedPass(modified);
  subdivideIndexed(classic, 0.0625);
  expectSamePoints(modified, classic);
  EXPECT_EQ(modified.vertexCount(), 5u + 7u);
}
